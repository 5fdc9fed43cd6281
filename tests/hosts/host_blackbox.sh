#!/usr/bin/env bash
# Starts a real form editor (Qt Widgets Designer or Qt Creator) with the add-in's plugin from the
# build tree (and a widget plugin whose category is "Data & Charts"), a private HOME and a .ui
# file, on the X server in $DISPLAY, and works it with X events only, as a user would:
#   - "P&alette" opens by a click on its menu-bar entry and by its underlined letter (Alt+A in
#     Designer; Alt+P in Qt Creator, whose own "&Analyze" has Alt+A), with the Widget Box's
#     categories under "Other";
#   - the add-in's button at the left end of the tool bar above the Widget Box drops the same menu
#     down; its "Edit Categories..." opens the dialog, a category typed for the first tab
#     ("Buttons") and OK save it, which a second process (hostide --script, same HOME) reads
#     back from the hive;
#   - "Buttons", collapsed by a click on its header, is picked through its new category: it is
#     expanded and its header stands at the top of the Widget Box (seen on screen);
#   - a Push Button dragged onto the form and from there into the Widget Box (which makes its
#     "Scratchpad" category) leaves the host running; with every category folded (the Widget
#     Box's "Collapse all"), "Scratchpad" and "Data & Charts" picked under "Other" show expanded;
#   - with text in the Widget Box's filter, a picked tab shows: the filter is emptied and the
#     category expanded;
#   - the form saved (Ctrl+S), the host quits on Ctrl+Q with status 0.
# Usage (under tests/support/with-xvfb.sh):
#   host_blackbox.sh designer|creator PROGRAM PLUGIN_PATH HOSTIDE GLYPH.bmp FORM.ui
# PLUGIN_PATH is QT_PLUGIN_PATH for the host: folders holding designer/ plugin folders.
set -euo pipefail

kind=$1
program=$2
plugins=$3
hostide=$4
glyph=$5
form=$6
here=$(cd "$(dirname "$0")" && pwd)
find_glyph=$here/../desktop/find_glyph.py
bands_py=$here/header_bands.py
work=$(mktemp -d "${TMPDIR:-/tmp}/host-blackbox.XXXXXX")
host=""

cleanup() {
  if [ -n "$host" ] && kill -0 "$host" 2>/dev/null; then
    kill "$host" 2>/dev/null || true
    wait "$host" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($kind): $*" >&2
  if [ -n "${KEEP_SCREENSHOT:-}" ]; then
    import -window root "$KEEP_SCREENSHOT" 2>/dev/null || true
  fi
  [ -s "$work/host.log" ] && sed "s/^/$kind: /" "$work/host.log" | tail -n 40 >&2
  exit 1
}

# Runs a check until it succeeds, for at most $tries tenths of a second (ten seconds by default).
tries=100
poll() {
  local i
  for i in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# The host's own HOME: its settings, and the hive the plugin and hostide open by default.
export HOME=$work/home
unset HOSTIDE_REGISTRY XDG_CONFIG_HOME ORVIK_PALETTE_MENU_PACKAGE
mkdir -p "$HOME/.config"
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
cp "$form" "$work/form.ui"

case "$kind" in
  designer) args=("$work/form.ui") ;;
  creator) args=(-settingspath "$HOME/.config" -noload Welcome "$work/form.ui") ;;
  *) fail "unknown host $kind" ;;
esac
# HOST_PRELOAD and HOST_ASAN_OPTIONS reach the host only (the sanitize preset's runtimes).
env QT_PLUGIN_PATH="$plugins" ${HOST_PRELOAD:+LD_PRELOAD="$HOST_PRELOAD"} \
  ${HOST_ASAN_OPTIONS:+ASAN_OPTIONS="$HOST_ASAN_OPTIONS"} \
  "$program" "${args[@]}" >"$work/host.log" 2>&1 &
host=$!

