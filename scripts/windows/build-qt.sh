#!/usr/bin/env bash
# Builds qtbase 6.4.2 (Core, Gui, Widgets; the windows and offscreen platforms) for
# x86_64-w64-mingw32 once, from Debian's own source package, into
#   ${NORVALIS_CACHE:-~/.cache/norvalis}/qt-6.4.2-mingw64
# and reuses it while its stamp names the hash of this recipe (this script, its patches and
# toolchain in scripts/windows/qt): a changed recipe builds again. Host tools (moc, rcc, uic)
# come from Debian's qt6-base-dev-tools of the same version.
#   scripts/windows/build-qt.sh [--print-prefix]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${NORVALIS_CACHE:-$HOME/.cache/norvalis}
prefix=$cache/qt-6.4.2-mingw64
jobs=${JOBS:-2}
recipe=$(cat "$0" "$here"/qt/*.patch "$here/qt/mingw-toolchain.cmake" | sha256sum | cut -c1-16)
stamp=$prefix/.norvalis-recipe
if [ "${1:-}" = --print-prefix ]; then echo "$prefix"; exit 0; fi
if [ "$(cat "$stamp" 2>/dev/null)" = "$recipe" ]; then
  echo "Qt for Windows: $prefix (recipe $recipe, reused)"
  exit 0
fi

hostver=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null || true)
case "$hostver" in
  6.4.2+*) ;;
  *) echo "build-qt.sh: needs Debian's qt6-base-dev-tools 6.4.2, found '${hostver:-none}'" >&2; exit 1 ;;
esac
work=$cache/qt-6.4.2-mingw64.work
rm -rf "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/parts" "$work/src"
start=$(date +%s)

# The source package through a deb-src list of our own: the system's apt lists stay untouched.
cat >"$work/apt/sources.list" <<LIST
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
LIST
apt_opts=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/parts"
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o "APT::Sandbox::User=root")
apt-get "${apt_opts[@]}" update >"$work/apt.log" 2>&1
(cd "$work/src" && apt-get "${apt_opts[@]}" source "qt6-base=$hostver") >>"$work/apt.log" 2>&1 ||
  { tail -20 "$work/apt.log" >&2; exit 1; }
src=$(find "$work/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)
# Debian's +dfsg source lacks src/3rdparty/wintab, and -no-direct2d leaves out a font database
# the windows plugin still names.
for p in "$here"/qt/*.patch; do
  (cd "$src" && patch -p1 --forward --quiet <"$p")
done

mkdir -p "$work/build"
(cd "$work/build" && "$src/configure" -prefix "$prefix" -release -shared \
  -xplatform win32-g++ -qt-host-path /usr \
  -nomake tests -nomake examples \
  -no-opengl -no-direct2d -no-dbus -no-icu -no-zstd -no-pkg-config -no-glib \
  -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre -qt-doubleconversion \
  -no-feature-network -no-feature-sql -no-feature-xml -no-feature-testlib \
  -no-feature-printsupport -no-feature-concurrent -no-feature-androiddeployqt \
  -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/qt/mingw-toolchain.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake) >"$work/configure.log" 2>&1 ||
  { tail -40 "$work/configure.log" >&2; exit 1; }
ninja -C "$work/build" -j"$jobs" >"$work/build.log" 2>&1 ||
  { grep -A8 '^FAILED' "$work/build.log" | head -40 >&2; exit 1; }
rm -rf "$prefix"
cmake --install "$work/build" --strip >"$work/install.log" 2>&1 || { tail -20 "$work/install.log" >&2; exit 1; }

# The prefix may move (a CI cache): the chainloaded toolchain lies inside it, named relatively.
cp "$here/qt/mingw-toolchain.cmake" "$prefix/lib/cmake/Qt6/norvalis-mingw-toolchain.cmake"
sed -i 's|^set(__qt_initially_configured_toolchain_file ".*")$|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/norvalis-mingw-toolchain.cmake")|' \
  "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
grep -q 'CMAKE_CURRENT_LIST_DIR}/norvalis-mingw-toolchain.cmake' "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
rm -rf "$work"
echo "$recipe" >"$stamp"
echo "Qt for Windows: $prefix built in $(($(date +%s) - start)) s ($(du -sh "$prefix" | cut -f1))"
