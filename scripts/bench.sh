#!/usr/bin/env bash
# Runs every benchmark of a build tree. Each benchmark measures its reference in the same run and
# prints the ratio beside our figure.
#   scripts/bench.sh BUILD_DIR
set -u
build=$1
status=0
for program in "$build"/bench/*_bench; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" || status=1
done
exit $status
