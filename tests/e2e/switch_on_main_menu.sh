#!/usr/bin/env bash
# End to end: start the real simulator on its own X server, switch it on with
# a long press of button 2, and find the main menu in a screenshot of the LCD.
set -euo pipefail
source "$(dirname "$0")/xlib.sh"
cp "$1" "$work/ORB720Demo"
start_x
start_app "$work/ORB720Demo"

shot
off=$(lcd 64 80)
[ "$off" = "#4E4E4E" ] || { echo "switched-off LCD is $off, not grey"; exit 1; }

# Long press of button 2: picture (54..101, 252..307) at window (124, 80).
xdotool mousemove --window "$wid" 200 360 mousedown 1
sleep 0.6
xdotool mouseup 1
sleep 1.5

shot
convert "$work/screen.png" -crop "128x160+$((X + 174))+$((Y + 145))" "${E2E_SAVE_LCD:-$work/lcd.png}"
title=$(lcd 0 5)
selected=$(lcd 127 50)
body=$(lcd 20 130)
echo "title $title, selection bar $selected, body $body"
[ "$title" = "#0000FF" ] || { echo "no blue title band"; exit 1; }
[ "$selected" = "#0000FF" ] || { echo "no selection bar on MEASUREMENT"; exit 1; }
[ "$body" = "#F0F0FF" ] || { echo "body is not lit white"; exit 1; }
# Yellow text of the selected entry somewhere on its row.
yellow=0
for x in $(seq 20 2 108); do
  [ "$(lcd "$x" 50)" = "#FFFF00" ] && { yellow=1; break; }
done
[ "$yellow" = 1 ] || { echo "no yellow MEASUREMENT text"; exit 1; }
echo "main menu found"
