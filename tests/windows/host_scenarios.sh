#!/usr/bin/env bash
# The host's installer under wine64, against the native build on the same
# inputs: tests/windows/host_scenarios.sh WIN64_BIN NATIVE_BUILD
#
# The registry is set with `reg add` as an installer would; the installer
# stand-in (host_standin.exe) loads dbup.dll and calls the exports. Every
# scenario that also runs natively must give the same result, the same
# DBUP_ERR text (paths aside) and byte-identical files.
# Prints one line per check and "scenarios: N passed, M failed".
set -uo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"
winbin="$(cd "$1" && pwd)"
native="$(cd "$2" && pwd)"
fixture="$native/tools/dbup-fixture/dbup-fixture"
dbup="$native/tools/dbup/dbup"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1"; shift; printf '  %s\n' "$@"; }
expect_eq() { # name expected actual
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1" "expected: $2" "actual:   $3"; fi
}

wine() { "$repo/scripts/wine-run.sh" "$@"; }
winpath() { echo "Z:$(cd "$1" && pwd | tr / '\\')\\"; }
key='HKCU\Software\Velmora\Tandril'
reg_clear() { wine reg delete "$key" /f >/dev/null 2>&1 || true; }
reg_set() { wine reg add "$key\\General" /v "$1" /t "$2" /d "$3" /f >/dev/null; }
reg_point() { # installation folder: the three values as REG_SZ
  reg_clear
  reg_set ServerDirectory REG_SZ "$(winpath "$1/server")"
  reg_set InstallDirectory REG_SZ "$(winpath "$1/install")"
  reg_set DataDirectory REG_SZ "$(winpath "$1/data")"
}

