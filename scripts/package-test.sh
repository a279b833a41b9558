#!/usr/bin/env bash
# Builds the Debian package of a build tree and checks it with lintian: no error and no warning
# may remain. With --install (on CI, which runs as root on a machine of its own) it also installs
# the package with apt-get, checks that the installed programs work, and removes it again; the
# machine keeps nothing of it.
#   scripts/package-test.sh [--install] BUILD_DIR
set -eu
install=
if [ "$1" = --install ]; then
  install=yes
  shift
fi
build=$(cd "$1" && pwd)
(cd "$build" && rm -f brenvik_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/brenvik_*.deb)

status=0
# Informational tags are shown too; the ones that stay are explained in packaging/README.md.
if lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb"; then
  echo "package test: ok: lintian $(basename "$deb")"
else
  echo "package test: FAILED: lintian $(basename "$deb")"
  status=1
fi
[ -n "$install" ] || exit $status

if [ "$(id -u)" -ne 0 ]; then
  echo "package test: installing needs root, skipped"
  exit $status
fi
if dpkg-query -W brenvik >/dev/null 2>&1; then
  echo "package test: a brenvik package is installed already; not touching it" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
cleanup() { apt-get remove -y -qq brenvik >/dev/null 2>&1 || true; }
trap cleanup EXIT
apt-get install -y -qq "$deb" >/dev/null
home=$(mktemp -d)
check() {
  if "$@" >/dev/null 2>&1; then echo "package test: ok: $*"; else echo "package test: FAILED: $*"; status=1; fi
}
check test -x /usr/lib/brenvik/brenvik
check test -L /usr/bin/brenvik
check test -f /usr/lib/brenvik/Help/brenvik.chm
check test -f /usr/share/applications/org.brenvik.Brenvik.desktop
check test -f /usr/share/icons/hicolor/scalable/apps/org.brenvik.Brenvik.svg
check test -f /usr/share/bash-completion/completions/brenvikctl
check test -f /usr/share/doc/brenvik/copyright
check man -w brenvikctl
check man -w brenvik
check /usr/bin/brenvikctl --version
check env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  XDG_STATE_HOME="$home/state" /usr/bin/brenvikctl status
check env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  XDG_STATE_HOME="$home/state" /usr/bin/brenvikctl sysinfo --json
# The program starts from its link and ends cleanly when told to.
check env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  XDG_STATE_HOME="$home/state" QT_QPA_PLATFORM=offscreen \
  timeout --preserve-status -s TERM 6 /usr/bin/brenvik
rm -rf "$home"
cleanup
trap - EXIT
check test ! -e /usr/bin/brenvikctl
exit $status
