# Shared by the end-to-end scripts: an X server of their own, the simulator's
# main window, its tool bar and language list, and what xprop reads of them.
# Source it after `set -euo pipefail`; it keeps its state in these variables.
work=$(mktemp -d)
app=""
xvfb=""
wid=""
trap 'kill $app 2>/dev/null || true; stop_xvfb; rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
# Whatever the program keeps per user stays in the scratch folder.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

fail() { echo "FAIL: $*"; exit 1; }

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"
start_x() { start_xvfb; }

# Starts the program and waits for its main window; X, Y: its client area.
# Further arguments are environment assignments for the program alone.
# What the program prints goes to $work/app.log, shown if it does not come up.
start_app() {  # executable [NAME=value ...]
  env LANG=en_US.UTF-8 "${@:2}" "$1" >"$work/app.log" 2>&1 &
  app=$!
  wid=""
  for _ in $(seq 150); do
    wid=$(xdotool search --onlyvisible --name "ORB-720" 2>/dev/null | head -1 || true)
    [ -n "$wid" ] && break
    if ! kill -0 "$app" 2>/dev/null; then
      local status=0
      wait "$app" || status=$?
      app=""
      cat "$work/app.log"
      fail "$1 ended with status $status before its window appeared"
    fi
    sleep 0.1
  done
  [ -n "$wid" ] || { cat "$work/app.log"; fail "window of $1 did not appear"; }
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$wid")"
}

# A screenshot of the whole screen, $work/<name>.png; pixel reads the last
# one named "screen".
shot() { import -window root "$work/${1:-screen}.png"; }
pixel() {  # pixel at client (x, y) of the main window, as #RRGGBB
  convert "$work/screen.png" -crop "1x1+$((X + $1))+$((Y + $2))" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | head -1
}
lcd() { pixel $((174 + $1)) $((145 + $2)); }  # the LCD sits at client (174, 145)

# Top-level windows on the screen: popups and dialogs add one each.
visible_windows() { xdotool search --onlyvisible --maxdepth 1 --name '' 2>/dev/null | wc -l; }
await_windows() {  # count what
  for _ in $(seq 100); do
    [ "$(visible_windows)" = "$1" ] && return 0
    sleep 0.05
  done
  fail "$2"
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
# Both caption properties must be exactly the text, within five seconds.
expect_caption() {  # window text what
  local net wm
  for _ in $(seq 50); do
    net=$(prop "$1" _NET_WM_NAME)
    wm=$(prop "$1" WM_NAME)
    [ "$net" = "$2" ] && [ "$wm" = "$2" ] && break
    sleep 0.1
  done
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
  local before
  before=$(visible_windows)
  click 57 34
  await_windows $((before + 1)) "the language list did not open"
  local keys=()
  local n=$1
  while [ "$n" -gt 0 ]; do keys+=(Down); n=$((n - 1)); done
  while [ "$n" -lt 0 ]; do keys+=(Up); n=$((n + 1)); done
  [ ${#keys[@]} -gt 0 ] && xdotool key "${keys[@]}"
  xdotool key Return
  await_windows "$before" "the language list did not close"
}
