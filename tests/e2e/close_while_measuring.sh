#!/usr/bin/env bash
# End to end: measure a route point and click Exit while "Measuring..." is
# shown. The program must end at once and leave a complete settings file.
set -euo pipefail
source "$(dirname "$0")/xlib.sh"
# Killed hard if it hangs: the point is that it ends by itself.
trap 'kill -9 $app 2>/dev/null || true; stop_xvfb; rm -rf "$work"' EXIT
cp "$1" "$work/ORB720Demo"
ini="$work/ORB720Demo.INI"
start_x
start_app "$work/ORB720Demo"

# Does LCD row y show blue between x0 and x1 (text drawn in colour 3)?
lcd_row_has_blue() {
  convert "$work/screen.png" -crop "$(($3 - $2 + 1))x1+$((X + 174 + $2))+$((Y + 145 + $1))" -depth 8 txt:- |
    grep -q '#0000FF'
}

# Buttons in window coordinates: the instrument picture sits at (124, 80).
button() {  # a short press of button n
  case $1 in
    1) xy="274 440" ;; 2) xy="200 360" ;; 3) xy="200 440" ;; 4) xy="274 360" ;;
  esac
  xdotool mousemove --window "$wid" $xy mousedown 1
  sleep 0.08
  xdotool mouseup 1
  sleep 0.5
}

# Switch on: a long press of button 2.
xdotool mousemove --window "$wid" 200 360 mousedown 1
sleep 0.6
xdotool mouseup 1
sleep 1.5

# MEASUREMENT, then the machine row, the point row, and measure point 1.
button 4
button 4
button 4
button 4
# The rotation speed question: YES. "Measuring..." follows for 1.5 s.
xdotool mousemove --window "$wid" 274 440 mousedown 1
sleep 0.08
xdotool mouseup 1
sleep 0.3
shot
[ -z "${E2E_SAVE_LCD:-}" ] || convert "$work/screen.png" -crop "128x160+$((X + 174))+$((Y + 145))" "$E2E_SAVE_LCD"
lcd_row_has_blue 70 20 107 || { echo "no \"Measuring...\" on the LCD"; exit 1; }

# Exit in the tool bar (x 337..440, y 0..51).
xdotool mousemove --window "$wid" 389 26 click 1
ended=0
for _ in $(seq 10); do
  if ! kill -0 "$app" 2>/dev/null; then ended=1; break; fi
  sleep 0.1
done
[ "$ended" = 1 ] || { echo "the program did not end within a second of Exit"; exit 1; }
wait "$app" || { echo "the program ended with status $?"; exit 1; }
app=""

[ -f "$ini" ] || { echo "no settings file written"; exit 1; }
for key in MenuMode MenuItem CollectMode SelectedPoint AutoStepEn TypeParam-A TypeParam-V TypeParam-S \
           HighFrequency PhaseDisplay FreqDimension; do
  grep -q "^$key=-\?[0-9]\+\s*$" "$ini" || { echo "settings file lacks $key:"; cat "$ini"; exit 1; }
done
grep -q '^\[DeviceState\]' "$ini" && grep -q '^\[Language\]' "$ini" && grep -q '^Name=' "$ini" ||
  { echo "settings file is incomplete:"; cat "$ini"; exit 1; }
# Closed on the route point screen, point 1.
grep -q '^MenuMode=1\s*$' "$ini" && grep -q '^SelectedPoint=1\s*$' "$ini" ||
  { echo "settings file does not hold the measuring position:"; cat "$ini"; exit 1; }
echo "closed while measuring: ended at once, settings complete"