# "ID X Y W H" for every visible window of the host, one a line.
windows() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$host" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    echo "$w $X $Y $WIDTH $HEIGHT"
  done
}
# The main window: the host's largest visible window.
find_main() {
  kill -0 "$host" 2>/dev/null || fail "the host ended at start"
  read -r main wx wy ww wh <<<"$(windows | sort -k4,4n -k5,5n | awk '{ a = $4 * $5 } a > best { best = a; line = $0 } END { print line }')"
  [ -n "${main:-}" ] && [ "$ww" -ge 600 ]
}
# The popup menus that are open: visible windows other than the main window, the dialog and
# those already open before the test worked the host (a message the plugin shows at start, say).
standing=" "
popups() {
  windows | while read -r w x y wd ht; do
    [ "$w" = "$main" ] && continue
    [ -n "${dialog:-}" ] && [ "$w" = "$dialog" ] && continue
    [[ "$standing" == *" $w "* ]] && continue
    echo "$w $x $y $wd $ht"
  done
}
no_popup() { [ -z "$(popups)" ]; }
some_popup() { [ -n "$(popups)" ]; }
# The popup whose left edge is at $1 (and, if given, whose height is $2).
popup_at() { popups | awk -v x="$1" -v h="${2:-}" '$2 == x && (h == "" || $5 == h)' | head -n1; }
has_popup_at() { [ -n "$(popup_at "$@")" ]; }
# The popup right of $1 (a submenu of the menu whose left edge is $1).
submenu_of() { popups | awk -v x="$1" '$2 > x + 20' | head -n1; }
has_submenu_of() { [ -n "$(submenu_of "$1")" ]; }

close_menus() {
  local i
  for i in 1 2 3 4; do
    no_popup && return 0
    xdotool key Escape
    sleep 0.1
  done
  poll no_popup || fail "a menu stays open after Escape"
}

tries=600 poll find_main || fail "no main window of $program showed within a minute"
shot=$work/screen.ppm
find_button() {
  import -window root -depth 8 "ppm:$shot" 2>/dev/null &&
    button=$(python3 "$find_glyph" "$glyph" "$shot" "$wx" "$wy" "$ww" "$wh")
}
# The add-in's button shows once the plugin has loaded the add-in.
tries=300 poll find_button || fail "the add-in's button (its glyph) is not on screen"
read -r gx gy <<<"$button"
find_main
echo "ok: the main window is at $wx,$wy ${ww}x$wh, the add-in's button at $gx,$gy"
# Windows that stand open at start are not menus the test opens; say what they are.
sleep 0.5
while read -r w _; do
  [ -n "$w" ] || continue
  standing+="$w "
  echo "note: the host shows a window \"$(xdotool getwindowname "$w" 2>/dev/null)\" at start"
done <<<"$(popups)"

# No window manager: a click on the empty right end of the menu bar gives the window the focus.
bar_y=$((wy + 10))
focus_host() { xdotool mousemove $((wx + ww - 15)) "$bar_y" click 1 && sleep 0.2; }
focus_host

# "File" is the bar's first entry; Left from it wraps to the last, "P&alette".
xdotool mousemove $((wx + 15)) "$bar_y" click 1
poll some_popup || fail "a click on File opened nothing"
read -r _ file_x _ _ _ <<<"$(popups | head -n1)"
palette_open() { popups | awk -v x="$file_x" '$2 > x + 100 { found = 1 } END { exit !found }'; }
xdotool key Left
poll palette_open || fail "Left from File opened no menu at the right end of the bar"
read -r _ palette_x palette_y palette_w palette_h <<<"$(popups | awk -v x="$file_x" '$2 > x + 100' | head -n1)"
close_menus

# 1. A click on "P&alette".
xdotool mousemove $((palette_x + 10)) "$bar_y" click 1
poll has_popup_at "$palette_x" "$palette_h" || fail "a click on P&alette opened nothing"
# Its first row is "Other", whose submenu holds every category of the Widget Box: at least the
# eight of Designer's standard Widget Box and "Data & Charts".
xdotool mousemove $((palette_x + 30)) $((palette_y + 13))
poll has_submenu_of "$palette_x" || fail "P&alette's first row opens no submenu (no \"Other\")"
read -r _ _ _ _ other_h <<<"$(submenu_of "$palette_x")"
[ "$other_h" -ge $((9 * 18)) ] || fail "\"Other\" is $other_h pixels high: fewer than 9 categories"
close_menus
echo "ok: P&alette opens by a click, its \"Other\" lists the Widget Box's categories (${other_h} px)"

