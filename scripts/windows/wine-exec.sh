#!/usr/bin/env bash
# Runs a program of the Windows build under Wine, as the build's cross-compiling emulator: the
# C++ runtime DLLs and Qt's (with --qt) are found through WINEPATH, and Qt's offscreen platform
# gets fonts (it reads only QT_QPA_FONTDIR, and Wine passes no QT_* variable but WINEQT_*).
#   scripts/windows/wine-exec.sh [--qt=QT_PREFIX] PROGRAM [ARGUMENT ...]
set -euo pipefail
windows_path() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }
qt=
case "${1:-}" in --qt=*) qt=${1#--qt=}; shift ;; esac
dlls=("/usr/lib/gcc/x86_64-w64-mingw32/$(x86_64-w64-mingw32-g++-posix -dumpversion)"
  /usr/x86_64-w64-mingw32/lib)
[ -z "$qt" ] || dlls=("$qt/bin" "${dlls[@]}")
path=
for d in "${dlls[@]}"; do path+="$(windows_path "$d");"; done
export WINEPATH="$path${WINEPATH:-}"
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
if [ -n "$qt" ] && [ -n "${WINEPREFIX:-}" ]; then
  fonts=$WINEPREFIX/norvalis-qpa-fonts
  if [ ! -d "$fonts" ]; then
    mkdir -p "$fonts.new"
    for f in /usr/share/fonts/opentype/ipafont-gothic/*.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf; do
      [ -f "$f" ] && ln -sf "$f" "$fonts.new/"
    done
    mv "$fonts.new" "$fonts" 2>/dev/null || rm -rf "$fonts.new"
  fi
  export WINEQT_QPA_FONTDIR=${WINEQT_QPA_FONTDIR:-$(windows_path "$fonts")}
fi
exec wine "$@"
