#!/usr/bin/env bash
# Builds PCRE2 (its 16-bit library, static, without JIT) for x86_64-w64-mingw32 once, from
# Debian's source package of the version the Linux build links, into
#   ${NORVALIS_CACHE:-~/.cache/norvalis}/pcre2-<version>-mingw64
# and reuses it while its stamp names the hash of this script: a changed recipe builds again.
#   scripts/windows/build-pcre2.sh [--print-prefix]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${NORVALIS_CACHE:-$HOME/.cache/norvalis}
version=$(dpkg-query -W -f='${Version}' libpcre2-dev 2>/dev/null || true)
[ -n "$version" ] || { echo "build-pcre2.sh: needs Debian's libpcre2-dev" >&2; exit 1; }
upstream=${version%%-*}
prefix=$cache/pcre2-$upstream-mingw64
recipe=$( (cat "$0"; echo "$version") | sha256sum | cut -c1-16)
stamp=$prefix/.norvalis-recipe
if [ "${1:-}" = --print-prefix ]; then echo "$prefix"; exit 0; fi
if [ "$(cat "$stamp" 2>/dev/null)" = "$recipe" ]; then
  echo "PCRE2 for Windows: $prefix (recipe $recipe, reused)"
  exit 0
fi
work=$prefix.work
rm -rf "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/parts" "$work/src"
# The source package through a deb-src list of our own: the system's apt lists stay untouched.
for suite in "debian bookworm" "debian bookworm-updates"; do
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/${suite% *} ${suite#* } main"
done >"$work/apt/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/parts"
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o "APT::Sandbox::User=root")
apt-get "${apt_opts[@]}" update >"$work/apt.log" 2>&1
# The very version where the archive has it, else its newest one of the same upstream release.
(cd "$work/src" && { apt-get "${apt_opts[@]}" source "pcre2=$version" ||
  apt-get "${apt_opts[@]}" source pcre2; }) >>"$work/apt.log" 2>&1 ||
  { tail -20 "$work/apt.log" >&2; exit 1; }
src=$(find "$work/src" -maxdepth 1 -type d -name "pcre2-$upstream" | head -1)
[ -n "$src" ] || { echo "build-pcre2.sh: the archive has no pcre2 $upstream source" >&2; exit 1; }
# Without the JIT: its code crashed in the parallel rule check under Wine; the interpreter
# matches the same.
cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/windows/mingw-w64-x86_64.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DPCRE2_BUILD_PCRE2_8=OFF \
  -DPCRE2_BUILD_PCRE2_16=ON -DPCRE2_SUPPORT_JIT=OFF -DPCRE2_SUPPORT_UNICODE=ON \
  -DPCRE2_BUILD_PCRE2GREP=OFF -DPCRE2_BUILD_TESTS=OFF >"$work/configure.log" 2>&1 ||
  { tail -30 "$work/configure.log" >&2; exit 1; }
rm -rf "$prefix.new"
cmake --build "$work/build" >"$work/build.log" 2>&1 || { tail -30 "$work/build.log" >&2; exit 1; }
rm -rf "$prefix"
cmake --install "$work/build" --strip >"$work/install.log" 2>&1 || { tail -20 "$work/install.log" >&2; exit 1; }
rm -rf "$work"
echo "$recipe" >"$stamp"
echo "PCRE2 for Windows: $prefix built"
