#!/usr/bin/env bash
# Installs NorvalisSetup silently into a fresh Wine prefix and runs what it installed, as a user
# would: norvalis-check.exe on a Shift_JIS file must print what the Linux norvalis-check prints,
# and norvalis.exe, started on that file under Xvfb, must show it: the row it copies to the
# clipboard must be a line of the file (decoded by iconv). The uninstaller must remove the
# programs and leave the user's settings, and an install for the current user alone goes to the
# user's folders and registry and out again. A screenshot of the window goes to SCREENSHOT.
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
wine_start "$work/prefix"

start=$(date +%s)
wine "$setup" /S </dev/null >/dev/null 2>&1 || fail "the silent install failed ($?)"
# Wine's user is an administrator: the installer chose all users.
installed="$WINEPREFIX/drive_c/Program Files/Norvalis"
for f in norvalis.exe norvalis-check.exe norvalis-crash.exe norvalis.sym norvalis-check.sym Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll \
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

# The window where the settings put it (read from %APPDATA%), on the file named as Windows names
# it: the row it copies to the clipboard is a
# line of the file.
settings="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Kestrune/Norvalis"
mkdir -p "$settings"
printf '[STARTUP]\r\nWindowPositionRestore=1\r\nWindowPositionLeft=16\r\nWindowPositionTop=16\r\nWindowPositionRight=960\r\nWindowPositionBottom=600\r\nWindowState=0\r\n' \
  >"$settings/Norvalis.ini"
wine "$installed/norvalis.exe" "Z:${csv//\//\\}" </dev/null >"$work/norvalis.log" 2>&1 &
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
  timeout 5 xdotool windowfocus --sync "$window" key ctrl+shift+c 2>/dev/null || true
  copied=$(timeout 5 xclip -o -selection clipboard 2>/dev/null | tr -d '\r' || true)
  [ -n "$copied" ] && break
  sleep 0.5
done
[ -n "$copied" ] || fail "norvalis.exe copied no row: the file did not load"
printf '%s\n' "$lines" | grep -qxF -- "$copied" || fail "the copied row is not a line of the file: $copied"
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
kill -0 "$program" 2>/dev/null || fail "norvalis.exe ended"
# Closed as a user closes it, it writes its settings.
timeout 5 xdotool windowfocus --sync "$window" key alt+F4 2>/dev/null || true
for _ in $(seq 40); do kill -0 "$program" 2>/dev/null || break; sleep 0.5; done
if kill -0 "$program" 2>/dev/null; then
  wine taskkill /f /im norvalis.exe >/dev/null 2>&1 || true
  fail "norvalis.exe did not close"
fi
program=
echo "norvalis.exe showed $(basename "$csv"), a row copied from it equals the file's; screenshot $shot"

# A crash beside the installed programs ends in the installed helper's dialog, on the windows
# platform with what the installer shipped: its log button writes the report, whose stack names
# the crashed function from the symbol list beside the program.
victim=$(dirname "$setup")/tests/crash-victim.exe
if [ -f "$victim" ]; then
  cp "$victim" "${victim%.exe}.sym" "$installed/"
  crashes="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Norvalis/crash"
  NORVALIS_CRASH_ANSWER=ログを保存,閉じる wine "$installed/crash-victim.exe" null-write \
    </dev/null >"$work/crash.log" 2>&1 || true
  log=
  for _ in $(seq 120); do
    log=$(ls "$crashes"/crash-victim-*.txt 2>/dev/null | head -1) && [ -n "$log" ] && break
    sleep 0.5
  done
  # The helper outlives the program while its dialog closes; it holds the installed DLLs.
  for _ in $(seq 60); do pgrep -f 'norvalis-crash\.exe' >/dev/null || break; sleep 0.5; done
  rm -f "$installed/crash-victim.exe" "$installed/crash-victim.sym"
  [ -n "$log" ] || fail "the installed helper's dialog wrote no log: $(tail -3 "$work/crash.log")"
  grep -q '^== 機械語 ==' "$log" || fail "the crash log lacks its pages: $log"
  grep -q 'VictimWriteNull(int volatile\*)+0x0$' "$log" || fail "the crash log names no function: $log"
  echo "a crash beside the installed programs ended in the dialog, which wrote $(basename "$log")"
fi

# Uninstalling leaves the user's settings.
grep -q '^\[SYSTEM\]' "$settings/Norvalis.ini" || fail "norvalis.exe wrote no settings to %APPDATA%\\Kestrune\\Norvalis"
# It copies itself away and runs from there (_?= would need a path without spaces), so it is
# waited for by what it removes.
wine "$installed/uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the silent uninstall failed"
for _ in $(seq 120); do [ -e "$installed/norvalis.exe" ] || break; sleep 0.5; done
sleep 1
[ ! -e "$installed" ] || fail "the uninstaller left $(find "$installed" | head -3)"
[ -f "$settings/Norvalis.ini" ] || fail "the uninstaller removed the user's settings"
echo "uninstalled; the settings stay"

# For the current user only: into the user's programs folder and the user's part of the
# registry, and out again.
wine "$setup" /S /CurrentUser </dev/null >/dev/null 2>&1 || fail "the install for the current user failed"
mine="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/Norvalis"
[ -f "$mine/norvalis.exe" ] || fail "the install for the current user is not in %LOCALAPPDATA%\\Programs"
wine reg query 'HKCU\Software\Classes\.NVS' 2>/dev/null | grep -q Norvalis.Project ||
  fail "the .NVS file type is not registered for the current user"
wine reg query 'HKLM\Software\Classes\.NVS' >/dev/null 2>&1 && fail "the current user's install wrote HKLM"
wine "$mine/uninstall.exe" /CurrentUser /S </dev/null >/dev/null 2>&1 || fail "its uninstall failed"
for _ in $(seq 120); do [ -e "$mine/norvalis.exe" ] || break; sleep 0.5; done
sleep 1
[ ! -e "$mine" ] || fail "the current user's uninstall left $(find "$mine" | head -3)"
wine reg query 'HKCU\Software\Classes\.NVS' >/dev/null 2>&1 && fail "the current user's file type stayed"
echo "installed and uninstalled for the current user"
