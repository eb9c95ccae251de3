#!/usr/bin/env bash
# Takes the picture of the crash dialog under Wine and Xvfb for the documentation: the build's
# crash-victim.exe crashes, and the dialog of norvalis-crash.exe (the windows platform) is shot.
#   scripts/windows/screenshot-crash.sh BUILD_WINDOWS [SCREENSHOT]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:?the Windows build}")
shot=$(realpath -m "${2:-$root/docs/screenshots/crash-windows.png}")
fail() { echo "screenshot-crash.sh: $*" >&2; exit 1; }
. "$root/scripts/windows/wine-prefix.sh"
xvfb=
program=
cleanup() {
  [ -z "$program" ] || kill "$program" 2>/dev/null || true
  wine_stop
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
xvfb_start || fail "no free X display"
wine_start "$build/wine-prefix"
qt=$(sed -n 's/^NORVALIS_QT_PREFIX:[A-Z]*=//p' "$build/CMakeCache.txt")
unset WINEQT_QPA_PLATFORM NORVALIS_CRASH_ANSWER
"$root/scripts/windows/wine-exec.sh" ${qt:+"--qt=$qt"} "$build/tests/crash-victim.exe" null-write \
  </dev/null >"$build/screenshot-crash.log" 2>&1 &
program=$!
window=
for _ in $(seq 120); do
  window=$(xdotool search --onlyvisible --name '^Norvalis$' 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.5
done
[ -n "$window" ] || fail "no dialog appeared: $(tail -3 "$build/screenshot-crash.log")"
sleep 2
mkdir -p "$(dirname "$shot")"
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
timeout 5 xdotool windowfocus --sync "$window" key alt+F4 2>/dev/null || true
wait "$program" || true
program=
for _ in $(seq 60); do pgrep -f 'norvalis-crash\.exe' >/dev/null || break; sleep 0.5; done
echo "$shot"
