#!/usr/bin/env bash
# Runs a command with a StatusNotifierItem tray on a private D-Bus session bus: the bus, a real
# watcher (status-notifier-watcher) and a real host (gtk-sni-tray-standalone) on the X server
# named by DISPLAY. The command learns their process ids, so it can restart them as a desktop's
# panel does, and everything is stopped afterwards.
#   tests/sni/with-sni.sh COMMAND [ARGS...]
# Exits 77 (skipped) when a component is not installed (scripts/setup.sh installs them).
set -u
for tool in dbus-daemon status-notifier-watcher gtk-sni-tray-standalone; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (scripts/setup.sh installs it)"
    exit 77
  fi
done
if [ -z "${DISPLAY:-}" ]; then
  echo "skipped: no X server (run under scripts/with-x.sh)"
  exit 77
fi
work=$(mktemp -d /tmp/brenvik-sni-XXXXXX)
pids=()
cleanup() {
  # A watcher or host the command restarted is its own child and ends with it.
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/address" \
  >"$work/dbus.log" 2>&1 &
bus_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/address" ] && break
  sleep 0.05
done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/address")
export DBUS_SESSION_BUS_ADDRESS
registered() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}
status-notifier-watcher >"$work/watcher.log" 2>&1 &
watcher_pid=$!
for _ in $(seq 1 100); do
  registered org.kde.StatusNotifierWatcher && break
  sleep 0.05
done
gtk-sni-tray-standalone --top >"$work/host.log" 2>&1 &
host_pid=$!
for _ in $(seq 1 100); do
  dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:IsStatusNotifierHostRegistered 2>/dev/null | grep -q 'boolean true' && break
  sleep 0.05
done
# Stopped in reverse order: the bus last.
pids=("$host_pid" "$watcher_pid" "$bus_pid")
export BRENVIK_SNI_WATCHER_PID=$watcher_pid BRENVIK_SNI_HOST_PID=$host_pid
"$@"
status=$?
if [ $status -ne 0 ]; then
  for log in watcher host; do
    echo "--- $log log"
    tail -n 20 "$work/$log.log"
  done
fi
exit $status
