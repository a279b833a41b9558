#!/usr/bin/env bash
# Footprint of the running program beside a minimal Qt Widgets program (bench/minimal_qt.cpp)
# measured the same way in the same run: resident memory after 30 s on the Memory page, then
# processor time over 60 s idle with the window shown and over 60 s with it hidden (the program in
# its tray, the reference minimised). Both run at once, so machine load weighs on both alike.
#   bench/footprint.sh BUILD_DIR
# Without a display it runs itself under a private X server with a tray host and a window manager.
set -u
build=$(cd "${1:?usage: bench/footprint.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
settle=${FOOTPRINT_SETTLE:-30}
span=${FOOTPRINT_SPAN:-60}

if [ -z "${BRENVIK_FOOTPRINT_INNER:-}" ]; then
  exec env BRENVIK_FOOTPRINT_INNER=1 BRENVIK_WM=1 "$here/../scripts/with-x.sh" "$0" "$build"
fi

for program in "$build/brenvik" "$build/bench/minimal_qt"; do
  [ -x "$program" ] || { echo "footprint: $program is not built" >&2; exit 1; }
done

# A private home, so that the program's settings and store stay out of the real one, and a
# program folder of its own for "startup.dat".
. "$here/../tests/support/fresh-home.sh"
fresh_home footprint
# No splash, so that both programs are idle from the first measured second; the tray icon shows
# the memory load, redrawn as the load changes, as it does by default.
settings "$NoSplash" '"ShowMemoryLoadInTray"=dword:00000001'
install_program "$build/brenvik"

window_of() { # NAME PID: the window of that title owned by that process
  local id
  for _ in $(seq 1 300); do
    for id in $(xdotool search --name "$1" 2>/dev/null); do
      [ "$(xdotool getwindowpid "$id" 2>/dev/null)" = "$2" ] && { echo "$id"; return 0; }
    done
    sleep 0.2
  done
  return 1
}
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
ticks_per_second=$(getconf CLK_TCK)

"$program_dir/brenvik" >"$work/brenvik.log" 2>&1 &
ours=$!
pids+=("$ours")
"$build/bench/minimal_qt" >"$work/minimal.log" 2>&1 &
reference=$!
pids+=("$reference")
our_window=$(window_of '^Brenvik$' "$ours") || { echo "footprint: no Brenvik window" >&2; exit 1; }
reference_window=$(window_of '^Minimal Qt$' "$reference") || {
  echo "footprint: no reference window" >&2
  exit 1
}

echo "footprint: resident memory after ${settle} s, processor time over ${span} s shown and hidden," \
  "the memory load in the tray icon"
sleep "$settle"
our_rss=$(rss_kb "$ours")
reference_rss=$(rss_kb "$reference")

measure() { # prints processor time of both programs over the span, in ticks
  local a0 b0
  a0=$(cpu_ticks "$ours")
  b0=$(cpu_ticks "$reference")
  sleep "$span"
  echo "$(($(cpu_ticks "$ours") - a0)) $(($(cpu_ticks "$reference") - b0))"
}
read -r our_shown reference_shown < <(measure)
# Minimising hides the program into its tray; the reference has no tray and stays minimised.
xdotool windowminimize "$our_window"
xdotool windowminimize "$reference_window"
sleep 2
if xdotool search --onlyvisible --name '^Brenvik$' 2>/dev/null | grep -qx "$our_window"; then
  echo "footprint: the window did not go to the tray" >&2
  exit 1
fi
read -r our_hidden reference_hidden < <(measure)

percent() { awk -v t="$1" -v hz="$ticks_per_second" -v s="$span" 'BEGIN { printf "%.3f", 100 * t / hz / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
row() { printf '%-34s %14s %14s %8s %10s\n' "$@"; }
row "footprint" "ours" "reference" "ratio" "target"
row "resident memory (MB)" "$(awk -v k="$our_rss" 'BEGIN { printf "%.1f", k / 1024 }')" \
  "$(awk -v k="$reference_rss" 'BEGIN { printf "%.1f", k / 1024 }')" \
  "$(ratio "$our_rss" "$reference_rss")" "<= 1.60"
row "processor, shown (% of one core)" "$(percent "$our_shown")" "$(percent "$reference_shown")" \
  "$(ratio "$our_shown" "$reference_shown")" "<= 0.5 %"
row "processor, hidden (% of one core)" "$(percent "$our_hidden")" \
  "$(percent "$reference_hidden")" "$(ratio "$our_hidden" "$reference_hidden")" "<= 0.15 %"
echo "footprint: machine load average $(cut -d' ' -f1-3 /proc/loadavg)"
# The same figures as rows of make bench's summary table.
table() { printf 'TABLE\t%s\t%s\t%s\t%s\t%s\n' "$@"; }
table "resident memory after 30 s (MB)" "$(awk -v k="$our_rss" 'BEGIN { printf "%.1f", k / 1024 }')" \
  "$(awk -v k="$reference_rss" 'BEGIN { printf "%.1f", k / 1024 }')" \
  "$(ratio "$our_rss" "$reference_rss")" "MB"
table "processor time shown (% of one core)" "$(percent "$our_shown")" \
  "$(percent "$reference_shown")" "$(ratio "$our_shown" "$reference_shown")" "%"
table "processor time hidden (% of one core)" "$(percent "$our_hidden")" \
  "$(percent "$reference_hidden")" "$(ratio "$our_hidden" "$reference_hidden")" "%"

status=0
awk -v a="$our_rss" -v b="$reference_rss" 'BEGIN { exit !(a <= 1.6 * b) }' || status=1
awk -v t="$our_shown" -v hz="$ticks_per_second" -v s="$span" 'BEGIN { exit !(100 * t / hz / s <= 0.5) }' || status=1
awk -v t="$our_hidden" -v hz="$ticks_per_second" -v s="$span" 'BEGIN { exit !(100 * t / hz / s <= 0.15) }' || status=1
[ $status = 0 ] || echo "footprint: a target is missed"
exit $status
