#!/usr/bin/env bash
# The Windows job: cross-builds the 32-bit (production) and 64-bit targets
# with mingw-w64, checks what the 32-bit DLLs export and import, and runs the
# Windows tests of the 64-bit build under wine64 in a fresh prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"

# --- tools --------------------------------------------------------------------
packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 libgtest-dev cmake ninja-build
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  # Not wine32: it cannot run on these machines and breaks wine64's loader.
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# --- builds -------------------------------------------------------------------
# Only the targets that make up the Windows product and its Windows tests;
# targets of parts not yet in the tree are left out.
win32_wanted=(dbupeng dbup tandril_old host_standin)
# Test programs (in build/win64/bin) run under wine64, each printing its summary:
# the Windows backends, the boundary, and the engine and update layers on the
# Win32 file system. (update_run_test is left to the host scenarios: two
# minutes under wine; maintenance_test starts POSIX processes.)
win64_tests=(platform_test portability_test windows_platform_test boundary_test
  engine_test e4index_test xbase_test xbase_index_test convert_test
  update_catalogue_test update_files_test update_step_test)
win64_wanted=(dbupeng dbup host_standin tandril_current tandril_old tandril_recent
  "${win64_tests[@]}")

have_targets() { # build-dir wanted... -> the wanted targets that exist
  local dir=$1
  shift
  local all
  all=$(ninja -C "$dir" -t targets all 2>/dev/null | sed 's/:.*//')
  for t in "$@"; do grep -qx "$t" <<<"$all" && echo "$t"; done
  return 0
}

echo "== configure and build win32 (i686)"
cmake --preset win32 >/dev/null
mapfile -t targets < <(have_targets build/win32 "${win32_wanted[@]}")
cmake --build build/win32 -j2 --target "${targets[@]}"

echo "== configure and build win64 (x86-64)"
cmake --preset win64 >/dev/null
mapfile -t targets < <(have_targets build/win64 "${win64_wanted[@]}")
cmake --build build/win64 -j2 --target "${targets[@]}"

# --- what the 32-bit DLLs export and import -------------------------------------
objdump=i686-w64-mingw32-objdump
exports_of() { "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^\s*\[ *[0-9]*\] //p' | sort; }
imports_of() { "$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p' | sort; }
system_dlls="ADVAPI32.dll KERNEL32.dll msvcrt.dll VERSION.dll"
check_imports() { # dll allowed...
  local dll=$1
  shift
  local bad
  bad=$(imports_of "$dll" | while read -r d; do
    ok=0
    for a in "$@"; do [ "${d,,}" = "${a,,}" ] && ok=1; done
    [ $ok = 1 ] || echo "$d"
  done)
  if [ -n "$bad" ]; then
    echo "FAIL: $dll imports from $bad" >&2
    return 1
  fi
}

echo "== check build/win32 DLLs"
checks_failed=0
if [ -f build/win32/bin/dbupeng.dll ]; then
  # The engine exports exactly the operations its header declares, by name.
  expected=$(sed -e 's@/\*.*\*/@@g' src/engine/e4api.h |
    grep -o 'E4API [A-Za-z0-9_]*(' | sed 's/E4API //; s/($//' | sort)
  if [ "$(exports_of build/win32/bin/dbupeng.dll)" != "$expected" ]; then
    echo "FAIL: dbupeng.dll exports differ from e4api.h:" >&2
    diff <(exports_of build/win32/bin/dbupeng.dll) <(echo "$expected") >&2 || true
    checks_failed=1
  fi
  check_imports build/win32/bin/dbupeng.dll $system_dlls || checks_failed=1
  echo "dbupeng.dll: $(exports_of build/win32/bin/dbupeng.dll | wc -l) exports; imports $(imports_of build/win32/bin/dbupeng.dll | tr '\n' ' ')"
fi
if [ -f build/win32/bin/dbup.dll ]; then
  expected=$(printf '%s\n' BackupRevenueCodeChargeData ReindexAllDatabaseFiles \
    RestoreRevenueCodeChargeData UpdateDatabaseStructures)
  if [ "$(exports_of build/win32/bin/dbup.dll)" != "$expected" ]; then
    echo "FAIL: dbup.dll exports:" >&2
    exports_of build/win32/bin/dbup.dll >&2
    checks_failed=1
  fi
  if ! imports_of build/win32/bin/dbup.dll | grep -qx dbupeng.dll; then
    echo "FAIL: dbup.dll does not import dbupeng.dll" >&2
    checks_failed=1
  fi
  check_imports build/win32/bin/dbup.dll $system_dlls dbupeng.dll || checks_failed=1
  echo "dbup.dll: exports $(exports_of build/win32/bin/dbup.dll | tr '\n' ' '); imports $(imports_of build/win32/bin/dbup.dll | tr '\n' ' ')"
fi

# --- tests under wine64 --------------------------------------------------------
prefix_root="$(mktemp -d)"
export WINEPREFIX="$prefix_root/prefix"
cleanup() {
  WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix_root"
}
trap cleanup EXIT
run() { "$repo/scripts/wine-run.sh" "$@"; }

echo "== wine64 prefix"
run cmd /c exit 0 >/dev/null 2>&1 || true

passed=0
failed=0
export DBUP_TANDRIL32="$repo/build/win32/bin/old/TANDRIL.EXE"
for t in "${win64_tests[@]}"; do
  [ -f "build/win64/bin/$t.exe" ] || continue
  echo "== $t (wine64)"
  log="$prefix_root/test.log"
  if run "build/win64/bin/$t.exe" --gtest_brief=1 >"$log" 2>&1; then rc=0; else rc=$?; fi
  cat "$log"
  n=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
  passed=$((passed + ${n:-0}))
  failed=$((failed + ${f:-0}))
  if [ "$rc" -ne 0 ] && [ -z "$f" ]; then failed=$((failed + 1)); fi
done

# The installer stand-in against the native build on the same installations.
native="${DBUP_NATIVE_BUILD:-build/default}"
echo "== host scenarios (wine64 and $native)"
[ -f "$native/build.ninja" ] || cmake --preset default >/dev/null
cmake --build "$native" -j2 --target dbup-fixture dbup_tool >/dev/null
log="$prefix_root/scenarios.log"
bash tests/windows/host_scenarios.sh build/win64/bin "$native" >"$log" 2>&1 || true
cat "$log"
n=$(sed -n 's/^scenarios: \([0-9]*\) passed, \([0-9]*\) failed$/\1/p' "$log")
f=$(sed -n 's/^scenarios: \([0-9]*\) passed, \([0-9]*\) failed$/\2/p' "$log")
passed=$((passed + ${n:-0}))
failed=$((failed + ${f:-1}))

failed=$((failed + checks_failed))
echo "windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
