# An X server of the script's own. Tests run side by side, so each picks a
# display number at random, well away from the low numbers a desktop or
# xvfb-run takes. The server's lock file is what keeps two of them apart:
# the second on a number exits before it opens a socket. (-displayfd would
# say when the server is ready, but it also turns the lock off, and two
# servers on one number then share its sockets.) So readiness is polled, and
# the display is taken as ours only once the lock names our server.
# -noreset: a server resets when its last client leaves, and a client that
# connects just then is dropped (the probe, or a program started again).
# Needs $work; sets xvfb (its pid) and DISPLAY.
start_xvfb() {
  local n owner
  for _ in $(seq 20); do
    n=$((RANDOM % 900 + 100))
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 200); do
      kill -0 "$xvfb" 2>/dev/null || break
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        owner=$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null || true)
        if [ "$owner" = "$xvfb" ]; then
          export DISPLAY=":$n"
          unset QT_QPA_PLATFORM
          return
        fi
        break
      fi
      sleep 0.05
    done
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
