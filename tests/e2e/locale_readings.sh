#!/usr/bin/env bash
# End to end: the same walk in the window under a Russian desktop locale
# (decimal comma) and under C.UTF-8 must show the same LCD, picture for
# picture: the speed question, a measured point, and the spectrum with its
# cursor, band and scale readouts. The Russian locale is generated into the
# scratch folder (LOCPATH); nothing on the machine changes.
set -euo pipefail
source "$(dirname "$0")/xlib.sh"
locales="$work/locale"
mkdir -p "$locales"
localedef -i ru_RU -f UTF-8 "$locales/ru_RU.UTF-8" >"$work/localedef.log" 2>&1 ||
  { cat "$work/localedef.log"; fail "localedef could not make ru_RU.UTF-8 (the locales package has its sources)"; }
comma=$(LOCPATH="$locales" LC_ALL=ru_RU.UTF-8 /usr/bin/printf '%.2f' 8.22)
[ "$comma" = "8,22" ] || fail "the generated locale writes 8.22 as \"$comma\", not with a comma"
start_x

# The LCD as the window shows it, as raw pixels; it sits at client (174, 145).
lcd_now() { import -window root -crop "128x160+$((X + 174))+$((Y + 145))" +repage rgb:- | md5sum; }
# Waits until the LCD shows something other than $1, then until it holds
# still: the walk keeps pace with the program however loaded the machine.
await_change() {  # md5 what
  for _ in $(seq 100); do
    [ "$(lcd_now)" != "$1" ] && return 0
    sleep 0.05
  done
  fail "the LCD did not change after $2"
}
settle() {
  local a b
  a=$(lcd_now)
  for _ in $(seq 50); do
    sleep 0.1
    b=$(lcd_now)
    [ "$a" = "$b" ] && return 0
    a=$b
  done
  fail "the LCD did not settle"
}
# Buttons in window coordinates: the instrument picture sits at (124, 80).
button() {  # n [count]: short presses, each awaited
  local xy before
  case $1 in
    1) xy="274 440" ;; 2) xy="200 360" ;; 3) xy="200 440" ;; 4) xy="274 360" ;;
  esac
  for _ in $(seq "${2:-1}"); do
    before=$(lcd_now)
    xdotool mousemove --window "$wid" $xy mousedown 1
    sleep 0.05
    xdotool mouseup 1
    await_change "$before" "button $1"
    settle
  done
}
lcd_shot() {  # name [rows]: the LCD from its top
  import -window root -crop "128x${2:-160}+$((X + 174))+$((Y + 145))" +repage "$work/$1.png"
}

walk() {  # tag [NAME=value ...]: the program from a folder of its own, in Russian, speeds in Hz, no auto step
  local dir="$work/$1" before
  mkdir -p "$dir"
  cp "$exe" "$dir/ORB720Demo"
  printf '[DeviceState]\nAutoStepEn=0\nFreqDimension=201\n[Language]\nName=RUS\n' >"$dir/ORB720Demo.INI"
  start_app "$dir/ORB720Demo" "${@:2}"
  before=$(lcd_now)
  xdotool mousemove --window "$wid" 200 360 mousedown 1  # switch on: hold button 2
  sleep 0.6
  xdotool mouseup 1
  await_change "$before" "switching on"
  settle
  button 4 3              # MEASUREMENT, machine row, point row
  button 4                # measure point 1: the wave question with the speed
  lcd_shot "$1-question"
  before=$(lcd_now)
  xdotool mousemove --window "$wid" 274 440 click 1  # YES
  await_change "$before" "YES"  # "Measuring...", 1.5 s
  before=$(lcd_now)
  await_change "$before" "measuring"
  settle
  lcd_shot "$1-point" 144  # not the time of the measurement below
  button 2 3              # machine row, route row, main menu
  button 1                # ANALYSIS
  button 4 4              # machine row, point row, point 1's spectrum
  button 1 3              # cursor right
  lcd_shot "$1-spectrum"
  button 4                # x scale
  button 1 5              # 1:12 ... 1:0.500
  button 4 2              # units
  button 1                # displacement
  lcd_shot "$1-zoomed"
  exit_app
}

exe=$1
walk c
walk ru LOCPATH="$locales" LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8
cp "$work"/c-*.png "$work"/ru-*.png "${E2E_SAVE_DIR:-$work}/" 2>/dev/null || true
differ=""
for name in question point spectrum zoomed; do
  n=$(compare -metric AE "$work/c-$name.png" "$work/ru-$name.png" null: 2>&1 || true)
  echo "$name: $n pixels differ between C.UTF-8 and ru_RU.UTF-8"
  [ "$n" = 0 ] || differ="$differ $name"
done
[ -z "$differ" ] || fail "the LCD depends on the desktop's locale:$differ"
echo "the same LCD under both locales"
