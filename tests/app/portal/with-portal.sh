#!/usr/bin/env bash
# Runs a command against the real xdg-desktop-portal frontend on a private session bus, as in a
# Wayland session. The frontend finds the test's global-shortcuts backend (shortcuts_backend.py)
# through a portal file in a private XDG_DESKTOP_PORTAL_DIR, picked by XDG_CURRENT_DESKTOP.
#   with-portal.sh [--without-shortcuts] COMMAND...
# --without-shortcuts starts the frontend with no backend, as on a desktop whose portal offers no
# global shortcuts. Exits 77 (skipped) when the portal's packages are missing.
set -euo pipefail

with_shortcuts=1
if [ "${1:-}" = --without-shortcuts ]; then
  with_shortcuts=0
  shift
fi

frontend=/usr/libexec/xdg-desktop-portal
# Debian's own Python: its python3-dbus and python3-gi are not in a Python of the user's.
python=/usr/bin/python3
for need in "$frontend" dbus-daemon dbus-send "$python"; do
  if ! command -v "$need" >/dev/null; then
    echo "skipped: $need is missing (scripts/setup.sh installs it)"
    exit 77
  fi
done
if ! "$python" -c 'import dbus, gi' 2>/dev/null; then
  echo "skipped: python3-dbus or python3-gi is missing (scripts/setup.sh installs them)"
  exit 77
fi

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
  # Last started first, the bus last.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    while kill -0 "${pids[i]}" 2>/dev/null; do sleep 0.05; done
  done
  rm -rf "$work"
}
trap cleanup EXIT

# Nothing of the user's desktop: a home, runtime folder and portal folder of our own.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime XDG_DESKTOP_PORTAL_DIR=$work/portals
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
mkdir -p "$HOME" "$XDG_DESKTOP_PORTAL_DIR" && mkdir -m 700 "$XDG_RUNTIME_DIR"
export XDG_CURRENT_DESKTOP=brenviktest XDG_SESSION_TYPE=wayland
unset DISPLAY WAYLAND_DISPLAY

# A bus that starts no services of its own: the frontend then runs without the document portal
# and the permission store, which global shortcuts do not need (and which would mount a file
# system under the runtime folder and write to the home).
mkdir "$work/services"
cat > "$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <servicedir>$work/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
{ read -r DBUS_SESSION_BUS_ADDRESS; read -r bus_pid; } < <(dbus-daemon --config-file="$work/bus.conf" --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS
pids+=("$bus_pid")

wait_for_name() {
  for _ in $(seq 100); do
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
      org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'; then
      return 0
    fi
    sleep 0.1
  done
  echo "with-portal: $1 did not appear on the bus" >&2
  exit 1
}

if [ $with_shortcuts = 1 ]; then
  backend=org.freedesktop.impl.portal.desktop.brenviktest
  cat > "$XDG_DESKTOP_PORTAL_DIR/brenviktest.portal" <<PORTAL
[portal]
DBusName=$backend
Interfaces=org.freedesktop.impl.portal.GlobalShortcuts;
UseIn=brenviktest
PORTAL
  "$python" "$here/shortcuts_backend.py" "$backend" &
  pids+=($!)
  wait_for_name "$backend"
fi

"$frontend" --replace > "$work/frontend.log" 2>&1 &
pids+=($!)
wait_for_name org.freedesktop.portal.Desktop

status=0
"$@" || status=$?
if [ $status -ne 0 ]; then
  echo "with-portal: the frontend said:" >&2
  cat "$work/frontend.log" >&2
fi
exit $status
