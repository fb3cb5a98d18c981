#!/usr/bin/env bash
# End to end: the captions the window system shows for the main window and
# its two dialogs, in Russian and back in English, read with xprop, and their
# icons; the mouse wheel over the closed language list changes nothing; the
# language chosen last is what the settings file keeps.
set -euo pipefail
exe="$1"
work=$(mktemp -d)
app=""
xvfb=""
trap 'kill $app $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$exe" "$work/ORB720Demo"
export LC_ALL=C.UTF-8

display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display"
unset QT_QPA_PLATFORM
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

fail() { echo "FAIL: $*"; exit 1; }

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
# A visible top-level window other than the main one, once it has appeared.
new_window() {
  local w
  for _ in $(seq 50); do
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
      [ "$w" != "$wid" ] && xprop -id "$w" _NET_WM_NAME 2>/dev/null | grep -q '= ".' && { echo "$w"; return; }
    done
    sleep 0.1
  done
}
gone() {  # window
  for _ in $(seq 50); do
    xprop -id "$1" WM_STATE 2>/dev/null | grep -q Normal || return 0
    sleep 0.1
  done
  fail "window $1 did not close"
}
click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }
shot() { import -window root "$work/$1.png"; }
# The closed language list, cut from a screenshot (client 13..101, 24..44).
list_pixels() { convert "$work/$1.png" -crop "89x21+$((X + 13))+$((Y + 24))" -depth 8 rgb:- | md5sum; }

# Opens a dialog from the tool bar, checks its caption and icon, closes it.
dialog() {  # button-x caption what
  click "$1" 26
  local d
  d=$(new_window)
  [ -n "$d" ] || fail "$3 did not open"
  sleep 0.3
  expect_caption "$d" "$2" "$3"
  expect_icon "$d" "$3"
  # No window manager here: the key goes to the window under the pointer.
  xdotool mousemove --window "$d" 10 10 key Escape
  gone "$d"
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

LANG=en_US.UTF-8 "$work/ORB720Demo" &
app=$!
wid=""
for _ in $(seq 100); do
  wid=$(xdotool search --onlyvisible --name "ORB-720" 2>/dev/null | head -1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "window did not appear"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$wid")"  # X, Y of the client area

expect_caption "$wid" "ORB-720 Demo" "main window (start)"
expect_icon "$wid" "main window"

choose 2  # ENG (SI) -> RUS
expect_caption "$wid" "Имитатор прибора ORB-720" "main window (RUS)"
dialog 173 "Виброколлектор ORB-720" "Overview (RUS)"
dialog 277 "О программе" "About (RUS)"

choose -2  # RUS -> ENG (SI)
expect_caption "$wid" "ORB-720 Demo" "main window (back to ENG)"
dialog 173 "ORB-720 Demo" "Overview (ENG)"
dialog 277 "About Demo" "About (ENG)"

# The wheel over the closed list, both ways and several notches: nothing changes.
xdotool mousemove --window "$wid" 57 34
sleep 0.2
shot before
xdotool click --repeat 3 --delay 80 5
sleep 0.2
xdotool click --repeat 5 --delay 80 4
sleep 0.2
xdotool click --repeat 2 --delay 80 5
sleep 0.5
shot after
[ "$(list_pixels before)" = "$(list_pixels after)" ] || fail "the wheel changed the language list"
expect_caption "$wid" "ORB-720 Demo" "main window (after the wheel)"

click 389 26  # Exit
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "program did not end after Exit"
app=""
grep -q '^Name=ENG (SI)' "$work/ORB720Demo.INI" || { cat "$work/ORB720Demo.INI"; fail "settings do not keep ENG (SI)"; }
echo "captions and language list as expected"
