#!/usr/bin/env bash
# Runs a command under a private X server (Xvfb) with a tray host (trayer) and, with
# BRENVIK_WM=1, a window manager (openbox). Everything it starts is stopped afterwards, and a
# private 0700 XDG_RUNTIME_DIR is made and removed.
#   scripts/with-x.sh COMMAND [ARGS...]
set -u
runtime=$(mktemp -d /tmp/brenvik-xrun-XXXXXX)
chmod 700 "$runtime"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$runtime"
}
trap cleanup EXIT INT TERM

# A free display number: the first whose lock file does not exist.
display=90
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
  display=$((display + 1))
done
Xvfb ":${display}" -screen 0 1280x1024x24 -nolisten tcp >"$runtime/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X${display}" ] && break
  sleep 0.05
done
export DISPLAY=":${display}"
export XDG_RUNTIME_DIR="$runtime"
unset WAYLAND_DISPLAY
if [ "${BRENVIK_WM:-0}" = 1 ] && command -v openbox >/dev/null; then
  openbox >"$runtime/openbox.log" 2>&1 &
  pids+=($!)
fi
if [ "${BRENVIK_TRAY:-1}" = 1 ] && command -v trayer >/dev/null; then
  trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 32 \
    --transparent false >"$runtime/trayer.log" 2>&1 &
  pids+=($!)
  sleep 0.3
fi
"$@"
status=$?
exit $status
