#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer) and runs each for a bounded
# time, seeded with its corpus under fuzz/corpus/<target>/.
#   scripts/fuzz.sh BUILD_DIR   (FUZZ_SECONDS, default 60, per target)
set -eu
build=$1
seconds=${FUZZ_SECONDS:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRENVIK_FUZZ=ON -DBRENVIK_GUI=OFF -DBRENVIK_TESTS=OFF >/dev/null
cmake --build "$build"
status=0
for program in "$build"/fuzz/*_fuzz; do
  [ -x "$program" ] || continue
  name=$(basename "$program" _fuzz)
  work=$(mktemp -d)
  [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name/." "$work/"
  echo "== $(basename "$program") for ${seconds}s"
  "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work" || status=1
  rm -rf "$work"
done
exit $status
