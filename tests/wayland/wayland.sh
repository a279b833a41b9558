#!/usr/bin/env bash
# The real program as a native Wayland client (Qt's wayland platform) under weston, each case in a
# fresh temporary home and a private runtime folder, ending every process it started.
#   headless     weston's headless backend: the main window is made and shown, SIGTERM ends the
#                program with the store saved. This backend has no seat (no pointer, no keyboard),
#                so it can neither move a window nor own a clipboard.
#   drag-and-pages, copy-graph
#                weston's X11 backend nested in the private X server of scripts/with-x.sh, which
#                gives it a seat driven with xdotool as a person would; checked by what weston's
#                output shows and, for the copy, by what wl-paste reads back.
#   tests/wayland/wayland.sh CASE BRENVIK
# Exits 77 (skipped) when weston, Qt's wayland platform or wl-clipboard is not installed.
set -u
case_name=$1
brenvik_built=$2

skip() {
  echo "wayland[$case_name]: skipped: $*"
  exit 77
}
command -v weston >/dev/null || skip "weston is not installed (scripts/setup.sh installs it)"
compgen -G '/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so' >/dev/null ||
  skip "Qt's wayland platform is not installed (qt6-wayland; scripts/setup.sh installs it)"
command -v wl-paste >/dev/null || skip "wl-clipboard is not installed (scripts/setup.sh installs it)"

# --- the fresh home and runtime folder ----------------------------------------------------------
. "$(dirname "$0")/../support/fresh-home.sh"
fresh_home wayland
private_runtime
install_program "$brenvik_built"
without_splash
# A plain background and no panel, so that the window is what stands out on weston's output.
cat >"$work/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
background-image=/nonexistent
background-color=0xff204060
panel-position=none
EOF

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() {
  echo "FAIL: $*" >&2
  echo "--- weston's log:" >&2
  tail -n 20 "$work/weston.log" >&2
  echo "--- the program's log (last lines):" >&2
  grep -v '^\[' "$work/brenvik.log" 2>/dev/null | tail -n 20 >&2
  exit 1
}
note() { echo "wayland[$case_name]: $*"; }

# --- weston -------------------------------------------------------------------------------------
socket=brenvik-wayland-$$
start_weston() { # BACKEND [OPTIONS...]
  weston --backend="$1" "${@:2}" --socket="$socket" --config="$work/weston.ini" \
    --shell=desktop-shell.so --log="$work/weston.log" >/dev/null 2>&1 &
  pids+=($!)
  wait_for 30 test -S "$XDG_RUNTIME_DIR/$socket" || die "weston did not start"
  export WAYLAND_DISPLAY=$socket
}
output_window= # weston's output on the X server (nested cases)
weston_output() { # its window id, once it is mapped
  xwininfo -root -tree | awk '/"Weston Compositor - / { print $1; found = 1; exit } END { exit !found }'
}
start_nested_weston() {
  [ -n "${DISPLAY:-}" ] || { echo "wayland: needs an X server (run under scripts/with-x.sh)" >&2; exit 1; }
  start_weston x11-backend.so --use-pixman --width=1024 --height=768
  wait_for 30 weston_output || die "weston's output did not show"
  output_window=$(weston_output)
  sleep 1 # the desktop shell paints its background
}

# --- the program --------------------------------------------------------------------------------
app=
start_app() {
  # A native Wayland client: no X server to fall back to, and no fallback platform.
  env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client "$program_dir/brenvik" \
    >>"$work/brenvik.log" 2>&1 &
  app=$!
  pids+=("$app")
}
# The main window: a toplevel titled "Brenvik" that was configured and given a picture.
window_made() { grep -q 'xdg_toplevel@[0-9]*\.set_title("Brenvik")' "$work/brenvik.log"; }
window_shown() { window_made && grep -q 'wl_surface@[0-9]*\.attach(wl_buffer@' "$work/brenvik.log"; }
running() { alive "$app"; }

# --- what weston's output shows (nested cases) --------------------------------------------------
shot() { # a picture of weston's output; prints its file
  local file
  file=$(mktemp "$work/XXXXXX.png")
  import -window "$output_window" "$file" 2>/dev/null
  echo "$file"
}
# X Y W H of the program's window on weston's output: what differs from the plain background.
# Weston draws its own pointer on the output, so the box is taken twice, with the pointer in
# opposite corners, and the pointer's part is what the two boxes do not share.
box_with_pointer_at() { # X Y
  xdotool mousemove --window "$output_window" "$1" "$2"
  sleep 0.3
  convert "$(shot)" -fuzz 3% -trim -format '%X %Y %w %h' info: | tr -d '+'
}
geometry() {
  local ax ay aw ah bx by bw bh
  read -r ax ay aw ah < <(box_with_pointer_at 0 0)
  read -r bx by bw bh < <(box_with_pointer_at 1023 767)
  local left=$((ax > bx ? ax : bx)) top=$((ay > by ? ay : by))
  local right=$((ax + aw < bx + bw ? ax + aw : bx + bw))
  local bottom=$((ay + ah < by + bh ? ay + ah : by + bh))
  echo "$left $top $((right - left)) $((bottom - top))"
}
# The window's place, found again only where it may have moved (WX WY).
WX=
WY=
wait_window() {
  wait_for 60 window_shown || die "the main window was not made"
  local w h
  for _ in $(seq 1 15); do
    read -r WX WY w h < <(geometry)
    [ "$w $h" = "774 596" ] && return 0
    sleep 0.5
  done
  die "weston's output does not show the 774 x 596 window (saw $w x $h at $WX,$WY)"
}
click() { # X Y in the main window's own coordinates [BUTTON]
  xdotool mousemove --window "$output_window" $((WX + $1)) $((WY + $2)) sleep 0.2 click "${3:-1}"
  sleep 0.5
}
# Whether the memory graph's place (page 42,138, 275 x 129) shows its dark picture: the Memory
# page does, the Process page's list there is light. The graph scrolls, so no fixed picture.
graph_place_dark() {
  xdotool mousemove --window "$output_window" $((WX + 90)) $((WY + 500)) # on the navigation bar
  sleep 0.3
  [ "$(convert "$(shot)" -crop "275x129+$((WX + 222))+$((WY + 258))" -colorspace gray \
    -format '%[fx:mean < 0.3]' info:)" = 1 ]
}

