#!/usr/bin/env bash
# Runs the tests of a Windows build (scripts/windows/build.sh) under Wine: every test program
# (the window's with the offscreen platform), then checks that norvalis-check.exe --dump prints
# what the Linux norvalis-check prints for every file of tests/data and examples.
#   scripts/windows/test-windows.sh BUILD_WINDOWS LINUX_NORVALIS_CHECK
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:?the Windows build}")
linux_check=$(realpath "${2:?the Linux norvalis-check}")

. "$root/scripts/windows/wine-prefix.sh"
wine_start "$build/wine-prefix"
trap wine_stop EXIT
# The Windows programs run as the build's emulator runs them (with its DLLs on WINEPATH).
qt=$(sed -n 's/^NORVALIS_QT_PREFIX:[A-Z]*=//p' "$build/CMakeCache.txt")
run_windows() { "$root/scripts/windows/wine-exec.sh" ${qt:+"--qt=$qt"} "$@"; }

# A test that hangs under Wine fails after 10 minutes instead of holding the run for 25 (the
# slowest test takes under 2 minutes there).
(cd "$build" && ctest --output-on-failure -j2 --timeout 600)

# The same table from both programs, and the same exit code, file by file.
exe="$build/cli/norvalis-check.exe"
failures=0
count=0
compare() {  # file, then how the Windows program reads it: "name", "stdin" or "pipe"
  local expected actual expected_code actual_code
  count=$((count + 1))
  set +e
  expected=$("$linux_check" --dump "$1" 2>/dev/null)
  expected_code=$?
  if [ "$2" = stdin ]; then
    actual=$(run_windows "$exe" --dump - 2>/dev/null <"$1")
  elif [ "$2" = pipe ]; then
    actual=$(cat "$1" | run_windows "$exe" --dump - 2>/dev/null)
  else
    actual=$(run_windows "$exe" --dump "$1" 2>/dev/null </dev/null)
  fi
  actual_code=$?
  set -e
  if [ "$expected" != "$actual" ] || [ "$expected_code" != "$actual_code" ]; then
    echo "norvalis-check.exe --dump differs from Linux on $1 ($2; exit $actual_code, Linux $expected_code)"
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | head -5 || true
    failures=$((failures + 1))
  fi
}
cd "$root"
while IFS= read -r -d '' file; do
  compare "$file" name
done < <(find tests/data examples -type f -print0 | sort -z)
# A name no ANSI code page spells whole reaches the program through the wide command line, and
# standard input is read from a file and from a pipe.
mkdir -p "$build/names"
cp examples/shiftjis_quoted.csv "$build/names/名前①ß.csv"
compare "$build/names/名前①ß.csv" name
compare examples/eucjp.csv stdin
compare tests/data/text/iso2022jp_head.txt pipe
# The system's words for an error come in Japanese, as the program's own do (the C runtime's
# are English only).
missing_text=$(run_windows "$exe" --dump 'Z:\nonexistent\missing.csv' 2>&1 >/dev/null </dev/null || true)
if ! printf '%s' "${missing_text#*開けません。}" | LC_ALL=C.UTF-8 grep -qP '[\x{3040}-\x{30FF}\x{4E00}-\x{9FFF}]'; then
  echo "the system's text for a missing file is not Japanese: $missing_text"
  failures=$((failures + 1))
fi
if [ "$failures" -ne 0 ]; then
  echo "$failures of $count files differ"
  exit 1
fi
echo "norvalis-check.exe --dump equals Linux on all $count files of tests/data and examples"
