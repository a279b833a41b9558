#!/usr/bin/env bash
# Starts the program on the current display. Without a display it starts a private X server with a
# tray host, runs the program there, saves a screenshot and keeps running until interrupted.
#   scripts/run.sh PROGRAM [SCREENSHOT]
set -u
program=$1
shot=${2:-$PWD/brenvik-screenshot.png}
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$program"
fi
here=$(cd "$(dirname "$0")" && pwd)
export BRENVIK_RUN_PROGRAM=$program BRENVIK_RUN_SHOT=$shot
exec env BRENVIK_WM=1 "$here/with-x.sh" bash -c '
  "$BRENVIK_RUN_PROGRAM" &
  pid=$!
  trap "kill $pid 2>/dev/null; wait $pid" INT TERM EXIT
  # The main window shows once the splash has gone: wait for a visible 774 x 596 window.
  for _ in $(seq 1 150); do
    shown=no
    for window in $(xdotool search --onlyvisible --name "^Brenvik$" 2>/dev/null); do
      xdotool getwindowgeometry "$window" 2>/dev/null | grep -q "Geometry: 774x596" && shown=yes
    done
    [ $shown = yes ] && break
    sleep 0.2
  done
  sleep 1.5
  import -window root "$BRENVIK_RUN_SHOT" && echo "run: screenshot saved to $BRENVIK_RUN_SHOT"
  echo "run: Brenvik is running on the private display $DISPLAY; press Ctrl+C to stop it."
  wait $pid
'
