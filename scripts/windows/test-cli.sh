#!/usr/bin/env bash
# Cross-builds the core, norvalis-check.exe and the core tests for Windows with mingw-w64, runs
# the tests under Wine, and checks that norvalis-check.exe --dump prints what the Linux
# norvalis-check prints for every file of tests/data and examples.
#   scripts/windows/test-cli.sh BUILD_WINDOWS LINUX_NORVALIS_CHECK
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build-windows}")
linux_check=$(realpath "${2:?the Linux norvalis-check}")
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# PCRE2 for the regex rule, built once into the user's cache.
bash "$root/scripts/windows/build-pcre2.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/windows/mingw-w64-x86_64.cmake" \
  -DNORVALIS_PCRE2_PREFIX="$(bash "$root/scripts/windows/build-pcre2.sh" --print-prefix)" \
  -DNORVALIS_GUI=OFF -DNORVALIS_WERROR=ON "${launcher[@]}"
cmake --build "$build"

# A prefix of the build's own. Wine's services inherit the output of the first program that
# starts them, so they are started here with their output sent away, or ctest would wait for
# them after every test.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot -i </dev/null >/dev/null 2>&1
  "$wineserver" -w
fi
# A server left running from before would make -p fail.
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
wine wineboot </dev/null >/dev/null 2>&1

(cd "$build" && ctest --output-on-failure -j2)

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
    actual=$(wine "$exe" --dump - 2>/dev/null <"$1")
  elif [ "$2" = pipe ]; then
    actual=$(cat "$1" | wine "$exe" --dump - 2>/dev/null)
  else
    actual=$(wine "$exe" --dump "$1" 2>/dev/null </dev/null)
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
missing_text=$(wine "$exe" --dump 'Z:\nonexistent\missing.csv' 2>&1 >/dev/null </dev/null || true)
if ! printf '%s' "${missing_text#*開けません。}" | LC_ALL=C.UTF-8 grep -qP '[\x{3040}-\x{30FF}\x{4E00}-\x{9FFF}]'; then
  echo "the system's text for a missing file is not Japanese: $missing_text"
  failures=$((failures + 1))
fi
if [ "$failures" -ne 0 ]; then
  echo "$failures of $count files differ"
  exit 1
fi
echo "norvalis-check.exe --dump equals Linux on all $count files of tests/data and examples"
