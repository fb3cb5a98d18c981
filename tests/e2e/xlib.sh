# Shared by the end-to-end scripts: an X server of their own, the simulator's
# main window, its tool bar and language list, and what xprop reads of them.
# Source it after `set -euo pipefail`; it keeps its state in these variables.
work=$(mktemp -d)
app=""
xvfb=""
wid=""
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
# Whatever the program keeps per user stays in the scratch folder.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

fail() { echo "FAIL: $*"; exit 1; }

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"
start_x() { start_xvfb; }

# Starts the program and waits for its main window; X, Y: its client area.
start_app() {  # executable
  LANG=en_US.UTF-8 "$1" &
  app=$!
  wid=""
  for _ in $(seq 100); do
    wid=$(xdotool search --onlyvisible --name "ORB-720" 2>/dev/null | head -1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || fail "window of $1 did not appear"
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$wid")"
}

click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }

# The Exit button; the program must end (having saved its settings).
exit_app() {
  click 389 26
  for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "program did not end after Exit"
  app=""
}

# One property of a window as the window system holds it, without quotes.
prop() {  # window property
  xprop -id "$1" "$2" | sed -n 's/^[^=]*= "\(.*\)"$/\1/p'
}
# Both caption properties must be exactly the text.
expect_caption() {  # window text what
  local net wm
  net=$(prop "$1" _NET_WM_NAME)
  wm=$(prop "$1" WM_NAME)
  echo "$3: _NET_WM_NAME \"$net\", WM_NAME \"$wm\""
  [ "$net" = "$2" ] || fail "$3 _NET_WM_NAME is \"$net\", not \"$2\""
  [ "$wm" = "$2" ] || fail "$3 WM_NAME is \"$wm\", not \"$2\""
}
# The window carries an icon for task bars and switchers.
expect_icon() {  # window what
  local icon  # captured whole: grep -q would end xprop early, failing the pipe
  icon=$(xprop -id "$1" _NET_WM_ICON)
  grep -q '^_NET_WM_ICON(CARDINAL)' <<<"$icon" || fail "$2 has no _NET_WM_ICON"
  grep -q 'Icon (48 x 48)' <<<"$icon" || fail "$2 icon lacks the 48 x 48 size"
}

# Picks an entry of the language list: open it, then walk to the entry.
choose() {  # steps-down-from-current
  click 57 34
  sleep 0.4
  local keys=()
  local n=$1
  while [ "$n" -gt 0 ]; do keys+=(Down); n=$((n - 1)); done
  while [ "$n" -lt 0 ]; do keys+=(Up); n=$((n + 1)); done
  [ ${#keys[@]} -gt 0 ] && xdotool key "${keys[@]}"
  xdotool key Return
  sleep 0.5
}
