#!/usr/bin/env bash
# Runs a command on a private X server: Xvfb picks a free display itself (-displayfd), so that
# several of these run side by side, and the server is stopped however the command ends.
# Qt programs use the xcb platform on it. -noreset keeps the server from resetting whenever its
# last client leaves, which would refuse a program that connects at that moment.
# Usage: with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/with-xvfb.XXXXXX")
server=""
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "with-xvfb: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "with-xvfb: Xvfb gave no display number within 10 seconds" >&2
  exit 1
fi

export DISPLAY=":$(head -n1 "$work/display")"
export QT_QPA_PLATFORM=xcb
# Under LeakSanitizer, what the X and D-Bus libraries keep to the end is not the program's leak.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(cd "$(dirname "$0")" && pwd)/lsan-x11.supp"
"$@"
