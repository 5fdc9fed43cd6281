#!/usr/bin/env bash
# Starts the real hostide window on the X server in $DISPLAY with a hive of its own and works it
# with X events only, as a user would: opens "Palette" by a click on its menu-bar entry, by
# hovering onto it from an open "File" menu and by Alt+A, drops the add-in's tool button menu
# down, opens "Edit Categories..." from it, types into a cell of the Category column and clicks OK
# without pressing Enter; then a second hostide reads the hive back with a script.
# Positions come from the windows' geometry, the add-in's glyph on screen and the dialog's stored
# layout. Usage (under tests/support/with-xvfb.sh): window_blackbox.sh HOSTIDE GLYPH.bmp
set -euo pipefail

hostide=$1
glyph=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/window-blackbox.XXXXXX")
hive=$work/HKCU.db
ide=""

cleanup() {
  if [ -n "$ide" ] && kill -0 "$ide" 2>/dev/null; then
    kill "$ide" 2>/dev/null || true
    wait "$ide" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -n "${KEEP_SCREENSHOT:-}" ]; then
    import -window root "$KEEP_SCREENSHOT" 2>/dev/null || true
  fi
  [ -s "$work/ide.log" ] && sed 's/^/hostide: /' "$work/ide.log" >&2
  exit 1
}

