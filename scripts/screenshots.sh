#!/usr/bin/env bash
# The README's pictures: the main window on each of its five pages, taken from the real program on
# a private X server, so they can be made again after any change.
#   scripts/screenshots.sh [PROGRAM] [FOLDER]     (defaults: build/brenvik, docs/screenshots)
# Without BRENVIK_SCREENSHOTS_INNER it runs itself under scripts/with-x.sh.
set -u
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "${1:-$here/../build/brenvik}")
out=$(realpath -m "${2:-$here/../docs/screenshots}")

if [ -z "${BRENVIK_SCREENSHOTS_INNER:-}" ]; then
  exec env BRENVIK_SCREENSHOTS_INNER=1 BRENVIK_WM=1 "$here/with-x.sh" "$0" "$program" "$out"
fi
[ -x "$program" ] || { echo "screenshots: $program is not built" >&2; exit 1; }
mkdir -p "$out"

# A fresh home and program folder: the pictures show a first run, and nothing is stored anywhere
# that matters.
work=$(mktemp -d /tmp/brenvik-shots-XXXXXX)
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_STATE_HOME=$work/home/.local/state XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$XDG_CONFIG_HOME/brenvik" "$XDG_CONFIG_HOME/autostart" "$work/program"
printf '%s\n\n%s\n%s\n' 'Brenvik Registry Hive Version 1' \
  '[HKEY_LOCAL_MACHINE\Software\Orlevo\Brenvik\Settings]' '"ShowSplashOnStartup"=dword:00000000' \
  >"$XDG_CONFIG_HOME/brenvik/HKEY_LOCAL_MACHINE.reg"
# One autostart entry, so that the Startup page shows what it is for.
printf '[Desktop Entry]\nType=Application\nName=Notes\nExec=/usr/bin/notes --minimised\n' \
  >"$XDG_CONFIG_HOME/autostart/notes.desktop"
cp "$program" "$work/program/brenvik"
# A made-up machine, so that "Product ID:" shows no real machine's identifier.
printf '5f2b8a0c9e4d4c7a8b1e2d3f4a5b6c7d\n' >"$work/machine-id"
export BRENVIK_MACHINE_ID_FILE=$work/machine-id

"$work/program/brenvik" >"$work/brenvik.log" 2>&1 &
app=$!
window=
for _ in $(seq 1 300); do
  for id in $(xdotool search --onlyvisible --name '^Brenvik$' 2>/dev/null); do
    [ "$(xdotool getwindowpid "$id" 2>/dev/null)" = "$app" ] && window=$id
  done
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "screenshots: the window did not show" >&2; exit 1; }
read -r wx wy < <(xwininfo -id "$window" | awk '/Absolute upper-left X:/ { x = $NF }
  /Absolute upper-left Y:/ { y = $NF } END { print x, y }')
xdotool mousemove 5 1000 # keep the pointer off the window

click() { xdotool mousemove $((wx + $1)) $((wy + $2)) sleep 0.1 click 1 sleep 0.3; }
# Navigation bar captions: 30 px high, 6 px apart, below a 6 px margin at y 120; an open group's
# item rows (21 px, 2 apart) follow 10 px below its caption.
navigate() { # GROUP ITEM
  click 60 $((120 + 6 + $1 * 36 + 15))
  click 60 $((120 + 6 + $1 * 36 + 40 + $2 * 23 + 10))
  click 60 $((120 + 6 + $1 * 36 + 15))
  xdotool mousemove 5 1000
}
save() { # NAME: the window as the screen shows it, rounded corners included
  sleep 1.5
  import -window root -crop "774x596+$wx+$wy" +repage "$work/$1.png"
  mv "$work/$1.png" "$out/$1.png"
  echo "screenshots: $out/$1.png"
}

sleep 6 # a few seconds of history in the graphs
save memory
navigate 1 0
save process
navigate 1 1
sleep 5 # the Startup page shows its list at its first refresh
save startup
navigate 1 2
save system
navigate 0 1
save options
# The tray host of scripts/with-x.sh (120 x 32 at the top right, icons at its right end): the icon
# with the memory load, three times enlarged pixel for pixel.
import -window root -crop "48x32+1232+0" +repage "$work/tray-small.png"
convert "$work/tray-small.png" -sample 300% "$out/tray.png"
echo "screenshots: $out/tray.png"
