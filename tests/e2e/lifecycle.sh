#!/usr/bin/env bash
# End-to-end cases of the program's start and end through its real entry: the splash as the screen
# shows it, the start in the tray, and the ways out of the main window. Each case runs on an X
# server of its own (Xvfb, with the trayer tray host, and with openbox where the case says so) in
# a fresh temporary home and program folder, and ends every process it started.
#   tests/e2e/lifecycle.sh CASE BRENVIK SPLASH_PICTURE
set -u
case_name=$1
brenvik_built=$2
splash_picture=$3

. "$(dirname "$0")/../support/fresh-home.sh"
. "$(dirname "$0")/../support/x-windows.sh"
fresh_home lifecycle
private_runtime
unset WAYLAND_DISPLAY
install_program "$brenvik_built"
app=

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() {
  echo "FAIL: $*" >&2
  [ -n "${DISPLAY:-}" ] && import -window root "$work/failed.png" 2>/dev/null # kept with E2E_KEEP=1
  exit 1
}

# --- a desktop of the case's own ------------------------------------------------------------------
desktop() { # wm|bare: Xvfb with the tray host, and openbox for "wm"
  local display=90
  while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
    display=$((display + 1))
  done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  wait_for 10 test -e "/tmp/.X11-unix/X$display" || die "Xvfb did not start"
  export DISPLAY=":$display"
  if [ "$1" = wm ]; then
    # With the system's configuration and theme, not the case's empty folders.
    env -u XDG_CONFIG_DIRS -u XDG_DATA_DIRS -u XDG_CONFIG_HOME -u XDG_DATA_HOME \
      -u XDG_CACHE_HOME -u XDG_STATE_HOME HOME="$work/desktop-home" openbox \
      >"$work/openbox.log" 2>&1 &
    pids+=($!)
  fi
  trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 32 \
    --transparent false >"$work/trayer.log" 2>&1 &
  pids+=($!)
  sleep 0.5
}

