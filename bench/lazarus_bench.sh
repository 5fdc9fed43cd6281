#!/usr/bin/env bash
# Timings of Lazarus with the package, on a private X server (run it through
# tests/support/with-xvfb.sh):
#   - start: the IDE's start to its main window shown, with the package and without it, in
#     paired runs (one of each in turn, so that both see the same machine); the ratio of the
#     medians is to stay at most 1.1;
#   - key: Alt+A to the "Palette" menu's window shown (mapped by the toolkit, which paints it
#     then), measured from outside by polling the X server: an upper bound, the target is
#     16 ms.
# Usage: with-xvfb.sh bench/lazarus_bench.sh BUILD_DIR [RUNS]
set -euo pipefail

build=$(readlink -f "$1") runs=${2:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
library="$build/bin/libOrvikPaletteMenuEmbed.so"
with="$build/lazarus-bench/with" without="$build/lazarus-bench/without"
home=$(mktemp -d "${TMPDIR:-/tmp}/lazarus-bench.XXXXXX")
trap 'rm -rf "$home"' EXIT

for pcp in "$with" "$without"; do
  "$source_dir/ide/lazarus/lazarus.sh" config "$pcp" "$library"
done
"$source_dir/ide/lazarus/lazarus.sh" build "$with" "$source_dir/ide/lazarus/orvikpalettemenu.lpk" >/dev/null 2>&1
"$source_dir/ide/lazarus/lazarus.sh" build "$without" >/dev/null 2>&1

now_ms() { date +%s%3N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

# Starts the IDE of a configuration, answers the milliseconds to its main window; the IDE
# stays running (its pid in $ide).
start() {
  local pcp=$1 t0
  rm -rf "$home/h" && mkdir -p "$home/h"
  t0=$(now_ms)
  HOME="$home/h" "$pcp/bin/lazarus" --pcp="$pcp" >/dev/null 2>&1 &
  ide=$!
  until xdotool search --onlyvisible --name '^Lazarus IDE v' >/dev/null 2>&1; do sleep 0.01; done
  echo $(($(now_ms) - t0))
}
stop() { kill "$ide" 2>/dev/null || true; wait "$ide" 2>/dev/null || true; }

: >"$home/with" && : >"$home/without" && : >"$home/key"
for run in $(seq "$runs"); do
  start "$without" >>"$home/without"; stop
  start "$with" >>"$home/with"
  # Alt+A, once the package has put its entry in (it loads when the event loop runs).
  main=$(xdotool search --onlyvisible --name '^Lazarus IDE v' | head -n1)
  xdotool windowfocus "$main" 2>/dev/null || true
  sleep 3
  for _ in 1 2 3; do
    before=$(xdotool search --onlyvisible --name '^lazarus$' 2>/dev/null | sort || true)
    t0=$(now_ms)
    xdotool key alt+a
    while [ -z "$(comm -13 <(echo "$before") <(xdotool search --onlyvisible --name '^lazarus$' 2>/dev/null | sort))" ]; do
      [ $(($(now_ms) - t0)) -gt 2000 ] && break
    done
    echo $(($(now_ms) - t0)) >>"$home/key"
    xdotool key Escape
    sleep 0.3
  done
  stop
  echo "run $run: without $(tail -n1 "$home/without") ms, with $(tail -n1 "$home/with") ms"
done
w=$(median <"$home/with") wo=$(median <"$home/without") k=$(median <"$home/key")
echo "start to main window, median of $runs: without the package $wo ms, with it $w ms," \
  "ratio $(awk -v a="$w" -v b="$wo" 'BEGIN {printf "%.3f", a / b}') (target at most 1.1)"
echo "Alt+A to the menu's window shown, median of $(wc -l <"$home/key"): $k ms" \
  "(polled from outside; target at most 16 ms)"
