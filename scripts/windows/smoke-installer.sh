#!/usr/bin/env bash
# Installs NorvalisSetup silently into a fresh Wine prefix and runs what it installed, as a user
# would: norvalis-check.exe on a Shift_JIS file must print what the Linux norvalis-check prints,
# and norvalis.exe, started on that file under Xvfb, must show it: the row it copies to the
# clipboard must be a line of the file (decoded by iconv). The uninstaller must remove the
# programs and leave the user's settings. A screenshot of the window goes to SCREENSHOT.
#   scripts/windows/smoke-installer.sh SETUP LINUX_NORVALIS_CHECK [SCREENSHOT]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
setup=$(realpath "${1:?the installer}")
linux_check=$(realpath "${2:?the Linux norvalis-check}")
shot=$(realpath -m "${3:-$(dirname "$setup")/smoke/windows.png}")
work=$(dirname "$setup")/smoke
csv=$root/tests/data/text/ken_all_head.csv
fail() { echo "smoke-installer.sh: $*" >&2; exit 1; }
rm -rf "$work/prefix"
mkdir -p "$work" "$(dirname "$shot")"

# A display of its own; Wine's desktop takes the display it starts with.
display=
for n in $(seq 90 120); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
done
[ -n "$display" ] || fail "no free X display"
Xvfb "$display" -screen 0 1100x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
program=
cleanup() {
  [ -z "$program" ] || kill "$program" 2>/dev/null || true
  wine_stop
  kill "$xvfb" 2>/dev/null || true
}
. "$root/scripts/windows/wine-prefix.sh"
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
wine_start "$work/prefix"

start=$(date +%s)
wine "$setup" /S </dev/null >/dev/null 2>&1 || fail "the silent install failed ($?)"
# Wine's user is an administrator: the installer chose all users.
installed="$WINEPREFIX/drive_c/Program Files/Norvalis"
for f in norvalis.exe norvalis-check.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll \
  translations/qtbase_ja.qm qt.conf help/index.html uninstall.exe; do
  [ -f "$installed/$f" ] || fail "the installer did not install $f"
done
[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Norvalis.lnk" ] ||
  fail "no Start-menu entry"
wine reg query 'HKLM\Software\Classes\.NVS' 2>/dev/null | grep -q Norvalis.Project ||
  fail "the .NVS file type is not registered"
wine reg query 'HKLM\Software\Classes\.csv\OpenWithProgids' 2>/dev/null | grep -q Norvalis.Csv ||
  fail "CSV files do not offer Norvalis under Open with"
echo "installed in $(($(date +%s) - start)) s: $(du -sh "$installed" | cut -f1)"

# The installed program finds its DLLs beside itself: no WINEPATH here.
expected=$("$linux_check" --dump "$csv")
actual=$(wine "$installed/norvalis-check.exe" --dump "$csv" </dev/null 2>&1) ||
  fail "norvalis-check.exe failed: $actual"
[ "$expected" = "$actual" ] || fail "norvalis-check.exe --dump differs from Linux on $csv"

# The window on the file: its first row, copied to the clipboard, is the file's first line.
wine "$installed/norvalis.exe" "$csv" </dev/null >"$work/norvalis.log" 2>&1 &
program=$!
window=
for _ in $(seq 120); do
  window=$(xdotool search --onlyvisible --name '^Norvalis' 2>/dev/null | head -1) && [ -n "$window" ] && break
  kill -0 "$program" 2>/dev/null || fail "norvalis.exe ended: $(cat "$work/norvalis.log")"
  sleep 0.5
done
[ -n "$window" ] || fail "no window of norvalis.exe appeared"
lines=$(iconv -f CP932 -t UTF-8 "$csv" | tr -d '\r"' | tr ',' '\t')
copied=
for _ in $(seq 60); do
  xdotool windowfocus --sync "$window" key ctrl+shift+c 2>/dev/null || true
  copied=$(timeout 5 xclip -o -selection clipboard 2>/dev/null | tr -d '\r' || true)
  [ -n "$copied" ] && break
  sleep 0.5
done
[ -n "$copied" ] || fail "norvalis.exe copied no row: the file did not load"
printf '%s\n' "$lines" | grep -qxF -- "$copied" || fail "the copied row is not a line of the file: $copied"
sleep 1
import -window root "$shot"
kill -0 "$program" 2>/dev/null || fail "norvalis.exe ended"
kill "$program" 2>/dev/null || true
program=
echo "norvalis.exe showed $(basename "$csv"), a row copied from it equals the file's; screenshot $shot"

# Uninstalling leaves the user's settings.
settings="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Kestrune/Norvalis"
mkdir -p "$settings"
[ -f "$settings/Norvalis.ini" ] || printf '[General]\r\n' >"$settings/Norvalis.ini"
wine "$installed/uninstall.exe" /S '_?=C:\Program Files\Norvalis' </dev/null >/dev/null 2>&1 ||
  fail "the silent uninstall failed"
left=$(cd "$installed" 2>/dev/null && find . -type f ! -name uninstall.exe | head -3)
[ -z "$left" ] || fail "the uninstaller left $left"
[ -f "$settings/Norvalis.ini" ] || fail "the uninstaller removed the user's settings"
echo "uninstalled; the settings stay"
