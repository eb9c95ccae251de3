#!/usr/bin/env bash
# Makes NorvalisSetup-<version>.exe from a Windows build made against the cached Qt: stages the
# programs with the DLLs they import (found by walking their import tables, as Qt 6.4 has no
# windeployqt), Qt's plugins, its Japanese translations and the help, then runs NSIS.
#   scripts/windows/make-installer.sh BUILD_WINDOWS OUTPUT_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:?the Windows build}")
out=$(realpath -m "${2:?the folder for the installer}")
qt=$(bash "$root/scripts/windows/build-qt.sh" --print-prefix)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "make-installer.sh: no version in $build/CMakeCache.txt" >&2; exit 1; }
runtime=("/usr/lib/gcc/x86_64-w64-mingw32/$(x86_64-w64-mingw32-g++-posix -dumpversion)"
  /usr/x86_64-w64-mingw32/lib)
stage=$build/stage
rm -rf "$stage"
mkdir -p "$stage" "$out"

# Stripped: the symbols of the runtime DLLs alone are 20 MB.
put() {  # file, folder inside the stage
  mkdir -p "$stage/$2"
  x86_64-w64-mingw32-strip -o "$stage/$2/$(basename "$1")" "$1"
}
put "$build/src/app/norvalis.exe" .
put "$build/cli/norvalis-check.exe" .
# The crash handler of both programs starts it from beside them; its dialog needs the same Qt
# DLLs, platform plugin and translations as the window, which the import walk below brings.
put "$build/crash/norvalis-crash.exe" .
# The names of the programs' functions for the crash report's stacks: the programs are stripped.
cp "$build/src/app/norvalis.sym" "$build/cli/norvalis-check.sym" "$stage/"
# The window's platform, the native style, and the icon formats.
for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qico.dll; do
  put "$qt/plugins/$plugin" "$(dirname "$plugin")"
done
# Every DLL imported from Qt or the compiler's runtime, until nothing new is named; the rest
# are Windows' own.
while :; do
  added=0
  while IFS= read -r dll; do
    [ -e "$stage/$dll" ] && continue
    for dir in "$qt/bin" "${runtime[@]}"; do
      if [ -f "$dir/$dll" ]; then
        put "$dir/$dll" .
        added=1
        break
      fi
    done
  done < <(find "$stage" -name '*.exe' -o -name '*.dll' | xargs -r x86_64-w64-mingw32-objdump -p |
    sed -n 's/^\s*DLL Name: //p' | sort -u)
  [ "$added" = 1 ] || break
done

# Qt's own texts in Japanese (build.sh puts Debian's beside the cross-built Qt).
mkdir -p "$stage/translations"
cp "$qt/translations/qtbase_ja.qm" "$stage/translations/"
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' >"$stage/qt.conf"
cp -r "$root/resources/help" "$stage/help"

# The uninstaller removes what was staged, and then the folders if they are empty.
list=$build/uninstall-files.nsh
(cd "$stage" && find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
 cd "$stage" && find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|') >"$list"

setup=$out/NorvalisSetup-$version.exe
makensis -V2 -INPUTCHARSET UTF8 -DSTAGE="$stage" -DVERSION="$version" -DFILE_VERSION="$version.0" \
  -DICON="$build/src/version/norvalis.ico" -DUNINSTALL_LIST="$list" -DOUTFILE="$setup" \
  "$root/packaging/windows/Norvalis.nsi"
echo "$setup: $(du -h "$setup" | cut -f1) ($(find "$stage" -type f | wc -l) files, $(du -sh "$stage" | cut -f1) installed)"