# Runs an export under wine: sets w_rc, w_err (DBUP_ERR or "").
standin() {
  local out
  out=$(cd "$winbin" && wine host_standin.exe "$@" 2>&1)
  w_rc=$?
  w_err=$(sed -n 's/^DBUP_ERR: //p' <<<"$out" | tr -d '\r')
  if [ "$w_rc" -gt 1 ]; then echo "$out"; fi
}
# Runs the native tool: sets n_rc, n_err.
native_dbup() {
  n_err=$("$dbup" "$@" 2>&1 >/dev/null)
  n_rc=$?
}
# A message with the installation's root replaced, so both builds compare.
normal() { # text lin_root win_root
  local t=$1
  t=${t//"$2"/@}
  t=${t//"$(winpath "$3")"/@/}
  echo "${t//\\//}" | sed 's@//*@/@g'
}
same_trees() { # name a b
  if diff -r "$2" "$3" >"$root/diff.txt" 2>&1; then
    pass "$1"
  else
    fail "$1" "$(head -5 "$root/diff.txt")"
  fi
}
# The same installation twice: $1/lin for the native build, $1/win for wine.
install_pair() { # dir version [fixture options]
  local dir=$1 version=$2
  shift 2
  "$fixture" install "$dir/lin" --version "$version" "$@" >/dev/null || return 1
  cp -a "$dir/lin" "$dir/win"
}

# --- the registry as the installer writes it ---------------------------------
reg="$root/reg"
mkdir -p "$reg/server" "$reg/install" "$reg/data"
cp "$winbin/current/TANDRIL.EXE" "$reg/server/"

reg_point "$reg"
reg_set DataDirectory REG_DWORD 1
standin UpdateDatabaseStructures --version 3.4.0.0
expect_eq "registry: a REG_DWORD directory is refused" \
  "1|Unable to locate (or create) critical directories." "$w_rc|$w_err"

reg_set DataDirectory REG_EXPAND_SZ "%TEMP%"
standin UpdateDatabaseStructures --version 3.4.0.0
expect_eq "registry: REG_EXPAND_SZ is taken literally, not expanded" \
  "1|Unable to locate (or create) critical directories." "$w_rc|$w_err"

reg_set DataDirectory REG_EXPAND_SZ "$(winpath "$reg/data")"
standin UpdateDatabaseStructures --version 3.4.0.0
expect_eq "registry: a REG_EXPAND_SZ path is read" "0|" "$w_rc|$w_err"

reg_point "$reg"
rm -rf "$reg/install"/*
standin UpdateDatabaseStructures --version 3.4.0.0
made=$(cd "$reg/install" && find . -mindepth 1 -type d | sort | tr '\n' ' ')
expect_eq "registry: REG_SZ values; work folders created" \
  "0| ./private ./update ./update/backup " "$w_rc| $made"

# --- the version resource of TANDRIL.EXE -----------------------------------
standin UpdateDatabaseStructures
expect_eq "version resource 3.4.0.0: nothing to update" "0|" "$w_rc|$w_err"

standin UpdateDatabaseStructures --version 1.65.1.100
expect_eq "version text wins over the resource" \
  "1|Invalid TANDRIL.EXE version number [1.65.1.100]." "$w_rc|$w_err"

# --- update of generated installations, both builds ---------------------------
# TANDRIL.EXE is the resource compiler's: the POSIX reader and Windows read
# the same file and must find the same starting level. "recent" needs one
# step; "old" runs the chain from its start (and, while a step fails, its
# rollback).
for program in recent:2.49.0.100 old:1.65.0.100; do
  name=${program%%:*}
  version=${program#*:}
  e2e="$root/update-$name"
  if ! install_pair "$e2e" "$version" --claims 25 --archives 1; then
    fail "update $version: fixture could not be written"
    continue
  fi
  cp "$winbin/$name/TANDRIL.EXE" "$e2e/lin/server/TANDRIL.EXE"
  cp "$winbin/$name/TANDRIL.EXE" "$e2e/win/server/TANDRIL.EXE"
  native_dbup update --registry "$e2e/lin/registry.reg"
  reg_point "$e2e/win"
  standin UpdateDatabaseStructures
  expect_eq "update $version: same result and message as on Linux" \
    "$n_rc|$(normal "$n_err" "$e2e/lin" "$e2e/win")" \
    "$w_rc|$(normal "$w_err" "$e2e/lin" "$e2e/win")"
  same_trees "update $version: byte-identical tables, backups and work files" \
    "$e2e/lin" "$e2e/win"
  if [ "$name" = recent ]; then
    expect_eq "update $version: succeeds" "0|" "$w_rc|$w_err"
  fi
done

# --- reindex: INI key names, an archive folder with blanks --------------------
rx="$root/reindex"
if install_pair "$rx" 3.4.0.0 --claims 25 --archives 1; then
  for side in lin win; do
    mv "$rx/$side/data/arch1500/ARC2019" "$rx/$side/data/arch1500/Claims of 2019"
    # A record count the header repair has to put right.
    printf '\x01\x00\x00\x00' | dd of="$rx/$side/data/arch1500/Claims of 2019/bsclaim.dbf" \
      bs=1 seek=4 conv=notrunc status=none
  done
  native_dbup reindex --registry "$rx/lin/registry.reg"
  reg_point "$rx/win"
  standin ReindexAllDatabaseFiles
  expect_eq "reindex: succeeds as on Linux" "0|0|" "$n_rc|$w_rc|$w_err"
  same_trees "reindex: byte-identical tables and indexes" "$rx/lin" "$rx/win"

  rm "$rx/lin/server/TANDRIL.INI" "$rx/win/server/TANDRIL.INI"
  native_dbup reindex --registry "$rx/lin/registry.reg"
  standin ReindexAllDatabaseFiles
  expect_eq "reindex: a failure leaves the same DBUP_ERR as on Linux" \
    "1|Unable to locate system configuration file (TANDRIL.INI)." "$w_rc|$w_err"
  expect_eq "reindex: native message" "$w_err" "$n_err"
else
  fail "reindex: fixture could not be written"
fi

# --- revenue code charges under a host with German number formats -------------
rv="$root/revcodes"
if install_pair "$rv" 3.4.0.0 --claims 5; then
  reg_point "$rv/win"
  native_dbup backup-revcodes --registry "$rv/lin/registry.reg"
  standin BackupRevenueCodeChargeData --locale German
  expect_eq "revenue codes: backup succeeds" "0|0|" "$n_rc|$w_rc|$w_err"
  same_trees "revenue codes: the same dump file, '.' as decimal point" "$rv/lin" "$rv/win"
  native_dbup restore-revcodes --registry "$rv/lin/registry.reg"
  standin RestoreRevenueCodeChargeData --locale German
  expect_eq "revenue codes: restore succeeds" "0|0|" "$n_rc|$w_rc|$w_err"
  same_trees "revenue codes: byte-identical after restore" "$rv/lin" "$rv/win"
else
  fail "revenue codes: fixture could not be written"
fi

reg_clear
echo "scenarios: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
