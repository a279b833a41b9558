#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and `make run` need, when they are missing.
# Runs as root (or through sudo); on a machine that has everything it changes nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev libxcb1-dev libxcb-keysyms1-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils xdotool xclip imagemagick trayer openbox x11-session-utils x11-xserver-utils xdg-utils xdg-user-dirs
  fonts-dejavu-core fp-utils-3.2.2 desktop-file-utils appstream dpkg-dev file
  systemd
  xdg-desktop-portal dbus-daemon python3-dbus python3-gi
  lintian man-db groff-base bsdextrautils
  # A StatusNotifierItem watcher and host and gdbus, for the tests of the tray on D-Bus trays.
  dbus-daemon haskell-status-notifier-item-utils haskell-gtk-sni-tray-utils libglib2.0-bin
)
# Qt's Wayland platform, and the compositor and clipboard tool of the Wayland tests.
packages+=(qt6-wayland weston wl-clipboard)
# Extra packages for `make fuzz` (clang's libFuzzer and sanitizer runtimes).
if [ "${1:-}" = --fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then
    sudo=(sudo)
  else
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
