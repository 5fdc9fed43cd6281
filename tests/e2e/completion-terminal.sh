#!/usr/bin/env bash
# Tab completion in a real terminal: hostide's shell runs in a tmux pane of its own, is typed at
# key by key, and the line under the cursor is checked after each Tab.
#   completion-terminal.sh HOSTIDE WORK-FOLDER TMUX
set -euo pipefail
hostide="$(realpath "$1")"
work="$2"
tmux_program="${3:-}"
if [ -z "$tmux_program" ] || ! command -v "$tmux_program" >/dev/null; then
  echo "tmux is missing (./dev.sh installs it)" >&2
  exit 1
fi

rm -rf "$work"
mkdir -p "$work"
# A server of its own, without the user's configuration, also when the tests run inside tmux.
unset TMUX
socket="hostide-completion-$$"
tmux() { "$tmux_program" -L "$socket" -f /dev/null "$@"; }
trap 'tmux kill-server 2>/dev/null || true' EXIT

# Never the real user's hive or history.
tmux new-session -d -x 120 -y 40 -c "$work" \
  "env LC_ALL=C.UTF-8 HOME='$work' XDG_STATE_HOME='$work' XDG_CONFIG_HOME='$work' \
   '$hostide' --shell --registry '$work/hive.db'; echo 'hostide ended'; sleep 30"

screen() { tmux capture-pane -p -N; }
# The line under the cursor, up to the cursor.
at_cursor() {
  local y x line
  y=$(tmux display-message -p '#{cursor_y}')
  x=$(tmux display-message -p '#{cursor_x}')
  line=$(tmux capture-pane -p -N -S "$y" -E "$y" | head -n 1)
  printf '%s' "${line:0:$x}"
}
fail() {
  echo "FAILED: $1" >&2
  echo "--- the terminal:" >&2
  screen >&2
  exit 1
}
# Waits (at most ten seconds) until the line up to the cursor is $1.
expect_line() {
  for _ in $(seq 100); do
    [ "$(at_cursor)" = "$1" ] && return 0
    sleep 0.1
  done
  fail "the line is \"$(at_cursor)\", expected \"$1\""
}
# Waits until the terminal shows a line matching the extended regular expression $1.
expect_screen() {
  for _ in $(seq 100); do
    screen | grep -Eq "$1" && return 0
    sleep 0.1
  done
  fail "nothing on the terminal matches /$1/"
}
type_keys() { tmux send-keys -l "$1"; }
press() { tmux send-keys "$@"; }

expect_line "hostide> "

# A command, then a menu path step by step, with "&" markers and letter case as a user types them.
type_keys "pi";    press Tab; expect_line "hostide> pick "
type_keys "p&al";  press Tab; expect_line "hostide> pick P&alette > "
type_keys "ot";    press Tab; expect_line "hostide> pick P&alette > Other > "
type_keys "stand"; press Tab; expect_line "hostide> pick P&alette > Other > Standard"
press Enter; expect_line "hostide> "

# An ambiguous prefix: one Tab keeps the line, the second lists the candidates.
type_keys "reg "; press Tab; expect_line "hostide> reg "
press Tab
expect_screen "^delete +export +get +import +list +set"
expect_line "hostide> reg "

# Registry keys, the one with a blank quoted; it has no subkeys, so the argument is closed.
type_keys "l";    press Tab; expect_line "hostide> reg list "
type_keys "soft"; press Tab; expect_line 'hostide> reg list Software\'
press Tab;                   expect_line 'hostide> reg list Software\Orvik\'
press Tab;                   expect_line 'hostide> reg list "Software\Orvik\Palette Menu" '
press Enter; expect_line "hostide> "
screen | grep -q "error:" && fail "a completed line failed"

type_keys "quit"; press Enter
expect_screen "^hostide ended"
echo "completion in the terminal: as expected"
