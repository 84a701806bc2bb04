#!/usr/bin/env bash
# Builds dbup and runs its main job on a generated sample installation: a host
# at version 2.49.0.100 whose tables are one structure level behind, brought up
# to date by `dbup update`, then a run that fails and is rolled back.
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

echo "== a host installation at version 2.49.0.100, 1000 claims per claim family"
"$bin/dbup-fixture/dbup-fixture" install "$work/host" --version 2.49.0.100 --claims 1000
export DBUP_REGISTRY="$work/host/registry.reg"
data="$work/host/data"

echo
echo "== what an update would do (nothing is changed)"
"$dbup" update --dry-run

echo
echo "== before: the fields of isec and bcpoc"
echo "isec:  $(fields "$data/isec.dbf")"
echo "bcpoc: $(fields "$data/bcpoc.dbf")"
"$dbftool" dump "$data/isec.dbf" | head -2

echo
echo "== dbup update"
"$dbup" update --progress
echo "(exit status $?)"

echo
echo "== after: the new fields, the same records, sound indexes"
echo "isec:  $(fields "$data/isec.dbf")"
echo "bcpoc: $(fields "$data/bcpoc.dbf")"
"$dbftool" dump "$data/isec.dbf" | head -2
"$dbftool" check "$data/isec.dbf"
"$dbftool" check "$data/bcpoc.dbf"
echo "backups kept in install/update/backup: $(ls "$work/host/install/update/backup" | tr '\n' ' ')"

echo
echo "== the same update again finds nothing to do"
"$dbup" update --dry-run | tail -3

echo
echo "== a second installation whose clone folder for Update0203 lacks bcpoc.dbt:"
echo "== Update0202 replaces isec, Update0203 fails, and the rollback puts isec back"
"$bin/dbup-fixture/dbup-fixture" install "$work/broken" --version 2.49.0.100 --claims 100 >/dev/null
rm "$work/broken/server/update/clone/updt0073/bcpoc.dbt"
export DBUP_REGISTRY="$work/broken/registry.reg"
data="$work/broken/data"
before=$(cd "$data" && find . -type f -exec md5sum {} + | sort | md5sum)
"$dbup" update --progress || echo "(exit status $?)"
after=$(cd "$data" && find . -type f -exec md5sum {} + | sort | md5sum)
[ "$before" = "$after" ] && echo "every table is byte for byte as before the run"
