#!/usr/bin/env bash
# Runs every benchmark of a build tree, then prints one table of what they measured: each figure
# beside the reference measured in the same run, and their ratio (for times lower is better, for
# rates such as GiB/s higher is better).
#   scripts/bench.sh BUILD_DIR
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
status=0
for program in "$build"/bench/*_bench; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" | tee -a "$rows" | grep -v 'TABLE' || status=1
done
if [ -x "$here/../bench/footprint.sh" ]; then
  echo "== footprint"
  "$here/../bench/footprint.sh" "$build" | tee -a "$rows" | grep -v 'TABLE' || status=1
fi
echo
printf '%-44s %12s %12s %8s  %s\n' benchmark ours reference ratio unit
sed -n 's/^.*\(TABLE\t\)/\1/p' "$rows" | while IFS=$'\t' read -r _ name ours reference ratio unit; do
  printf '%-44s %12s %12s %8s  %s\n' "$name" "$ours" "$reference" "$ratio" "$unit"
done
exit $status
