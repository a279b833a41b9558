# Sourced by the scripts that run the real program (tests/e2e, tests/wayland, bench/footprint.sh):
# a fresh temporary home and program folder, and the end of every process the script started.
#   fresh_home NAME          work, HOME and the XDG folders in a new /tmp/brenvik-NAME-XXXXXX;
#                            on exit the processes in pids are stopped and work is removed
#                            (kept with E2E_KEEP=1)
#   private_runtime          a 0700 XDG_RUNTIME_DIR of its own in work
#   install_program FILE...  copies built executables into program_dir
#   settings LINE...         the program's settings key holds these values; without_splash
#   wait_for SECONDS CMD...  polls until the command succeeds
#   alive PID, wait_ended    a process runs (a zombie does not); the program in app ended by itself

fresh_home() {
  fresh_home_name=$1
  work=$(mktemp -d "/tmp/brenvik-$1-XXXXXX")
  pids=()
  trap stop_started EXIT INT TERM
  program_dir=$work/program
  export HOME=$work/home
  export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
  export XDG_STATE_HOME=$HOME/.local/state XDG_CACHE_HOME=$HOME/.cache
  export XDG_CONFIG_DIRS=$work/etc-xdg XDG_DATA_DIRS=$work/share
  mkdir -p "$program_dir" "$XDG_CONFIG_HOME/brenvik" "$XDG_CONFIG_HOME/autostart" "$XDG_DATA_HOME" \
    "$XDG_STATE_HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_DIRS" "$XDG_DATA_DIRS"
  hive=$XDG_CONFIG_HOME/brenvik/HKEY_LOCAL_MACHINE.reg
  store=$program_dir/startup.dat
}

private_runtime() {
  export XDG_RUNTIME_DIR=$work/runtime
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
}

# The program's store lands beside its executable: a copy in the program folder keeps it out of the
# build tree, and a brenvikctl copied beside it reads the same store.
install_program() {
  cp "$@" "$program_dir/"
}

stop_started() {
  # The newest first, so that a program ends before the desktop or compositor it runs on.
  local i pid
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    pid=${pids[i]}
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do alive "$pid" || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  if [ "${E2E_KEEP:-0}" = 1 ]; then echo "$fresh_home_name: kept $work"; else rm -rf "$work"; fi
}

settings() {
  { printf '%s\n\n%s\n' 'Brenvik Registry Hive Version 1' \
    '[HKEY_LOCAL_MACHINE\Software\Orlevo\Brenvik\Settings]'
    printf '%s\n' "$@"; } >"$hive"
}
NoSplash='"ShowSplashOnStartup"=dword:00000000'
without_splash() { settings "$NoSplash"; }

wait_for() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  while ! "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

alive() { kill -0 "$1" 2>/dev/null && [ "$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null)" != Z ]; }
wait_ended() { # [SECONDS]: and was reaped
  wait_for "${1:-30}" bash -c "! kill -0 $app 2>/dev/null || grep -q '^State:.*Z' /proc/$app/status" ||
    return 1
  wait "$app" 2>/dev/null
  return 0
}
