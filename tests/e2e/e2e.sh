#!/usr/bin/env bash
# End-to-end cases: the real program on a real X server (scripts/with-x.sh: Xvfb, the trayer tray
# host and openbox), driven with xdotool and xclip as a person would, checked by what the screen
# shows and what the program stores. Each case runs in a fresh temporary home and program folder
# and ends every process it started.
#   tests/e2e/e2e.sh CASE BRENVIK BRENVIKCTL
set -u
case_name=$1
brenvik_built=$2
brenvikctl_built=$3

[ -n "${DISPLAY:-}" ] || { echo "e2e: needs an X server (run under scripts/with-x.sh)" >&2; exit 1; }

# --- the fresh home -----------------------------------------------------------------------------
. "$(dirname "$0")/../support/fresh-home.sh"
. "$(dirname "$0")/../support/x-windows.sh"
fresh_home e2e
mkdir -p "$work/bin" "$work/shots"
install_program "$brenvik_built" "$brenvikctl_built"
# Whatever the program hands to the desktop is recorded instead of started.
launched=$work/launched
for stub in xdg-open timeshift-launcher; do
  printf '#!/bin/sh\necho "%s $*" >>"%s"\n' "$stub" "$launched" >"$work/bin/$stub"
  chmod +x "$work/bin/$stub"
done
export PATH=$work/bin:$PATH BROWSER=true

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() {
  echo "FAIL: $*" >&2
  import -window root "$work/failed.png" 2>/dev/null # kept with E2E_KEEP=1
  exit 1
}
note() { echo "e2e[$case_name]: $*"; }

# --- the program --------------------------------------------------------------------------------
app=
window=
start_app() {
  "$program_dir/brenvik" >>"$work/brenvik.log" 2>&1 &
  app=$!
  pids+=("$app")
}
main_window() { # the shown main window of the running copy
  local id
  for id in $(xdotool search --onlyvisible --name '^Brenvik$' 2>/dev/null); do
    [ "$(xdotool getwindowpid "$id" 2>/dev/null)" = "$app" ] && { echo "$id"; return 0; }
  done
  return 1
}
wait_window() {
  wait_for "${1:-60}" main_window || die "the main window did not show"
  window=$(main_window)
  sleep 0.5 # let the first paint land
}
running() { alive "$app"; }
geometry() { window_geometry "$window"; }
click() { # X Y in the main window's own coordinates [BUTTON]
  local x y w h
  read -r x y w h < <(geometry)
  xdotool mousemove $((x + $1)) $((y + $2)) sleep 0.1 click "${3:-1}"
  sleep 0.3
}
# The navigation bar: three group captions, 30 px high, 6 px apart, inside a 6 px margin; the open
# group's items (21 px, 2 px apart) follow its caption. Each visit closes its group again, so the
# captions always stand where they stand with all groups closed.
NavTop=120
group_y() { echo $((NavTop + 6 + $1 * 36 + 15)); }
item_y() { echo $((NavTop + 6 + $1 * 36 + 30 + 6 + 4 + $2 * 23 + 10)); }
navigate() { # GROUP ITEM
  click 60 "$(group_y "$1")"
  click 60 "$(item_y "$1" "$2")"
  click 60 "$(group_y "$1")"
}
show_memory() { navigate 0 0; }
show_options() { navigate 0 1; }
show_process() { navigate 1 0; }
show_startup() { navigate 1 1; }
show_system() { navigate 1 2; }

# --- what a person sees -------------------------------------------------------------------------
shot() { # a picture of the screen; prints its file
  local file
  file=$(mktemp "$work/shots/XXXXXX.png")
  import -window root "$file" 2>/dev/null
  echo "$file"
}
page_picture() { # a fingerprint of the page area's pixels
  local x y w h file
  read -r x y w h < <(geometry)
  file=$(shot)
  convert "$file" -crop "594x431+$((x + 180))+$((y + 120))" +repage -format '%#' info:
}
pixel() { # FILE X Y: the pixel as "r,g,b"
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}
hive_value() { # NAME: the stored data of a settings value, or nothing
  grep -a "^\"$1\"=" "$hive" 2>/dev/null | head -n 1 | cut -d= -f2-
}
peak_rss_mb() { awk '/^VmHWM:/ { print int($2 / 1024) }' "/proc/$app/status"; }

