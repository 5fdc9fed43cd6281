#!/usr/bin/env bash
# The Lazarus IDE with the Orvik Palette Menu package, worked only by X events on the private X
# server that with-xvfb.sh gives it, with a HOME of its own: "P&alette" opened by its key and by
# a click, a page picked from "Other" (the palette shows it), a category typed into "Edit
# Categories..." and confirmed, read back from the hive by a second process, and the IDE ended
# from its File menu with status 0. Exit status 77 (a skip) when Lazarus is not installed.
# Usage: lazarus_blackbox.sh SOURCE_DIR BUILD_DIR HOSTIDE EMBED_LIBRARY
set -euo pipefail

source_dir=$1 build_dir=$2 hostide=$3 library=$4
for tool in lazbuild fpc fpcmkcfg; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (./dev.sh lazarus installs it)"; exit 77; }
done

# The hive is the private HOME's: a hive named for the whole test run (CTest's preset names one)
# is not this test's.
unset HOSTIDE_REGISTRY
pcp="$build_dir/lazarus-blackbox"   # kept between runs: the IDE is rebuilt incrementally
home=$(mktemp -d "${TMPDIR:-/tmp}/lazarus-blackbox.XXXXXX")
ide=""
cleanup() {
  if [ -n "$ide" ] && kill -0 "$ide" 2>/dev/null; then
    kill "$ide" 2>/dev/null || true
  fi
  rm -rf "$home"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -n "${KEEP_SCREENSHOT:-}" ]; then
    import -window root "$KEEP_SCREENSHOT" 2>/dev/null
    cp "$home"/*.ppm "$(dirname "$KEEP_SCREENSHOT")/" 2>/dev/null || true
  fi
  [ -f "$home/ide.log" ] && grep -i "orvik\|error\|exception" "$home/ide.log" | tail -n 20 >&2
  exit 1
}

started=$SECONDS
"$source_dir/ide/lazarus/lazarus.sh" config "$pcp" "$library"
"$source_dir/ide/lazarus/lazarus.sh" build "$pcp" "$source_dir/ide/lazarus/orvikpalettemenu.lpk" \
  >"$home/build.log" 2>&1 || { tail -n 30 "$home/build.log"; fail "the IDE was not built"; }
echo "IDE built in $((SECONDS - started)) s"

HOME="$home" XDG_CONFIG_HOME="$home/.config" "$pcp/bin/lazarus" --pcp="$pcp" >"$home/ide.log" 2>&1 &
ide=$!
main=""
for _ in $(seq 240); do
  main=$(xdotool search --onlyvisible --name '^Lazarus IDE v' 2>/dev/null | head -n1 || true)
  [ -n "$main" ] && break
  kill -0 "$ide" 2>/dev/null || fail "the IDE ended at its start"
  sleep 0.25
done
[ -n "$main" ] || fail "no main window within 60 s"
echo "main window after $((SECONDS - started)) s"
eval "$(xdotool getwindowgeometry --shell "$main")"
wx=$X wy=$Y
bar_y=$((wy + 12))

# The menus that are open: the toolkit's pop-up windows (named after the program).
popups() { xdotool search --onlyvisible --name '^lazarus$' 2>/dev/null | sort || true; }
# Waits for a pop-up that was not there before; its id in $popup, its left edge in $popup_x.
# With a second argument, only a pop-up whose left edge is right of that x counts (a sub-menu,
# not the menu it opens from, whose window the package may make anew while it rebuilds it).
wait_popup() {
  local before=$1 right_of=${2:--1} id
  for _ in $(seq 40); do
    for id in $(comm -13 <(echo "$before") <(popups)); do
      eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" || continue
      if [ "$X" -gt "$right_of" ]; then
        popup=$id popup_x=$X
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}
palette_row() { import -window root -crop "900x40+$((wx + 200))+$((wy + 45))" -depth 8 "ppm:$1" 2>/dev/null; }

# The package loads once the IDE's event loop runs: "P&alette" opens by Alt+A when it is there.
xdotool windowfocus "$main" 2>/dev/null || true
opened=""
for _ in $(seq 30); do
  before=$(popups)
  xdotool key alt+a
  if wait_popup "$before"; then opened=1; break; fi
  sleep 0.5
done
[ -n "$opened" ] || fail "Alt+A opened no menu: \"P&alette\" is not in the main menu"
entry_x=$popup_x
xdotool key Escape
# The page the IDE starts on (Standard), taken once no menu covers the palette any more.
for _ in $(seq 50); do
  [ -z "$(popups)" ] && break
  sleep 0.1
done
[ -z "$(popups)" ] || fail "Escape left the menu open"
sleep 0.3
palette_row "$home/standard.ppm"

# By a click on the entry, then "Other" by the keyboard: its pages in sorted order, the fifth of
# a default install being "Dialogs".
before=$(popups)
xdotool mousemove $((entry_x + 15)) "$bar_y" click 1
wait_popup "$before" || fail "a click on \"Palette\" opened no menu"
[ "$popup_x" -eq "$entry_x" ] || fail "the click opened a menu at $popup_x, not under \"Palette\" ($entry_x)"
before=$(popups)
xdotool key Down Right
wait_popup "$before" $((entry_x + 20)) || fail "\"Other\" opened no sub-menu"
sleep 0.3
xdotool key Down Down Down Down Return
# The palette repaints when the IDE gets to it: watched for up to ten seconds.
shows_page() { # $1: 1 when the row must equal standard.ppm, 0 when it must differ
  for _ in $(seq 50); do
    palette_row "$home/row.ppm"
    if compare -metric AE "$home/standard.ppm" "$home/row.ppm" null: 2>/dev/null; then
      [ "$1" = 1 ] && return 0
    else
      [ "$1" = 0 ] && return 0
    fi
    sleep 0.2
  done
  return 1
}
shows_page 0 || fail "picking \"Dialogs\" left the palette as it was"
# "Standard", the eighth, brings back the page the IDE started with.
before=$(popups)
xdotool key alt+a
wait_popup "$before" || fail "Alt+A opened no menu the second time"
# Opened by its key, the menu has its first item ("Other") selected already.
before=$(popups)
xdotool key Right
wait_popup "$before" $((entry_x + 20)) || fail "\"Other\" opened no sub-menu the second time"
sleep 0.3
xdotool key Down Down Down Down Down Down Down Return
shows_page 1 || fail "picking \"Standard\" did not bring back the Standard page"
echo "pages picked after $((SECONDS - started)) s"

# "Edit Categories..." (the last item): a category typed into the first row (Additional), kept
# by Enter, confirmed by Enter (OK).
before=$(popups)
xdotool key alt+a
wait_popup "$before" || fail "Alt+A opened no menu the third time"
xdotool key Up Return
dialog=""
for _ in $(seq 40); do
  dialog=$(xdotool search --onlyvisible --name '^Component Palette Categories$' 2>/dev/null | head -n1 || true)
  [ -n "$dialog" ] && break
  sleep 0.1
done
[ -n "$dialog" ] || fail "\"Edit Categories...\" showed no dialog"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool type --delay 30 "Blackbox"
xdotool key Return
sleep 0.3
xdotool key Return
for _ in $(seq 40); do
  xdotool search --onlyvisible --name '^Component Palette Categories$' >/dev/null 2>&1 || break
  sleep 0.1
done
if xdotool search --onlyvisible --name '^Component Palette Categories$' >/dev/null 2>&1; then
  fail "Enter did not close the dialog"
fi

printf 'reg get "Software\\Orvik\\Palette Menu\\Categories" Additional\n' >"$home/read.hsc"
stored=$(HOME="$home" XDG_CONFIG_HOME="$home/.config" "$hostide" --no-package --script "$home/read.hsc")
[ "$stored" = "Blackbox" ] || fail "the hive holds \"$stored\" for Additional, not \"Blackbox\""

# File > Quit.
xdotool windowfocus "$main" 2>/dev/null || true
xdotool key alt+f
sleep 0.5
xdotool key q
status=0
for _ in $(seq 120); do
  kill -0 "$ide" 2>/dev/null || break
  sleep 0.25
done
if kill -0 "$ide" 2>/dev/null; then
  fail "the IDE did not end after File > Quit"
fi
wait "$ide" || status=$?
ide=""
[ "$status" -eq 0 ] || fail "the IDE ended with status $status"
echo "passed in $((SECONDS - started)) s"