# --- the cases ----------------------------------------------------------------------------------
case_headless() {
  start_weston headless-backend.so --use-pixman --width=1280 --height=1024
  cat >"$XDG_CONFIG_HOME/autostart/e2e-sync.desktop" <<'EOF'
[Desktop Entry]
Type=Application
Name=E2E Sync
Exec=e2e-sync
EOF
  start_app
  wait_for 60 window_shown || die "the main window was not made and shown"
  grep -q 'xdg_toplevel@[0-9]*\.configure(' "$work/brenvik.log" ||
    fail "weston did not configure the main window"
  sleep 2
  running || die "the program ended on its own"
  rm -f "$store"
  kill -s TERM "$app"
  wait_ended 30 || die "SIGTERM did not end the program"
  [ -s "$store" ] || die "no startup.dat after SIGTERM"
  grep -aq 'e2e-sync' "$store" || fail "startup.dat lacks the entry after SIGTERM"
}

# The header moves the window through the compositor; the pages still work where it went.
case_drag_and_pages() {
  start_nested_weston
  start_app
  wait_window
  local x0=$WX y0=$WY w h
  # Room to move: weston chooses where the window opens, so drag towards the larger free side.
  local dx=100 dy=80
  [ $((x0 + 774 + dx)) -le 1024 ] || dx=-100
  [ $((y0 + 596 + dy)) -le 768 ] || dy=-80
  xdotool mousemove --window "$output_window" $((x0 + 300)) $((y0 + 60)) sleep 0.2 mousedown 1 sleep 0.3
  for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove --window "$output_window" $((x0 + 300 + step * dx / 10)) \
      $((y0 + 60 + step * dy / 10)) sleep 0.05
  done
  xdotool sleep 0.3 mouseup 1
  sleep 0.5
  read -r WX WY w h < <(geometry)
  [ $((WX - x0 - dx)) -ge -10 ] && [ $((WX - x0 - dx)) -le 10 ] &&
    [ $((WY - y0 - dy)) -ge -10 ] && [ $((WY - y0 - dy)) -le 10 ] ||
    fail "dragging the header by $dx,$dy moved the window from $x0,$y0 to $WX,$WY"
  [ "$w $h" = "774 596" ] || die "the window is $w x $h after the drag"
  # The navigation bar, all groups closed: "System" (the second caption) opens to "Process
  # Manager" as its first item.
  graph_place_dark || fail "the Memory page does not show its graph"
  click 60 $((120 + 6 + 36 + 15))
  click 60 $((120 + 6 + 36 + 30 + 6 + 4 + 11))
  ! graph_place_dark || fail "\"Process Manager\" did not show the Process page"
  running || die "the program ended"
}

case_copy_graph() {
  start_nested_weston
  start_app
  wait_window
  echo stale | wl-copy
  # The memory graph: page 42,138 (275 x 129); its menu's only entry copies it.
  click 359 322 3
  sleep 0.5
  xdotool key c
  wait_for 10 bash -c "wl-paste --list-types | grep -qx image/png" ||
    die "no picture in the clipboard: $(wl-paste --list-types 2>&1)"
  wl-paste --type image/png >"$work/graph.png" || die "wl-paste read nothing"
  local size
  size=$(identify -format '%wx%h' "$work/graph.png" 2>/dev/null) ||
    die "the clipboard holds no readable picture ($(stat -c %s "$work/graph.png") bytes of PNG)"
  [ "$size" = 275x129 ] || fail "the picture is $size, expected 275x129"
  # It is the graph: mostly its black background, with its green grid.
  local dark green
  dark=$(convert "$work/graph.png" -colorspace gray -format '%[fx:mean < 0.25]' info:)
  green=$(convert "$work/graph.png" -fx 'g > 0.4 && r < 0.2 && b < 0.2' -format '%[fx:mean > 0.02]' info:)
  [ "$dark" = 1 ] && [ "$green" = 1 ] || fail "the picture is not the graph (dark $dark, grid $green)"
  running || die "the program ended"
}

declare -F "case_${case_name//-/_}" >/dev/null || die "no case $case_name"
"case_${case_name//-/_}"
[ "$failures" = 0 ] || exit 1
echo "wayland[$case_name]: passed"