# Runs a check until it succeeds, for at most ten seconds.
poll() {
  local i
  for i in $(seq 200); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

# "ID X Y W H" for every visible window of hostide, one a line.
windows() {
  local w
  for w in $(xdotool search --onlyvisible --class hostide 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    echo "$w $X $Y $WIDTH $HEIGHT"
  done
}

# The popup menus that are open: visible windows other than the main window and the dialog.
popups() {
  windows | while read -r w x y wd ht; do
    [ "$w" = "$main" ] && continue
    [ -n "${dialog:-}" ] && [ "$w" = "$dialog" ] && continue
    echo "$w $x $y $wd $ht"
  done
}

# True when a popup menu is open whose left edge is at $1 (and, if given, its height is $2).
popup_at() {
  popups | awk -v x="$1" -v h="${2:-}" '$2 == x && (h == "" || $5 == h) { found = 1 } END { exit !found }'
}
no_popup() { [ -z "$(popups)" ]; }
some_popup() { [ -n "$(popups)" ]; }

close_menus() {
  local i
  for i in 1 2 3; do
    no_popup && return 0
    xdotool key Escape
    sleep 0.1
  done
  poll no_popup || fail "a menu stays open after Escape"
}

find_main() { main=$(xdotool search --onlyvisible --name '^hostide - the stand-in IDE$' 2>/dev/null | head -n1); [ -n "$main" ]; }
find_dialog() { dialog=$(xdotool search --onlyvisible --name '^Component Palette Categories$' 2>/dev/null | head -n1); [ -n "$dialog" ]; }
dialog_gone() { ! xdotool search --onlyvisible --name '^Component Palette Categories$' >/dev/null 2>&1; }

"$hostide" --registry "$hive" >"$work/ide.log" 2>&1 &
ide=$!
main=""
poll find_main || fail "the hostide window did not show"
xdotool windowfocus --sync "$main" || fail "cannot focus the hostide window"
eval "$(xdotool getwindowgeometry --shell "$main")"
wx=$X wy=$Y ww=$WIDTH wh=$HEIGHT

# The menu bar runs along the window's top; "File" is its first entry. Its menu opens under the
# bar, which gives the bar's height.
xdotool mousemove $((wx + 12)) $((wy + 6)) click 1
poll some_popup || fail "a click on File opened nothing"
read -r _ file_x file_y _ _ <<<"$(popups | head -n1)"
bar_y=$((wy + (file_y - wy) / 2))
# "Palette" is the bar's last entry: Left from the first wraps to it, and its menu opens under it.
palette_open() { popups | awk -v x="$file_x" '$2 > x { found = 1 } END { exit !found }'; }
xdotool key Left
poll palette_open || fail "Left from File opened no menu right of it"
read -r _ palette_x _ _ palette_h <<<"$(popups | awk -v x="$file_x" '$2 > x' | head -n1)"
close_menus

# 1. A click on "Palette".
xdotool mousemove $((palette_x + 8)) "$bar_y" click 1
poll popup_at "$palette_x" "$palette_h" || fail "a click on Palette opened nothing"
close_menus
echo "ok: Palette opens by a click on its entry"

# 2. Hovering onto "Palette" from an open "File" menu.
xdotool mousemove $((wx + 12)) "$bar_y" click 1
poll popup_at "$file_x" || fail "a click on File opened nothing"
xdotool mousemove $((palette_x + 4)) "$bar_y" sleep 0.05 mousemove $((palette_x + 8)) "$bar_y"
poll popup_at "$palette_x" "$palette_h" || fail "hovering from File onto Palette opened nothing"
close_menus
echo "ok: Palette opens by hovering onto it from File"

# 3. Alt+A.
xdotool mousemove $((wx + ww / 3)) $((wy + wh / 2))
xdotool key alt+a
poll popup_at "$palette_x" "$palette_h" || fail "Alt+A opened nothing"
close_menus
echo "ok: Palette opens by Alt+A"

# The add-in's tool button, found by its glyph; its drop-down arrow lies right of the glyph.
shot=$work/screen.ppm
find_button() {
  import -window root -depth 8 "ppm:$shot" 2>/dev/null &&
    button=$(python3 "$here/find_glyph.py" "$glyph" "$shot" "$wx" "$wy" "$ww" "$wh")
}
poll find_button || fail "the add-in's tool button is not on screen"
read -r gx gy <<<"$button"
xdotool mousemove $((gx + 16 + 9)) $((gy + 8)) click 1
menu_open() { popups | awk -v h="$palette_h" '$5 == h { found = 1 } END { exit !found }'; }
poll menu_open || fail "the tool button's arrow dropped no menu down"
read -r _ mx my mw mh <<<"$(popups | awk -v h="$palette_h" '$5 == h' | head -n1)"
echo "ok: the tool button's menu drops down"

# "Edit Categories..." is the menu's last item.
xdotool mousemove $((mx + mw / 2)) $((my + mh - 10)) click 1
dialog=""
poll find_dialog || fail "Edit Categories... opened no dialog"
xdotool windowfocus --sync "$dialog" || fail "cannot focus the dialog"
eval "$(xdotool getwindowgeometry --shell "$dialog")"
dx=$X dy=$Y
echo "ok: the categories dialog opens"

# The stored layout: grid at 8,8, columns 128 wide, rows 18 high, one-pixel lines; OK at 131,342,
# 75 x 25. Click the Category cell of the first tab, type, click OK without Enter.
xdotool mousemove $((dx + 8 + 129 + 40)) $((dy + 8 + 19 + 9)) click 1
sleep 0.2
xdotool type --delay 30 "Blackbox"
sleep 0.2
xdotool mousemove $((dx + 131 + 37)) $((dy + 342 + 12)) click 1
poll dialog_gone || fail "OK did not close the dialog"
echo "ok: typed into a cell and clicked OK"

kill "$ide"
wait "$ide" 2>/dev/null || true
ide=""

printf '%s\n' 'reg list "Software\Orvik\Palette Menu\Categories"' >"$work/check.hsc"
"$hostide" --registry "$hive" --script "$work/check.hsc" >"$work/check.out" 2>&1 ||
  fail "reading the hive back failed: $(cat "$work/check.out")"
count=$(grep -c 'Blackbox' "$work/check.out" || true)
[ "$count" = 1 ] || fail "the hive holds 'Blackbox' $count times, not once: $(cat "$work/check.out")"
echo "ok: the hive holds the typed category: $(grep Blackbox "$work/check.out")"