# 2. The underlined letter: the first of "Palette" that the host's own entries leave free.
case "$kind" in
  designer) key=a ;;
  creator) key=p ;; # its "&Analyze" has Alt+A
esac
focus_host
xdotool key "alt+$key"
poll has_popup_at "$palette_x" "$palette_h" || fail "Alt+${key^^} did not open P&alette"
echo "ok: Alt+${key^^} opens P&alette"
close_menus

# 3. The add-in's button drops the same menu down by its arrow, right of the glyph.
xdotool mousemove $((gx + 16 + 9)) $((gy + 8)) click 1
menu_open() { popups | awk -v h="$palette_h" '$5 == h { found = 1 } END { exit !found }'; }
poll menu_open || fail "the add-in's button dropped no menu of P&alette's height down"
read -r _ mx my mw mh <<<"$(popups | awk -v h="$palette_h" '$5 == h' | head -n1)"
echo "ok: the add-in's button drops the menu down"

# The Widget Box as it is before anything is picked: its category headers, from the top.
span_x=$((gx + 30))
span_w=100
scan_top=$((gy + 24))
scan_h=$((wy + wh - 40 - scan_top))
capture() { import -window root -depth 8 "ppm:$1" 2>/dev/null; }
headers() { python3 "$bands_py" bands "$1" "$span_x" "$scan_top" "$span_w" "$scan_h"; }

# 4. "Edit Categories..." (the menu's last item) opens the dialog.
xdotool mousemove $((mx + mw / 2)) $((my + mh - 10)) click 1
find_dialog() {
  dialog=$(xdotool search --onlyvisible --name '^Component Palette Categories$' 2>/dev/null | head -n1)
  [ -n "$dialog" ]
}
dialog_gone() { ! xdotool search --onlyvisible --name '^Component Palette Categories$' >/dev/null 2>&1; }
dialog=""
poll find_dialog || fail "Edit Categories... opened no dialog"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
eval "$(xdotool getwindowgeometry --shell "$dialog")"
dx=$X dy=$Y
echo "ok: the categories dialog opens"
# The dialog's stored layout: grid at 8,8, columns 128 wide, rows 18 high; OK at 131,342, 75 x 25.
# The first row is the first tab in sorted order: "Buttons".
xdotool mousemove $((dx + 8 + 129 + 40)) $((dy + 8 + 19 + 9)) click 1
sleep 0.2
xdotool type --delay 30 "Blackbox"
sleep 0.2
xdotool mousemove $((dx + 131 + 37)) $((dy + 342 + 12)) click 1
poll dialog_gone || fail "OK did not close the dialog"
dialog=""
echo "ok: typed a category into the dialog and clicked OK"

# A second process with the same HOME reads the hive the host wrote.
printf '%s\n' 'reg list "Software\Orvik\Palette Menu\Categories"' >"$work/check.hsc"
"$hostide" --script "$work/check.hsc" >"$work/check.out" 2>&1 ||
  fail "hostide could not read the hive back: $(cat "$work/check.out")"
grep -q 'Buttons.*Blackbox' "$work/check.out" ||
  fail "the hive does not file Buttons under Blackbox: $(cat "$work/check.out")"
echo "ok: hostide reads Buttons = Blackbox from the hive"