# Sets the "Memory To Free" slider of the shown Memory page to about MB megabytes by dragging its
# handle along the 166 px groove (window 484,424); the handle starts in the middle, at half the
# physical memory, and stays where the last drag left it.
handle_x=$((484 + 166 / 2))
set_wash_size() {
  local total_mb target x y w h
  total_mb=$(awk '/^MemTotal:/ { print int($2 / 1024) }' /proc/meminfo)
  target=$((484 + 8 + (166 - 16) * $1 / total_mb))
  read -r x y w h < <(geometry)
  xdotool mousemove $((x + handle_x)) $((y + 446)) sleep 0.2 mousedown 1 sleep 0.2 \
    mousemove $((x + target + 5)) $((y + 446)) sleep 0.2 mousemove $((x + target)) $((y + 446)) \
    sleep 0.2 mouseup 1
  handle_x=$target
  sleep 0.3
}
CleanNowX=708
CleanNowY=507
splash() { window_of_size 500 304; } # the splash window of the running copy, while it shows
first_window() { # NAME: the first shown window of that title; fails when there is none
  local id
  id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
  [ -n "$id" ] && echo "$id"
}
about_box() { first_window '^About Us$'; }
progress_dialog() { first_window '^Processing\.\.\.$'; }

# --- the tray -----------------------------------------------------------------------------------
tray_icon() { # the program's icon window docked in the tray host: small and inside its strip
  local id geo
  for id in $(xdotool search --pid "$app" 2>/dev/null); do
    geo=$(xdotool getwindowgeometry --shell "$id" 2>/dev/null) || continue
    eval "$geo"
    # trayer: 120 x 32 at the screen's top right
    if [ "$Y" -lt 32 ] && [ "$X" -ge 1100 ] && [ "$WIDTH" -le 40 ] && [ "$WIDTH" -ge 8 ]; then
      echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
      return 0
    fi
  done
  return 1
}
tray_menu() { # the tray menu's window geometry, when it shows
  local id
  for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    [ "$id" = "$window" ] && continue
    eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
    [ "$HEIGHT" -gt 40 ] && [ "$WIDTH" -lt 400 ] && { echo "$X $Y $WIDTH $HEIGHT"; return 0; }
  done
  return 1
}
tray_exit() {
  local icon menu
  icon=$(tray_icon) || die "no tray icon in the tray host"
  xdotool mousemove ${icon% *} ${icon#* } sleep 0.2 click 3
  wait_for 10 tray_menu || die "the tray menu did not open"
  read -r mx my mw mh < <(tray_menu)
  # "Exit" is the menu's last entry.
  xdotool mousemove $((mx + mw / 2)) $((my + mh - 14)) sleep 0.3 click 1
}

# --- the cases ----------------------------------------------------------------------------------
case_first_start() {
  # A machine that never ran the program: no hive, so the splash shows first.
  start_app
  wait_for 30 splash || die "no splash (500 x 304) showed"
  wait_window 60
  local end=$((SECONDS + 10))
  while [ -n "$(splash)" ] && [ $SECONDS -lt $end ]; do sleep 0.1; done
  [ -z "$(splash)" ] || fail "the splash stayed after the main window showed"
  read -r x y w h < <(geometry)
  [ "$w" = 774 ] && [ "$h" = 596 ] || fail "main window is ${w}x$h, expected 774x596"
  read -r sw sh < <(xdotool getdisplaygeometry)
  [ $((x + w / 2 - sw / 2)) -le 2 ] && [ $((sw / 2 - x - w / 2)) -le 2 ] &&
    [ $((y + h / 2 - sh / 2)) -le 30 ] && [ $((sh / 2 - y - h / 2)) -le 30 ] ||
    fail "main window at $x,$y is not centred on the ${sw}x$sh screen"
  # Rounded corners: the outermost corner pixels show the (black) root window, a few pixels in
  # along the edge the header picture shows.
  local file
  file=$(shot)
  for corner in "$x $y" "$((x + w - 1)) $y" "$x $((y + h - 1))" "$((x + w - 1)) $((y + h - 1))"; do
    [ "$(pixel "$file" $corner)" = "0,0,0" ] || fail "corner at $corner is not cut off: $(pixel "$file" $corner)"
  done
  [ "$(pixel "$file" $((x + w / 2)) $((y + 1)))" != "0,0,0" ] || fail "the header's top edge is missing"
  # The settings key is made with every preference at its first value.
  wait_for 10 test -s "$hive" || fail "no settings hive after the first start"
  for name in LoadBVSystemTray CloseBVAfterWash CleanMemWhenMemReach CleanMemoryOnTimer \
    AutoRefreshTimerInt CleanMemoryEveryMinute CleanMemoryOnMemLimit; do
    [ "$(hive_value "$name")" = dword:00000000 ] || fail "$name is '$(hive_value "$name")', expected 0"
  done
  [ "$(hive_value ShowSplashOnStartup)" = dword:00000001 ] || fail "splash preference not 1"
  "$program_dir/brenvikctl" settings --json >"$work/settings.json" || fail "brenvikctl settings failed"
  running || fail "the program ended"
}

case_navigation() {
  without_splash
  start_app
  wait_window
  local memory process startup system options
  memory=$(page_picture)
  show_process
  process=$(page_picture)
  show_startup
  startup=$(page_picture)
  show_system
  system=$(page_picture)
  show_options
  options=$(page_picture)
  show_memory
  # The Memory page's graphs scroll, so it is told apart from the others, not from itself.
  local pages="$memory $process $startup $system $options"
  [ "$(printf '%s\n' $pages | sort -u | wc -l)" = 5 ] || fail "the five pages do not all differ"
  # System Restore starts its launcher and leaves the page as it was.
  show_system
  local before
  before=$(page_picture)
  navigate 1 3
  wait_for 10 grep -q '^timeshift-launcher' "$launched" || fail "System Restore started nothing"
  [ "$(page_picture)" = "$before" ] || fail "System Restore changed the page"
  # Help hands the help file to the desktop.
  navigate 2 0
  wait_for 10 grep -q '^xdg-open .*Help' "$launched" || fail "Help opened nothing: $(cat "$launched" 2>/dev/null)"
  # About shows its box; its "Close" button (253,332, 75 x 25) closes it.
  navigate 2 1
  wait_for 10 about_box || die "About showed no box"
  read -r X Y W H < <(window_geometry "$(about_box)") || die "the About box went"
  xdotool mousemove $((X + 290)) $((Y + 344)) sleep 0.2 click 1
  wait_for 10 bash -c '! xdotool search --onlyvisible --name "^About Us$"' || fail "the About box did not close"
  running || fail "the program ended"
}

case_clean_now() {
  without_splash
  start_app
  wait_window
  # A wash runs to its end and takes the memory it was asked for (the slider starts at half the
  # physical memory: too much for a test machine).
  set_wash_size 600
  local before
  before=$(peak_rss_mb)
  click $CleanNowX $CleanNowY
  wait_for 60 bash -c "[ \$(awk '/^VmHWM:/ { print int(\$2 / 1024) }' /proc/$app/status) -ge $((before + 400)) ]" ||
    fail "the wash did not take the memory (peak ${before} -> $(peak_rss_mb) MB)"
  wait_for 60 bash -c '! xdotool search --onlyvisible --name "^Processing\.\.\.$"' ||
    fail "the dialog did not close after the wash"
  running || die "the program ended"
  # Every wash leaves its report in the wash log.
  local log="$XDG_STATE_HOME/brenvik/washes.jsonl"
  wait_for 10 grep -q '"stop":"completed"' "$log" ||
    fail "no report of the wash in the wash log: $(cat "$log" 2>&1)"
  # A large wash shows "Processing..." and stops at Cancel, long before its end.
  local large=5000
  set_wash_size $large
  before=$(peak_rss_mb)
  click $CleanNowX $CleanNowY
  wait_for 30 progress_dialog || die "no \"Processing...\" dialog"
  local dialog
  dialog=$(progress_dialog)
  read -r X Y WIDTH HEIGHT < <(window_geometry "$dialog") || die "the dialog went before Cancel"
  # The "Cancel" button: centred, 37 px down.
  xdotool mousemove $((X + WIDTH / 2)) $((Y + 37 + 12)) click 1
  wait_for 30 bash -c '! xdotool search --onlyvisible --name "^Processing\.\.\.$"' ||
    fail "the dialog stayed after Cancel"
  running || die "the program ended"
  sleep 1
  note "peak resident memory ${before} MB before, $(peak_rss_mb) MB after the cancelled wash of $large MB"
  [ "$(peak_rss_mb)" -lt $((large * 9 / 10)) ] || fail "Cancel did not stop the wash"
  wait_for 10 grep -q '"stop":"cancelled"' "$log" ||
    fail "no report of the cancelled wash in the wash log: $(cat "$log" 2>&1)"
  # The window works again: the Process page can be shown.
  local memory
  memory=$(page_picture)
  show_process
  [ "$(page_picture)" != "$memory" ] || fail "the main window stayed disabled after the wash"
}

case_options() {
  without_splash
  start_app
  wait_window
  show_options
  # Options page: the four boxes of "Program Options" (group at 187,128; boxes 13 px in, at 22,
  # 54, 87 and 120) and the two of the automatic wash (group at 187,280; boxes at 24 and 56).
  local -a table=(
    "LoadBVSystemTray 208 190"
    "ShowSplashOnStartup 208 223"
    "CloseBVAfterWash 208 256"
    "CleanMemWhenMemReach 208 312"
    "CleanMemoryOnTimer 208 344"
  )
  local row name bx by want
  for row in "${table[@]}"; do
    read -r name bx by <<<"$row"
    for want in 1 0; do
      click "$bx" "$by"
      # Write-through: the value is in the hive at once.
      wait_for 5 bash -c "grep -aq '^\"$name\"=dword:0000000$want' '$hive'" ||
        fail "$name is '$(hive_value "$name")' after a click, expected $want"
    done
  done
  # "Load Brenvik at Windows startup" writes the program's autostart entry.
  click 208 158
  wait_for 5 bash -c "grep -rlq '$program_dir/brenvik' '$XDG_CONFIG_HOME/autostart'" ||
    fail "no autostart entry after ticking \"Load Brenvik at Windows startup\""
  click 208 158
  wait_for 5 bash -c "! grep -rlZ '$program_dir/brenvik' '$XDG_CONFIG_HOME/autostart' | xargs -0r grep -L 'Hidden=true' | grep -q ." ||
    fail "the autostart entry stayed after unticking"
  running || fail "the program ended"
}

case_hot_key() {
  without_splash
  start_app
  wait_window
  show_options
  # The shortcut box (window 502,499, 144 x 21) and "Register Shortcut" (652,497, 105 x 25).
  click 574 509
  xdotool key ctrl+alt+w
  sleep 0.3
  click 704 509
  # Ctrl+Alt+W as a 16-bit shortcut code: the key 0x57 with Ctrl 0x4000 and Alt 0x8000.
  wait_for 5 bash -c "grep -aq '^\"Shortcut\"=dword:0000c057' '$hive'" ||
    fail "the stored shortcut is '$(hive_value Shortcut)', expected 0xC057"
  # A wash with the key takes the slider's amount: set it small first.
  show_memory
  set_wash_size 600
  local before
  before=$(peak_rss_mb)
  # Another window has the focus: the key is global. A neighbour key washes nothing.
  xdotool mousemove 5 1000 click 1
  xdotool key ctrl+alt+e
  sleep 2
  [ "$(peak_rss_mb)" -lt $((before + 400)) ] || fail "Ctrl+Alt+E washed"
  xdotool key ctrl+alt+w
  wait_for 60 bash -c "[ \$(awk '/^VmHWM:/ { print int(\$2 / 1024) }' /proc/$app/status) -ge $((before + 400)) ]" ||
    fail "Ctrl+Alt+W did not wash (peak ${before} -> $(peak_rss_mb) MB)"
  wait_for 60 bash -c '! xdotool search --onlyvisible --name "^Processing\.\.\.$"' ||
    fail "the progress dialog stayed"
  wait_for 10 test -s "$XDG_STATE_HOME/brenvik/washes.jsonl" || fail "the hot key's wash left no report"
  note "wash log: $(tail -n 1 "$XDG_STATE_HOME/brenvik/washes.jsonl")"
  running || fail "the program ended"
}

case_tray() {
  without_splash
  start_app
  wait_window
  wait_for 20 tray_icon || die "no tray icon docked in the tray host"
  # The header's minimise area (715,18, 22 x 23) hides the window into the tray.
  click 726 29
  wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Brenvik$' | grep -qx $window" ||
    fail "the window did not go to the tray"
  running || die "the program ended"
  local icon
  icon=$(tray_icon) || die "the tray icon went"
  xdotool mousemove ${icon% *} ${icon#* } sleep 1 click --repeat 2 --delay 80 1
  wait_for 10 main_window || die "a double-click on the tray icon did not bring the window back"
  window=$(main_window)
  read -r x y w h < <(geometry)
  read -r sw sh < <(xdotool getdisplaygeometry)
  [ $((x + w / 2 - sw / 2)) -le 2 ] && [ $((sw / 2 - x - w / 2)) -le 2 ] ||
    fail "the window came back at $x,$y, not centred"
  # Minimising from the window manager goes to the tray as well.
  xdotool windowminimize "$window"
  wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Brenvik$' | grep -qx $window" ||
    fail "minimising did not hide the window into the tray"
}

case_startup_disable() {
  without_splash
  # One autostart entry the user has, put there before the program starts.
  cat >"$XDG_CONFIG_HOME/autostart/e2e-clock.desktop" <<'EOF'
[Desktop Entry]
Type=Application
Name=E2E Clock
Exec=/usr/bin/e2e-clock --quiet
EOF
  start_app
  wait_window
  show_startup
  # The list (window 186,128) holds the one entry in its first row; "&Disable" at 267,514.
  click 300 160
  click 304 526
  # A confirmation may ask first; Return takes its default answer.
  sleep 0.5
  if [ "$(xdotool search --onlyvisible --pid "$app" | wc -l)" -ge 2 ]; then xdotool key Return; fi
  wait_for 10 bash -c "grep -q 'Hidden=true' '$XDG_CONFIG_HOME/autostart/e2e-clock.desktop' ||
    [ ! -e '$XDG_CONFIG_HOME/autostart/e2e-clock.desktop' ]" ||
    fail "the autostart entry still starts after Disable"
  tray_exit
  wait_ended 30 || die "\"Exit\" in the tray menu did not end the program"
  [ -s "$store" ] || die "no startup.dat after Exit"
  grep -aq 'e2e-clock' "$store" || fail "startup.dat does not hold the disabled entry"
  # Started again, the entry is listed as disabled.
  start_app
  wait_window
  "$program_dir/brenvikctl" startup list --json >"$work/list.json" || fail "brenvikctl startup list failed"
  grep -q 'e2e-clock' "$work/list.json" || fail "the entry is gone: $(cat "$work/list.json")"
  python3 - "$work/list.json" <<'EOF' || fail "the entry is not Disabled: $(cat "$work/list.json")"
import json, sys
doc = json.load(open(sys.argv[1]))
items = doc if isinstance(doc, list) else next(v for v in doc.values() if isinstance(v, list))
entry = next(i for i in items if "e2e-clock" in json.dumps(i))
sys.exit(0 if "Disabled" in json.dumps(entry) or entry.get("enabled") is False else 1)
EOF
  local shown
  shown=$(page_picture)
  show_startup
  [ "$(page_picture)" != "$shown" ] || fail "the Startup page did not show"
}

ending_case() { # SIGNAL: the program ends on it and saves the store
  without_splash
  cat >"$XDG_CONFIG_HOME/autostart/e2e-sync.desktop" <<'EOF'
[Desktop Entry]
Type=Application
Name=E2E Sync
Exec=e2e-sync
EOF
  start_app
  wait_window
  rm -f "$store"
  kill -s "$1" "$app"
  wait_ended 30 || die "SIG$1 did not end the program"
  [ -s "$store" ] || die "no startup.dat after SIG$1"
  grep -aq 'e2e-sync' "$store" || fail "startup.dat lacks the entry after SIG$1"
}
case_sigterm() { ending_case TERM; }
# The hang-up a closing terminal, or a session without a session manager, sends.
case_sighup() { ending_case HUP; }

# A log-off through a real X session manager (xsm): its checkpoint asks every client to save
# (Qt's commitDataRequest), and "Shutdown" with a checkpoint asks again and then ends the clients.
save_dialog() { # TITLE: fills xsm's save dialog (name box 180,33; first button 55,137)
  wait_for 15 first_window "^$1\$" || die "no $1 dialog"
  read -r DX DY DW DH < <(window_geometry "$(first_window "^$1\$")") || die "the $1 dialog went"
  xdotool mousemove $((DX + 180)) $((DY + 33)) click 1 type e2e
  xdotool mousemove $((DX + 55)) $((DY + 137)) sleep 0.3 click 1
}
case_logoff() {
  command -v xsm >/dev/null && command -v iceauth >/dev/null ||
    die "needs xsm (x11-session-utils) and iceauth (x11-xserver-utils)"
  without_splash
  printf '[Desktop Entry]\nType=Application\nName=E2E Sync\nExec=e2e-sync\n' \
    >"$XDG_CONFIG_HOME/autostart/e2e-sync.desktop"
  # The session's only client is the program; the session manager starts it.
  echo "$program_dir/brenvik" >"$HOME/.xsmstartup"
  export ICEAUTHORITY=$work/ICEauthority
  xsm >"$work/xsm.log" 2>&1 &
  pids+=($!)
  wait_for 60 pgrep -x -f "$program_dir/brenvik" || die "xsm did not start the program"
  app=$(pgrep -x -f "$program_dir/brenvik" | head -n 1)
  pids+=("$app")
  wait_window
  wait_for 30 first_window '^xsm: ' || die "no xsm window"
  # xsm's window, brought above the program's: "Checkpoint" at 44,50; the "Shutdown" menu at
  # 150,50, "With Checkpoint" below it.
  xdotool windowraise "$(first_window '^xsm: ')"
  sleep 0.5
  read -r MX MY MW MH < <(window_geometry "$(first_window '^xsm: ')") || die "the xsm window went"
  rm -f "$store"
  xdotool mousemove $((MX + 44)) $((MY + 50)) sleep 0.3 click 1
  save_dialog Checkpoint
  wait_for 30 test -s "$store" || die "a checkpoint of the session did not save the store"
  grep -aq 'e2e-sync' "$store" || fail "the store saved at the checkpoint lacks the entry"
  running || die "the program ended at a checkpoint"
  rm -f "$store"
  xdotool mousemove $((MX + 150)) $((MY + 50)) sleep 0.3 mousedown 1 sleep 0.5 \
    mousemove $((MX + 150)) $((MY + 76)) sleep 0.3 mouseup 1
  save_dialog Shutdown
  wait_for 60 bash -c "! kill -0 $app 2>/dev/null" || die "the session's end did not end the program"
  [ -s "$store" ] || die "no startup.dat after the log-off"
  grep -aq 'e2e-sync' "$store" || fail "startup.dat lacks the entry after the log-off"
}

case_drag() {
  without_splash
  start_app
  wait_window
  read -r x0 y0 w h < <(geometry)
  xdotool mousemove $((x0 + 300)) $((y0 + 60)) sleep 0.2 mousedown 1 sleep 0.2
  for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove $((x0 + 300 + step * 10)) $((y0 + 60 + step * 8)) sleep 0.05
  done
  xdotool sleep 0.2 mouseup 1
  sleep 0.5
  read -r x1 y1 w h < <(geometry)
  [ $((x1 - x0)) -ge 90 ] && [ $((x1 - x0)) -le 110 ] && [ $((y1 - y0)) -ge 70 ] &&
    [ $((y1 - y0)) -le 90 ] || fail "dragging the header by 100,80 moved the window from $x0,$y0 to $x1,$y1"
  # A press on the page area moves nothing.
  xdotool mousemove $((x1 + 400)) $((y1 + 300)) mousedown 1 mousemove $((x1 + 450)) $((y1 + 350)) \
    sleep 0.2 mouseup 1
  sleep 0.3
  read -r x2 y2 w h < <(geometry)
  [ "$x2 $y2" = "$x1 $y1" ] || fail "a drag on the page moved the window"
}

case_copy_graph() {
  without_splash
  start_app
  wait_window
  echo stale | xclip -selection clipboard
  # The memory graph: page 42,138 (275 x 129); its menu's only entry copies it.
  click 359 322 3
  sleep 0.5
  xdotool key c
  wait_for 10 bash -c "xclip -selection clipboard -t TARGETS -o | grep -qx image/png" ||
    die "no picture in the clipboard: $(xclip -selection clipboard -t TARGETS -o 2>&1)"
  xclip -selection clipboard -t image/png -o >"$work/graph.png" || die "xclip read nothing"
  [ "$(identify -format '%wx%h' "$work/graph.png")" = 275x129 ] ||
    fail "the picture is $(identify -format '%wx%h' "$work/graph.png"), expected 275x129"
  # It is the graph: mostly its black background, with its green grid.
  local dark green
  dark=$(convert "$work/graph.png" -colorspace gray -format '%[fx:mean < 0.25]' info:)
  green=$(convert "$work/graph.png" -fx 'g > 0.4 && r < 0.2 && b < 0.2' -format '%[fx:mean > 0.02]' info:)
  [ "$dark" = 1 ] && [ "$green" = 1 ] || fail "the picture is not the graph (dark $dark, grid $green)"
}

declare -F "case_${case_name//-/_}" >/dev/null || die "no case $case_name"
"case_${case_name//-/_}"
[ "$failures" = 0 ] || exit 1
echo "e2e[$case_name]: passed"