# --- the program ------------------------------------------------------------------------------------
autostart_entry() {
  printf '[Desktop Entry]\nType=Application\nName=Life Sync\nExec=life-sync\n' \
    >"$XDG_CONFIG_HOME/autostart/life-sync.desktop"
}
start_app() {
  "$program_dir/brenvik" >>"$work/brenvik.log" 2>&1 &
  app=$!
  pids+=("$app")
}
main_window() { window_of_size 774 596; }
splash() { window_of_size 500 304; }
no_splash() { ! splash; }
wait_window() {
  wait_for 60 main_window || die "the main window did not show"
  window=$(main_window)
  sleep 0.5
}
ended() { ! kill -0 "$app" 2>/dev/null || grep -q '^State:.*Z' "/proc/$app/status" 2>/dev/null; }
store_saved() { [ -s "$store" ] && grep -aq 'life-sync' "$store"; }
tray_icon() { # the centre of the program's icon docked in trayer's strip at the top right
  local id
  for id in $(xdotool search --pid "$app" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" || continue
    if [ "$Y" -lt 32 ] && [ "$X" -ge 1100 ] && [ "$WIDTH" -le 40 ] && [ "$WIDTH" -ge 8 ]; then
      echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
      return 0
    fi
  done
  return 1
}

# How far a screenshot is, at the splash's place, from the splash picture: ImageMagick's
# normalised root-mean-square error, 0 for the same picture.
splash_difference() { # SHOT X Y
  compare -metric RMSE \( "$1" -crop "500x304+$2+$3" +repage \) \
    \( "$splash_picture" -crop 500x304+0+0 +repage \) null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p'
}

# --- the cases ------------------------------------------------------------------------------------
# The splash window of the running copy, found with one quick look: it shows only for seconds.
splash_window() {
  xdotool search --onlyvisible --pid "$app" --name '' getwindowgeometry --shell %@ 2>/dev/null | awk -F= '
    /^WINDOW=/ { id = $2 } /^WIDTH=/ { w = $2 }
    /^HEIGHT=/ { if (w == 500 && $2 == 304) { print id; found = 1; exit } }
    END { exit !found }'
}
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
splash_case() { # wm|bare
  desktop "$1"
  start_app # a first start: no settings yet, so the splash shows
  wait_for 30 splash_window || die "no splash (500 x 304) showed"
  local id x y w h shots=() shot difference
  id=$(splash_window)
  # Screenshots while it is up, from early in the start-up to the hold. The program is stopped
  # for each, so that it cannot paint or close the splash meanwhile: the screen shows what the
  # program had painted by then. They are compared afterwards, as that takes time.
  for delay in 0.3 0.5 0.5 0.5; do
    sleep "$delay"
    kill -STOP "$app"
    if viewable "$id"; then
      [ -n "${x:-}" ] || read -r x y w h < <(window_geometry "$id")
      shot=$work/shot-${#shots[@]}.png
      import -silent -window root "$shot" 2>/dev/null && shots+=("$shot")
    fi
    kill -CONT "$app"
  done
  [ "${#shots[@]}" -ge 1 ] || fail "the splash went before a screenshot could be taken"
  for shot in "${shots[@]}"; do
    difference=$(splash_difference "$shot" "$x" "$y")
    echo "lifecycle[$case_name]: the splash's place differs from its picture by $difference"
    awk -v d="$difference" 'BEGIN { exit !(d != "" && d < 0.1) }' ||
      fail "the screen at the splash's place is not its picture (difference ${difference:-none})"
  done
  wait_window
  [ -z "$(splash)" ] || fail "the splash stayed after the main window showed"
}
case_splash_wm() { splash_case wm; }
case_splash_bare() { splash_case bare; }

case_tray_start() {
  desktop wm
  settings '"LoadBVSystemTray"=dword:00000001'
  start_app
  wait_for 30 splash || die "no splash showed on a start in the tray"
  wait_for 30 no_splash || die "the splash did not go"
  wait_for 20 tray_icon || die "no tray icon docked in the tray host"
  sleep 1
  ! main_window || fail "the main window showed on a start in the tray"
  local icon
  icon=$(tray_icon)
  xdotool mousemove ${icon% *} ${icon#* } sleep 1 click --repeat 2 --delay 80 1
  wait_for 10 main_window || die "a double-click on the tray icon did not show the window"
  read -r x y w h < <(window_geometry "$(main_window)")
  read -r sw sh < <(xdotool getdisplaygeometry)
  [ $((x + w / 2 - sw / 2)) -le 2 ] && [ $((sw / 2 - x - w / 2)) -le 2 ] ||
    fail "the window showed at $x,$y, not centred"
  ! ended || fail "the program ended"
}

ending_case() { # DESCRIPTION COMMAND...: the command ends the program, which saves the store
  local description=$1
  shift
  desktop wm
  settings "$NoSplash"
  autostart_entry
  start_app
  wait_window
  rm -f "$store"
  "$@"
  wait_for 30 ended || die "$description did not end the program"
  wait "$app" 2>/dev/null
  local status=$?
  [ "$status" = 0 ] || fail "the program ended with status $status after $description"
  store_saved || fail "startup.dat was not saved by $description"
}
click_window() { # X Y in the main window
  local x y w h
  read -r x y w h < <(window_geometry "$window")
  xdotool mousemove $((x + $1)) $((y + $2)) sleep 0.2 click 1
}
# The close area is 739,19 21 x 21; the red cross 742,11 14 x 14 lies above its top.
case_close_area() { ending_case "the close area" click_window 749 35; }
case_exit_cross() { ending_case "the exit cross" click_window 749 15; }
alt_f4() {
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  xdotool key --clearmodifiers alt+F4
}
case_alt_f4() { ending_case "Alt+F4" alt_f4; }

case_right_drag() {
  desktop wm
  settings "$NoSplash"
  start_app
  wait_window
  local x0 y0 x1 y1 x2 y2 w h
  read -r x0 y0 w h < <(window_geometry "$window")
  xdotool mousemove $((x0 + 300)) $((y0 + 60)) sleep 0.2 mousedown 3 sleep 0.2
  for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove $((x0 + 300 + step * 10)) $((y0 + 60 + step * 8)) sleep 0.05
  done
  xdotool sleep 0.2 mouseup 3 sleep 0.3
  read -r x1 y1 w h < <(window_geometry "$window")
  [ $((x1 - x0)) -ge 90 ] && [ $((x1 - x0)) -le 110 ] && [ $((y1 - y0)) -ge 70 ] &&
    [ $((y1 - y0)) -le 90 ] || fail "a right-button drag by 100,80 moved the window from $x0,$y0 to $x1,$y1"
  # Released: the window stays where it is while the pointer goes on.
  for step in 1 2 3 4 5; do
    xdotool mousemove $((x0 + 400 + step * 20)) $((y0 + 140 + step * 20)) sleep 0.05
  done
  sleep 0.5
  read -r x2 y2 w h < <(window_geometry "$window")
  [ "$x2 $y2" = "$x1 $y1" ] || fail "the window went on following the pointer after the release ($x1,$y1 -> $x2,$y2)"
}

declare -F "case_${case_name//-/_}" >/dev/null || die "no case $case_name"
"case_${case_name//-/_}"
[ "$failures" = 0 ] || exit 1
echo "lifecycle[$case_name]: passed"
