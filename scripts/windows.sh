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
# Only the targets that make up the Windows product and its Windows tests.
win32_targets=(dbup_platform)
win64_targets=(platform_test env_win32_test)
# Test programs run under wine64, each printing its gtest summary.
win64_tests=(tests/platform/platform_test.exe tests/windows/env_win32_test.exe)

echo "== configure and build win32 (i686)"
cmake --preset win32 >/dev/null
cmake --build build/win32 -j2 --target "${win32_targets[@]}"

echo "== configure and build win64 (x86-64)"
cmake --preset win64 >/dev/null
cmake --build build/win64 -j2 --target "${win64_targets[@]}"

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
for t in "${win64_tests[@]}"; do
  echo "== $t"
  log="$prefix_root/test.log"
  if run "build/win64/$t" --gtest_brief=1 >"$log" 2>&1; then rc=0; else rc=$?; fi
  cat "$log"
  n=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
  passed=$((passed + ${n:-0}))
  failed=$((failed + ${f:-0}))
  if [ "$rc" -ne 0 ] && [ -z "$f" ]; then failed=$((failed + 1)); fi
done

echo "windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
