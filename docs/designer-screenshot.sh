#!/usr/bin/env bash
# Makes docs/designer-palette-menu.png: Qt Widgets Designer with the plugin from the build tree,
# "P&alette" opened by Alt+A and its "Other" submenu open. Runs on a private X server:
#   tests/support/with-xvfb.sh docs/designer-screenshot.sh [BUILD_DIR] [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
out=${2:-docs/designer-palette-menu.png}
work=$(mktemp -d "${TMPDIR:-/tmp}/designer-shot.XXXXXX")
designer=""
cleanup() {
  [ -n "$designer" ] && kill "$designer" 2>/dev/null && wait "$designer" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work/home
unset HOSTIDE_REGISTRY XDG_CONFIG_HOME
mkdir -p "$HOME/.config"
QT_PLUGIN_PATH=$PWD/$build/plugins "$(qtpaths6 --query QT_INSTALL_BINS)/designer" \
  tests/hosts/form.ui >"$work/designer.log" 2>&1 &
designer=$!

main=""
for _ in $(seq 300); do
  main=$(xdotool search --onlyvisible --pid "$designer" 2>/dev/null | head -n1) && [ -n "$main" ] && break
  sleep 0.1
done
[ -n "$main" ] || { echo "designer showed no window" >&2; exit 1; }
sleep 3
eval "$(xdotool getwindowgeometry --shell "$main")"
# No window manager: a click on the empty end of the menu bar gives the window the focus.
xdotool mousemove $((X + WIDTH - 15)) $((Y + 10)) click 1
sleep 0.3
xdotool key alt+a
sleep 0.5
menu=$(xdotool search --onlyvisible --pid "$designer" 2>/dev/null | grep -v "^$main$" | head -n1)
eval "$(xdotool getwindowgeometry --shell "$menu")"
# The first row is "Other": hovering it opens the Widget Box's categories beside it.
xdotool mousemove $((X + 30)) $((Y + 13))
sleep 0.8
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
echo "wrote $out"
