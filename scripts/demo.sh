#!/usr/bin/env bash
# Builds dbup and runs its main job on a generated sample installation: a host
# at version 2.16.0.100 whose tables, in the data folder and in six claim
# archives, are at structure level 177, brought up to date by `dbup update`;
# then a run that fails at its last step and is rolled back in every folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
bin=build/default/tools
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dbftool="$bin/dbftool/dbftool"
dbup="$bin/dbup/dbup"
fields() { "$dbftool" info "$1" | /usr/bin/python3 -c \
  'import json,sys; print(" ".join(f["name"] for f in json.load(sys.stdin)["fields"]))'; }

echo "== a host installation at version 2.16.0.100, 1000 claims per claim family,"
echo "== three claim archives per family, archub92/ARC2020 converted already"
"$bin/dbup-fixture/dbup-fixture" install "$work/host" --version 2.16.0.100 --claims 1000 \
  --archives 3 --converted-archive archub92/ARC2020
export DBUP_REGISTRY="$work/host/registry.reg"
data="$work/host/data"
show() {
  for table in bcrspns:archub92/ARC2019 bcrspns:archub92/ARC2020 bsattach:arch1500/ARC2021; do
    echo "${table%%:*} in ${table#*:}: $(fields "$data/${table#*:}/${table%%:*}.dbf")"
  done
}

echo
echo "== what an update would do (nothing is changed)"
"$dbup" update --dry-run

echo
echo "== before: the fields of two archived tables"
show
"$dbftool" dump "$data/archub92/ARC2019/bcrspns.dbf" | sed -n 1,2p
converted=$(cd "$data/archub92/ARC2020" && md5sum bcrspns.*)

echo
echo "== dbup update (one line per step; archive-aware steps name their folders)"
"$dbup" update --progress
echo "(exit status $?)"

echo
echo "== after: the new fields in every archive, the same records, sound indexes"
show
"$dbftool" dump "$data/archub92/ARC2019/bcrspns.dbf" | sed -n 1,2p
[ "$converted" = "$(cd "$data/archub92/ARC2020" && md5sum bcrspns.*)" ] &&
  echo "archub92/ARC2020 was converted already: its bcrspns is byte for byte as before"
checked=0
while IFS= read -r dbf; do
  "$dbftool" check "$dbf" >/dev/null || { echo "check failed: $dbf"; exit 1; }
  checked=$((checked + 1))
done < <(find "$data" -name '*.dbf' | sort)
echo "dbftool check: all $checked tables of the data folder and its archives are sound"
echo "backups kept in install/update/backup: $(ls "$work/host/install/update/backup" | tr '\n' ' ')"

echo
echo "== the same update again finds nothing to do"
"$dbup" update --dry-run | tail -3

echo
echo "== a second installation whose clone folder for Update0203 lacks bcpoc.dbt:"
echo "== every step from 177 replaces its tables in the data folder and the archives,"
echo "== Update0203 fails, and the rollback puts every folder back"
"$bin/dbup-fixture/dbup-fixture" install "$work/broken" --version 2.16.0.100 --claims 100 >/dev/null
rm "$work/broken/server/update/clone/updt0073/bcpoc.dbt"
export DBUP_REGISTRY="$work/broken/registry.reg"
data="$work/broken/data"
before=$(cd "$data" && find . -type f -exec md5sum {} + | sort | md5sum)
"$dbup" update --progress || echo "(exit status $?)"
after=$(cd "$data" && find . -type f -exec md5sum {} + | sort | md5sum)
[ "$before" = "$after" ] && echo "every table is byte for byte as before the run"
