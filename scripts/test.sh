#!/usr/bin/env bash
# Runs every test of a build tree: the headless ones first, then the ones that need an X server
# under a private Xvfb with a tray host and a window manager.
#   scripts/test.sh BUILD_DIR
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
status=0
ctest --test-dir "$build" --label-exclude x11 --output-on-failure -j 2 --timeout 300 || status=1
if [ -n "$(ctest --test-dir "$build" --label-regex x11 -N 2>/dev/null | grep -E '^ +Test +#')" ]; then
  BRENVIK_WM=1 "$here/with-x.sh" \
    ctest --test-dir "$build" --label-regex x11 --output-on-failure --timeout 300 || status=1
fi
# The Debian package, checked with lintian; on CI, which runs as root on a machine of its own, also
# installed and removed again.
if [ -n "${CI:-}" ]; then
  "$here/package-test.sh" --install "$build" || status=1
else
  "$here/package-test.sh" "$build" || status=1
fi
exit $status