# 5. Collapse "Buttons" (the third category header) by a click on it.
xdotool mousemove $((wx + ww - 15)) $((wy + wh - 5))
capture "$work/before.ppm"
mapfile -t before < <(headers "$work/before.ppm")
[ ${#before[@]} -ge 4 ] || fail "only ${#before[@]} category headers found in the Widget Box"
read -r top0 _ <<<"${before[0]}"
read -r b0 b1 <<<"${before[2]}"
xdotool mousemove $((span_x + span_w / 2)) $(((b0 + b1) / 2)) click 1
xdotool mousemove $((wx + ww - 15)) $((wy + wh - 5))
collapsed() {
  capture "$work/collapsed.ppm" || return 1
  mapfile -t now < <(headers "$work/collapsed.ppm")
  [ ${#now[@]} -ge 4 ] || return 1
  local y0 y1 n0 n1
  read -r y0 y1 <<<"${now[2]}"
  read -r n0 n1 <<<"${now[3]}"
  [ "$y0" -ge $((b0 - 2)) ] && [ "$y0" -le $((b0 + 2)) ] && [ $((n0 - y1)) -lt 12 ]
}
poll collapsed || fail "a click on the Buttons header did not collapse it"
echo "ok: Buttons collapsed by a click on its header"

# 6. Pick "Buttons" through P&alette > Blackbox: the menu has one row more than before.
xdotool mousemove $((palette_x + 10)) "$bar_y" click 1
grown() { [ -n "$(popups | awk -v x="$palette_x" -v h="$palette_h" '$2 == x && $5 > h')" ]; }
poll grown || fail "P&alette has no row more after a category was filed"
read -r _ _ py _ ph <<<"$(popups | awk -v x="$palette_x" '$2 == x' | head -n1)"
row=$((ph - palette_h))
# Rows: "Blackbox", "Other", a separator, "Edit Categories...".
xdotool mousemove $((palette_x + 30)) $((py + 3 + row / 2))
poll has_submenu_of "$palette_x" || fail "P&alette's first row opens no submenu (no \"Blackbox\")"
read -r _ sx sy sw sh <<<"$(submenu_of "$palette_x")"
[ "$sh" -lt $((2 * row)) ] || fail "\"Blackbox\" is $sh pixels high: more than the one tab filed"
xdotool mousemove $((sx + sw / 2)) $((sy + 3)) mousemove $((sx + sw / 2)) $((sy + sh / 2)) click 1
poll no_popup || fail "picking Buttons left a menu open"
xdotool mousemove $((wx + ww - 15)) $((wy + wh - 5))
at_top() {
  capture "$work/after.ppm" || return 1
  mapfile -t now < <(headers "$work/after.ppm")
  [ ${#now[@]} -ge 2 ] || return 1
  local y0 y1 n0 n1
  read -r y0 y1 <<<"${now[0]}"
  read -r n0 n1 <<<"${now[1]}"
  [ "$y0" -ge $((top0 - 2)) ] && [ "$y0" -le $((top0 + 2)) ] && [ $((n0 - y1)) -ge 12 ] &&
    python3 "$bands_py" same "$work/before.ppm" "$b0" "$work/after.ppm" "$y0" "$span_x" "$span_w" $((b1 - b0 + 1))
}
poll at_top || fail "after the pick, Buttons is not expanded at the top of the Widget Box"
echo "ok: picking Buttons expands it and brings it to the top of the Widget Box"

# 7. A Push Button dragged from the Widget Box (the first widget under "Buttons", now at its top)
# onto the form, then from the form into the Widget Box: the host makes its "Scratchpad".
drag() {
  local i
  xdotool mousemove "$1" "$2" mousedown 1
  sleep 0.2
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $(($1 + ($3 - $1) * i / 8)) $(($2 + ($4 - $2) * i / 8))
    sleep 0.05
  done
  sleep 0.3
  xdotool mouseup 1
  sleep 0.5
}
read -r _ buttons_end <<<"$(headers "$work/after.ppm" | head -n1)"
# The form stands right of the Widget Box, below the tool bars, in both hosts.
form_x=$((gx + 300))
form_y=$((gy + 60))
drag $((span_x + 20)) $((buttons_end + 12)) "$form_x" "$form_y"
drag $((form_x + 20)) $((form_y + 8)) $((span_x + 40)) $((wy + wh / 2))
kill -0 "$host" 2>/dev/null || fail "the host ended when a widget was dropped into the Widget Box"
echo "ok: a Push Button dragged from the form into the Widget Box leaves the host running"

# Every category folded by the Widget Box's own "Collapse all" (the second item of its context
# menu): then all headers show, one under the other.
xdotool mousemove $((span_x + span_w / 2)) $((top0 + 6)) click 3
sleep 0.4
xdotool key Down Down Return
xdotool mousemove $((wx + ww - 15)) $((wy + wh - 5))
id_w=160
# The number of headers one right under the other from the first in a screenshot (what lies
# further down, a bar of the host below the Widget Box say, is not counted).
stacked() {
  python3 "$bands_py" bands "$1" "$span_x" "$scan_top" "$id_w" "$scan_h" |
    awk 'NR > 1 && $1 - end >= 12 { exit } { n++; end = $2 } END { print n + 0 }'
}
all_folded() {
  capture "$work/folded.ppm" || return 1
  folded=$(stacked "$work/folded.ppm")
  [ "$folded" -eq 10 ]
}
poll all_folded || fail "after Collapse all, the Widget Box shows $folded headers, not the 8 \
standard categories, \"Data & Charts\" and \"Scratchpad\" one under the other"
echo "ok: the Widget Box holds 10 categories, Scratchpad among them"

# Picks row $1 (from 0) of P&alette's "Other", which has $2 rows.
pick_other() {
  xdotool mousemove $((palette_x + 10)) "$bar_y" click 1
  poll grown || fail "P&alette did not open"
  read -r _ _ py _ ph <<<"$(popups | awk -v x="$palette_x" '$2 == x' | head -n1)"
  # Rows: "Blackbox", "Other", a separator, "Edit Categories...".
  xdotool mousemove $((palette_x + 30)) $((py + 3 + row + row / 2))
  poll has_submenu_of "$palette_x" || fail "P&alette's second row opens no submenu (no \"Other\")"
  read -r _ sx sy sw sh <<<"$(submenu_of "$palette_x")"
  [ "$sh" -ge $(($2 * row)) ] && [ "$sh" -lt $((($2 + 1) * row)) ] ||
    fail "\"Other\" is $sh pixels high, not $2 rows of $row"
  local m=$(((sh - $2 * row) / 2))
  xdotool mousemove $((sx + sw / 2)) $((sy + m + row / 2)) \
    mousemove $((sx + sw / 2)) $((sy + m + $1 * row + row / 2)) click 1
  poll no_popup || fail "picking row $1 of \"Other\" left a menu open"
  xdotool mousemove $((wx + ww - 15)) $((wy + wh - 5))
}
# Whether the K-th header of the folded Widget Box shows expanded now.
shows_expanded() {
  capture "$work/now.ppm" &&
    python3 "$bands_py" expanded "$work/folded.ppm" "$1" "$work/now.ppm" "$span_x" "$scan_top" \
      "$id_w" "$scan_h"
}
# "Other" now: Containers, Data & Charts, Display Widgets, Input Widgets, Item Views, Item
# Widgets, Layouts, Scratchpad, Spacers (Buttons is filed under Blackbox). In the Widget Box,
# Data & Charts and Scratchpad are the last two.
pick_other 7 9
poll shows_expanded 9 || fail "picking Scratchpad did not show it expanded"
echo "ok: P&alette lists Scratchpad under Other, and picking it shows it"
pick_other 1 9
poll shows_expanded 8 || fail "picking \"Data & Charts\" did not show it expanded"
echo "ok: picking \"Data & Charts\" shows it"

# 8. Text in the Widget Box's filter (between the tool bar and the first header) hides every
# category but Buttons; picking Containers empties it and shows Containers expanded.
xdotool mousemove $((span_x + 50)) $(((gy + 16 + top0) / 2)) click 1
sleep 0.2
xdotool type --delay 30 "check"
filtered() { capture "$work/filtered.ppm" && [ "$(stacked "$work/filtered.ppm")" -eq 1 ]; }
poll filtered || fail "the filter \"check\" did not leave one category in the Widget Box"
pick_other 0 9
# (The filter hid Containers' header: it shows only once the filter is empty.)
poll shows_expanded 5 || fail "picking Containers with text in the filter did not show it"
echo "ok: with text in the filter, picking Containers clears it and shows Containers"

# 9. Ctrl+S saves the form (changed by the drags), and Ctrl+Q quits with status 0.
focus_host
xdotool key ctrl+s
sleep 0.5
xdotool key ctrl+q
status=0
for _ in $(seq 300); do
  kill -0 "$host" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$host" 2>/dev/null && fail "the host did not quit within 30 seconds of Ctrl+Q"
wait "$host" || status=$?
host=""
[ "$status" = 0 ] || fail "the host quit with status $status"
if grep -qiE 'orvik|palette menu' "$work/host.log"; then
  echo "note: the host printed:" && grep -iE 'orvik|palette menu' "$work/host.log"
fi
echo "ok: the host quits with status 0"
