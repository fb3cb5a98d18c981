# An X server of the script's own. Tests run side by side and one's server
# may still be shutting down (removing its socket) as the next one starts, so
# each picks a display number at random, well away from the low numbers a
# desktop or xvfb-run takes; -displayfd tells when that server itself is
# ready, or it exits if the number is taken. Needs $work; sets xvfb (its pid)
# and DISPLAY.
start_xvfb() {
  local n
  for _ in $(seq 20); do
    n=$((RANDOM % 900 + 100))
    [ -e "/tmp/.X$n-lock" ] && continue
    rm -f "$work/display"
    Xvfb ":$n" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
      [ -s "$work/display" ] && break
      kill -0 "$xvfb" 2>/dev/null || break
      sleep 0.1
    done
    if [ -s "$work/display" ]; then
      export DISPLAY=":$n"
      unset QT_QPA_PLATFORM
      return
    fi
    stop_xvfb
  done
  cat "$work/xvfb.log"
  echo "FAIL: Xvfb did not start"
  exit 1
}

# Ends the server and waits until it has cleaned up after itself.
stop_xvfb() {
  [ -n "${xvfb:-}" ] || return 0
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  xvfb=""
}
