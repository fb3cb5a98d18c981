#!/usr/bin/env bash
# End to end: the captions the window system shows for the main window and
# its two dialogs, in Russian and back in English, read with xprop, and their
# icons; the mouse wheel over the closed language list changes nothing; the
# language chosen last is what the settings file keeps.
set -euo pipefail
source "$(dirname "$0")/xlib.sh"
cp "$1" "$work/ORB720Demo"
start_x

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

start_app "$work/ORB720Demo"

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

exit_app
grep -q '^Name=ENG (SI)' "$work/ORB720Demo.INI" || { cat "$work/ORB720Demo.INI"; fail "settings do not keep ENG (SI)"; }
echo "captions and language list as expected"
