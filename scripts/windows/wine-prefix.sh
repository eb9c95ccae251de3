# Sourced: wine_start PREFIX makes (once) and starts a Wine prefix for the Windows programs:
# its server stays up, and its services are started with their output sent away, since they
# inherit the output of the first program that starts them and ctest or $(...) would wait for
# them. wine_stop ends that server. xvfb_start starts an X display of its own (Wine's desktop
# takes the display it starts with) and waits for it: DISPLAY names it, $xvfb is its process.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
wine_start() {
  export WINEPREFIX=$1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine wineboot -i </dev/null >/dev/null 2>&1
    "$wineserver" -w
    # Debian's Wine leaves its own fonts (Tahoma for the dialog font) out of a new prefix.
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  fi
  # A server left running from before would make -p fail.
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w
  "$wineserver" -p
  wine wineboot </dev/null >/dev/null 2>&1
}
wine_stop() {
  "$wineserver" -k 2>/dev/null || true
}

xvfb_start() {
  local n display=
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
  done
  [ -n "$display" ] || return 1
  Xvfb "$display" -screen 0 1100x720x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=$display
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}
