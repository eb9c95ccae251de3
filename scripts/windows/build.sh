#!/usr/bin/env bash
# Cross-builds Norvalis for Windows with mingw-w64: the window, norvalis-check and every test
# program against the Qt that build-qt.sh keeps in the user's cache (built once, about 25
# minutes on two cores), or with --cli-only the headless part alone, without Qt.
#   scripts/windows/build.sh [--cli-only] BUILD_WINDOWS
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
gui=ON
if [ "${1:-}" = --cli-only ]; then gui=OFF; shift; fi
build=$(realpath -m "${1:?the build folder}")
options=(-DNORVALIS_GUI=$gui)
if [ $gui = ON ]; then
  bash "$root/scripts/windows/build-qt.sh"
  qt=$(bash "$root/scripts/windows/build-qt.sh" --print-prefix)
  # Qt's Japanese texts where Qt looks for them: qttranslations is not cross-built, and a .qm
  # file is the same on every system (Debian's qt6-translations-l10n, the same release).
  mkdir -p "$qt/translations"
  cp -u /usr/share/qt6/translations/qtbase_ja.qm "$qt/translations/"
  options+=(-DNORVALIS_QT_PREFIX="$qt")
fi
# PCRE2 for the regex rule, built once into the user's cache.
bash "$root/scripts/windows/build-pcre2.sh"
if command -v ccache >/dev/null; then
  options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# -O2 as the Linux test build has it: GCC 12 at -O3 warns falsely (-Wrestrict) on inlined
# string concatenation.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/windows/mingw-w64-x86_64.cmake" \
  -DNORVALIS_PCRE2_PREFIX="$(bash "$root/scripts/windows/build-pcre2.sh" --print-prefix)" \
  -DNORVALIS_WERROR=ON "${options[@]}" >/dev/null
cmake --build "$build"
