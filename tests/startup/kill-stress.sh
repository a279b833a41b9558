#!/bin/bash
# Kills `brenvikctl startup disable|enable` with SIGKILL at random moments, and runs two copies
# at once now and then, on one autostart entry in a private home. Afterwards no file may be set
# aside as damaged, no line of the entry may be lost, the entry must be listed and no temporary
# file may remain.
#
# Usage: kill-stress.sh BRENVIKCTL [RUNS]
set -u

source_ctl=${1:?usage: kill-stress.sh BRENVIKCTL [RUNS]}
runs=${2:-300}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data \
    XDG_STATE_HOME=$work/home/state XDG_CACHE_HOME=$work/home/cache \
    XDG_CONFIG_DIRS=$work/etc-xdg XDG_CURRENT_DESKTOP=GNOME
# An installed copy of its own, so that the store goes next to it, not into the build tree.
mkdir -p "$work/bin" "$XDG_CONFIG_HOME/autostart" "$XDG_CONFIG_DIRS/autostart"
cp "$source_ctl" "$work/bin/brenvikctl"
ctl=$work/bin/brenvikctl

entry=$XDG_CONFIG_HOME/autostart/stress.desktop
cat >"$entry" <<'EOF'
# Written by the stress test
[Desktop Entry]
Type=Application
Name=Stress
Name[de]=Belastung
Exec=sh -c "echo 'a b'" %U
X-Custom=kept

[Desktop Action Extra]
Exec=true
EOF
original=$(cat "$entry")

"$ctl" startup list >/dev/null || exit 1
# A pause without starting a process: a read that times out on a pipe nobody writes to.
mkfifo "$work/pause"
exec {pause}<>"$work/pause"
# Kill moments spread over the time a command takes, measured on every fifth run, which is left
# to finish.
span=$(( 200 * 1000 ))   # microseconds
landed=0
for (( run = 1; run <= runs; run++ )); do
    if (( RANDOM % 2 )); then verb=disable; else verb=enable; fi
    if (( run % 10 == 0 )); then
        # Two copies saving at once.
        "$ctl" startup "$verb" stress >/dev/null 2>&1 &
        first=$!
        "$ctl" startup disable stress >/dev/null 2>&1
        wait "$first"
        continue
    fi
    started=$(date +%s%N)
    "$ctl" startup "$verb" stress >/dev/null 2>&1 &
    victim=$!
    if (( run % 5 == 0 )); then
        # Left to finish: how long a command takes now.
        wait "$victim"
        span=$(( (span + ($(date +%s%N) - started) / 1000) / 2 ))
        continue
    fi
    delay=$(( (RANDOM * 32768 + RANDOM) % (span * 6 / 5) ))
    printf -v seconds '%d.%06d' $(( delay / 1000000 )) $(( delay % 1000000 ))
    read -r -t "$seconds" -u "$pause"
    kill -9 "$victim" 2>/dev/null
    wait "$victim" 2>/dev/null
    (( $? == 137 )) && landed=$(( landed + 1 ))
done

failed=0
fail() {
    echo "kill-stress: $*" >&2
    failed=1
}
# A final command that is not killed saves once more.
"$ctl" startup enable stress >/dev/null 2>&1 || fail "the last enable failed"
list=$("$ctl" startup list --json) || fail "the list failed"
[[ $list == *'"name": "stress"'* ]] || fail "the entry is not listed: $list"
while IFS= read -r line; do
    grep -qxF -- "$line" "$entry" || fail "line lost from the entry: $line"
done <<<"$original"
damaged=$(find "$work" -name '*.bad*')
[[ -z $damaged ]] || fail "set aside as damaged: $damaged"
# Temporary siblings: ".<name>.XXXXXX".
temporaries=$(find "$work" -name '.*.??????')
[[ -z $temporaries ]] || fail "temporary files left: $temporaries"

echo "kill-stress: $runs runs, $landed kills landed, $(( runs / 10 )) pairs of copies at once," \
    "$(( runs / 10 )) runs left to finish"
exit $failed
