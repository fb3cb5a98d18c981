# An X server of the script's own. The server picks a free display number
# itself (-displayfd), so scripts run side by side never meet on one display.
# Needs $work; sets xvfb (its pid) and DISPLAY.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
  export DISPLAY=":$(head -1 "$work/display")"
  unset QT_QPA_PLATFORM
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return; sleep 0.1; done
  echo "FAIL: Xvfb on $DISPLAY does not answer"; exit 1
}
