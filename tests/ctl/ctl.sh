#!/usr/bin/env bash
# brenvikctl as its users meet it, one case per run, each in a fresh temporary home with a copy of
# brenvikctl in a program folder of its own (its startup store lands beside it).
#   tests/ctl/ctl.sh CASE BRENVIKCTL MAN_DIR COMPLETION
set -u
case_name=$1
man_dir=$3
completion=$4

work=$(mktemp -d /tmp/brenvik-ctl-XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
export XDG_STATE_HOME=$HOME/.local/state XDG_CONFIG_DIRS=$work/etc-xdg
mkdir -p "$work/program" "$XDG_CONFIG_HOME/autostart" "$XDG_DATA_HOME" "$XDG_STATE_HOME" \
  "$XDG_CONFIG_DIRS/autostart"
ctl=$work/program/brenvikctl
cp "$2" "$ctl"
# As installed: the completion runs brenvikctl by the name typed.
export PATH=$work/program:$PATH

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
note() { echo "ctl[$case_name]: $*"; }
# expect_equal WHAT EXPECTED ACTUAL
expect_equal() {
  [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

# The usage's commands, one a line, with alternatives spelled out ("startup disable NAME", ...).
help_commands() {
  "$ctl" --help | sed -n '/^Commands:/,/^$/p' | sed -n 's/^  \([a-z].*\)$/\1/p' |
    sed 's/   .*//' | while read -r command alternatives rest; do
      if [[ $alternatives == *'|'* ]]; then
        for alternative in ${alternatives//|/ }; do echo "$command $alternative${rest:+ $rest}"; done
      else
        echo "$command${alternatives:+ $alternatives}${rest:+ $rest}"
      fi
    done | sort
}
# The usage's options, one a line.
help_options() {
  "$ctl" --help | sed -n '/^Options:/,/^$/p' | sed -n 's/^  \(-.*\)$/\1/p' | sed 's/   .*//' |
    tr ',' '\n' | tr -d ' ' | sort
}
# A manual page as plain text, wide enough that no heading wraps.
rendered() {
  LC_ALL=C MANWIDTH=200 man -l "$1" 2>/dev/null | col -bx
}
# The lines of one section of a rendered page.
section() {
  sed -n "/^$2\$/,/^[A-Z]/p" <<<"$1" | sed '1d;$d'
}

# Completes a command line as bash does at the end of it: the words as readline splits them
# (blanks inside quotes or after a backslash do not split), the function the completion registered
# for brenvikctl, and what it offers, one a line.
complete_line() {
  bash --norc --noprofile -c "$completion_harness" completion "$completion" "$1" | sed '/^$/d' |
    sort
}
read -r -d '' completion_harness <<'HARNESS'
source "$1"
line=$2 word= quote=
COMP_WORDS=()
for ((i = 0; i < ${#line}; i++)); do
  c=${line:i:1}
  if [[ $c == '\' && -z $quote ]]; then
    word+=${line:i:2}
    i=$((i + 1))
  elif [[ -n $quote ]]; then
    word+=$c
    [[ $c == "$quote" ]] && quote=
  elif [[ $c == [\"\'] ]]; then
    word+=$c
    quote=$c
  elif [[ $c == ' ' ]]; then
    [[ -n $word ]] && COMP_WORDS+=("$word")
    word=
  else
    word+=$c
  fi
done
COMP_WORDS+=("$word")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
COMP_LINE=$line COMP_POINT=${#line}
spec=$(complete -p brenvikctl) || exit 1
function=${spec#*-F }
function=${function%% *}
"$function" brenvikctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}"
HARNESS

case $case_name in
usage)
  # --version and -V: name and version on stdout, nothing else.
  for option in --version -V; do
    out=$("$ctl" "$option" 2>"$work/err")
    expect_equal "$option exit code" 0 $?
    [[ $out =~ ^brenvikctl\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "$option printed [$out]"
    expect_equal "$option on stderr" "" "$(cat "$work/err")"
  done
  # Asked for, the usage goes to stdout with 0; bad usage puts it on stderr with 2.
  for option in --help -h; do
    "$ctl" "$option" >"$work/out" 2>"$work/err"
    expect_equal "$option exit code" 0 $?
    grep -q '^Usage: brenvikctl' "$work/out" || fail "$option: no usage on stdout"
    expect_equal "$option on stderr" "" "$(cat "$work/err")"
  done
  for words in "" "--bogus" "frobnicate" "wash" "startup" "startup list extra"; do
    # shellcheck disable=SC2086 # the words are split on purpose
    "$ctl" $words >"$work/out" 2>"$work/err"
    expect_equal "'$words' exit code" 2 $?
    grep -q '^Usage: brenvikctl' "$work/err" || fail "'$words': no usage on stderr"
    expect_equal "'$words' on stdout" "" "$(cat "$work/out")"
  done
  ;;

manual-pages)
  for page in brenvik brenvikctl; do
    file=$man_dir/$page.1.gz
    [ -s "$file" ] || { fail "$file is missing"; continue; }
    # What lintian runs, and groff with every warning on: any message is a fault of the page.
    messages=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
      man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)
    expect_equal "man --warnings on $page.1" "" "$messages"
    messages=$(gzip -dc "$file" | groff -man -ww -z 2>&1)
    expect_equal "groff -ww on $page.1" "" "$messages"
    rendered "$file" | grep -q "^NAME" || fail "$page.1 does not render"
  done
  # The commands and options of brenvikctl(1) are the usage's, no more and no fewer.
  page=$(rendered "$man_dir/brenvikctl.1.gz")
  expect_equal "commands of the manual page" "$(help_commands)" \
    "$(section "$page" COMMANDS | sed -n 's/^   \([^ ].*\)$/\1/p' | sort)"
  expect_equal "options of the manual page" "$(help_options)" \
    "$(section "$page" OPTIONS | sed -n 's/^       \(-[^ ,]*\(, -[^ ,]*\)*\).*$/\1/p' |
      tr ',' '\n' | tr -d ' ' | sort)"
  section "$page" 'EXIT STATUS' | grep -q '^       2 ' || fail "the exit codes are not described"
  # ... and so are the completion's.
  expect_equal "commands of the completion" "$(help_commands | cut -d' ' -f1 | sort -u)" \
    "$(complete_line 'brenvikctl ')"
  expect_equal "startup sub-commands of the completion" \
    "$(help_commands | sed -n 's/^startup \([a-z]*\).*/\1/p' | sort)" \
    "$(complete_line 'brenvikctl startup ')"
  expect_equal "options of the completion" "$(help_options | grep -- '^--')" \
    "$(complete_line 'brenvikctl --')"
  ;;

completion)
  # Two entries of the user's, one of the system's; the one with a blank in its name disabled.
  for name in "Night Backup" "Notes" "System-Clock"; do
    folder=$XDG_CONFIG_HOME/autostart
    [ "$name" = "System-Clock" ] && folder=$XDG_CONFIG_DIRS/autostart
    printf '[Desktop Entry]\nType=Application\nName=%s\nExec=/usr/bin/true\n' "$name" \
      >"$folder/$name.desktop"
  done
  "$ctl" startup list >"$work/list" || fail "startup list failed"
  names=$("$ctl" startup list --json | sed -n 's/^ *"name": "\(.*\)",$/\1/p' | sort)
  note "entries: $(tr '\n' ' ' <<<"$names")"
  night=$(grep -i night <<<"$names")
  "$ctl" startup disable "$night" >/dev/null || fail "startup disable '$night' failed"
  printf -v night_word '%q' "$night"

  expect_equal "brenvikctl st<TAB>" "$(printf '%s\n' startup status)" \
    "$(complete_line 'brenvikctl st')"
  expect_equal "brenvikctl stat<TAB>" "status" "$(complete_line 'brenvikctl stat')"
  expect_equal "brenvikctl s<TAB>" "$(printf '%s\n' settings startup status sysinfo)" \
    "$(complete_line 'brenvikctl s')"
  expect_equal "brenvikctl startup <TAB>" "$(printf '%s\n' delete disable enable list)" \
    "$(complete_line 'brenvikctl startup ')"
  expect_equal "brenvikctl --json startup d<TAB>" "$(printf '%s\n' delete disable)" \
    "$(complete_line 'brenvikctl --json startup d')"
  # Only disabled entries can be enabled, only active ones disabled; any can be deleted.
  expect_equal "brenvikctl startup enable <TAB>" "$night_word" \
    "$(complete_line 'brenvikctl startup enable ')"
  expect_equal "brenvikctl startup disable <TAB>" \
    "$(grep -v -x -F "$night" <<<"$names" | while read -r n; do printf '%q\n' "$n"; done | sort)" \
    "$(complete_line 'brenvikctl startup disable ')"
  expect_equal "brenvikctl startup delete <TAB>" \
    "$(while read -r n; do printf '%q\n' "$n"; done <<<"$names" | sort)" \
    "$(complete_line 'brenvikctl startup delete ')"
  expect_equal "brenvikctl startup delete No<TAB>" "Notes" \
    "$(complete_line 'brenvikctl startup delete No')"
  expect_equal "brenvikctl startup delete \"Nig<TAB>" "$night_word" \
    "$(complete_line 'brenvikctl startup delete "Nig')"
  expect_equal "brenvikctl startup delete Night\\ B<TAB>" "$night_word" \
    "$(complete_line 'brenvikctl startup delete Night\ B')"
  expect_equal "brenvikctl wash <TAB>" "" "$(complete_line 'brenvikctl wash ')"
  expect_equal "brenvikctl status --j<TAB>" "--json" "$(complete_line 'brenvikctl status --j')"
  # A typed word is never run: nothing may come of $(...) in it.
  # shellcheck disable=SC2016 # not expanded here, on purpose
  complete_line 'brenvikctl startup delete $(touch${IFS}'"$work"'/ran)' >/dev/null
  [ ! -e "$work/ran" ] || fail "the completion ran a typed command"

  # And typed into an interactive bash on a terminal, as a person would.
  printf '%s\n' "PS1='PROMPT> '" "source '$completion'" 'bind "set show-all-if-ambiguous on"' \
    >"$work/bashrc"
  mkfifo "$work/keys"
  TERM=dumb script -qfc "bash --rcfile '$work/bashrc' --noprofile -i" "$work/typescript" \
    <"$work/keys" >/dev/null &
  shell=$!
  exec 3>"$work/keys"
  # shows TEXT: waits up to 20 s for the terminal to show the text.
  shows() {
    for _ in $(seq 1 200); do
      grep -qF -- "$1" "$work/typescript" && return 0
      sleep 0.1
    done
    fail "the terminal never showed [$1]: $(cat -v "$work/typescript")"
  }
  shows 'PROMPT> '
  printf 'brenvikctl st\t' >&3
  shows $'startup  status'
  printf '\025brenvikctl startup enable \t' >&3
  shows 'brenvikctl startup enable Night\ Backup '
  printf '\025exit\r' >&3
  exec 3>&-
  wait "$shell"
  ;;

terminal-wash)
  # Under a pseudo-terminal: the progress line, wiped before the report.
  script -qefc "'$ctl' wash 1" "$work/typescript" </dev/null >/dev/null
  expect_equal "wash 1 exit code" 0 $?
  typescript=$(tr -d '\n' <"$work/typescript")
  [[ $typescript == *$'\r''Taking blocks: '[01]' of 1  (Ctrl+C cancels)'* ]] ||
    fail "no progress line: $(cat -v "$work/typescript")"
  cr=$'\r'
  [[ $typescript =~ $cr\ +${cr}Blocks\ requested: ]] ||
    fail "the line is not wiped before the report: $(cat -v "$work/typescript")"
  # Not a terminal: not a byte of it.
  "$ctl" wash 1 >/dev/null 2>"$work/err"
  expect_equal "stderr without a terminal" "" "$(cat "$work/err")"

  # Ctrl+C typed on the terminal mid-wash: the wash is cancelled and gives every block back. A
  # wash long enough to be interrupted, well within what the machine has free.
  available=$(awk '/^MemAvailable:/ { print int($2 / 1024) }' /proc/meminfo)
  blocks=$((available / 4 < 2000 ? available / 4 : 2000))
  mkfifo "$work/keys"
  interrupted=
  for attempt in 1 2 3; do
    : >"$work/typescript"
    script -qefc "exec '$ctl' wash $blocks --json >'$work/report.json'" "$work/typescript" \
      <"$work/keys" >/dev/null &
    pid=$!
    exec 3>"$work/keys"
    for _ in $(seq 1 500); do
      grep -q 'Taking blocks: [1-9]' "$work/typescript" && break
      sleep 0.02
    done
    printf '\003' >&3
    wait "$pid"
    code=$?
    exec 3>&-
    expect_equal "interrupted wash exit code" 0 "$code"
    if grep -q '"endedBy": "cancelled"' "$work/report.json"; then
      interrupted=yes
      break
    fi
    note "attempt $attempt: the wash of $blocks blocks ended before the interrupt"
  done
  [ -n "$interrupted" ] || fail "Ctrl+C did not cancel the wash: $(cat "$work/report.json")"
  field() { sed -n "s/^  \"$1\": \([0-9]*\),\$/\1/p" "$work/report.json"; }
  obtained=$(field obtained)
  note "cancelled after $obtained of $blocks blocks"
  if ! [[ $obtained =~ ^[0-9]+$ ]] || [ "$obtained" -lt 1 ] || [ "$obtained" -ge "$blocks" ]; then
    fail "blocks obtained: [$obtained] of $blocks"
  fi
  expect_equal "blocks given back" "$obtained" "$(field released)"
  expect_equal "blocks not given back" 0 "$(field rejected)"
  grep -q '(cancelling)' "$work/typescript" || note "the line showed no '(cancelling)' before it ended"
  ;;

*)
  echo "ctl: no case '$case_name'" >&2
  exit 2
  ;;
esac

[ $failures -eq 0 ] || exit 1
note ok
