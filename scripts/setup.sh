#!/usr/bin/env bash
# Installs the Debian packages Norvalis needs to build, test and run; only those not yet installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libpcre2-dev
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev
  libdw-dev libcapstone-dev
  fonts-ipafont-gothic
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
  dpkg-dev desktop-file-utils libxml2-utils shared-mime-info
)
for option in "$@"; do
  case "$option" in
    --gui-tools) packages+=(imagemagick xdotool) ;;
    # libFuzzer and its sanitizer runtimes come with Debian's clang.
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    # The Windows cross-build of the core and its tests under Wine; GoogleTest from its sources.
    # Qt for Windows is built from the qt6-base source package (scripts/windows/build-qt.sh).
    # xdotool and xclip drive the installed window under Xvfb in the smoke test.
    --windows) packages+=(g++-mingw-w64-x86-64-posix wine wine64 googletest nsis fonts-wine imagemagick
                          xdotool xclip) ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
