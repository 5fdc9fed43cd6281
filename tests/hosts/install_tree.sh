#!/usr/bin/env bash
# Installs the build into a staging root (DESTDIR) and checks the installed tree as a user gets
# it: hostide from the bin folder loads the add-in from the project's library folder, the plugin
# sits in Qt's designer folder with a run path to that library folder, hostide's manual page and
# the changelog are there, and no test, benchmark or test-only add-in or plugin is installed.
# Usage: install_tree.sh BUILD_DIR INSTALL_PREFIX LIBDIR PLUGIN_DIR
#   PLUGIN_DIR is the plugin's folder, absolute or relative to INSTALL_PREFIX ("-" without Qt).
set -euo pipefail

build=$1
prefix=$2
libdir=$3
plugin_dir=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/install-tree.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

root=$work/root
DESTDIR=$root cmake --install "$build" >"$work/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$work/install.log")"
private=$root$prefix/$libdir/orvik-palette-menu
case "$plugin_dir" in
  /*) plugins=$root$plugin_dir ;;
  *) plugins=$root$prefix/$plugin_dir ;;
esac

for f in "$root$prefix/bin/hostide" "$private/librtl170.so" "$private/libvcl170.so" \
  "$private/libdesignide170.so" "$private/OrvikPaletteMenu170.so"; do
  [ -f "$f" ] || fail "not installed: ${f#"$root"}"
done
unwanted=$(find "$root" -type f \( -name '*_tests' -o -name '*_bench' -o -name 'hive_worker' \
  -o -name '*NoGlyph*' -o -name '*BadGlyph*' -o -name '*Bench*' -o -name '*ChartWidgets*' \
  -o -name '*.a' -o -name '*.h' \) -print)
[ -z "$unwanted" ] || fail "installed but only for tests or benchmarks: ${unwanted//$root/}"
echo "ok: hostide, the host libraries and the add-in installed, nothing of the tests"

# The manual page is made from hostide's --help; the changelog's latest entry is this version.
man=$root$prefix/share/man/man1/hostide.1.gz
changelog=$root$prefix/share/doc/orvik-palette-menu/changelog.gz
gzip -dc "$man" 2>/dev/null | grep -q -- 'no\\-package' || fail "no manual page of hostide's options in ${man#"$root"}"
gzip -dc "$changelog" 2>/dev/null | head -n1 | grep -q '^orvik-palette-menu (' ||
  fail "no changelog in ${changelog#"$root"}"
echo "ok: hostide's manual page and the changelog installed"

# The installed hostide, with a hive of its own, finds the add-in beside its libraries.
printf 'packages\n' >"$work/packages.hsc"
HOME=$work/home HOSTIDE_REGISTRY=$work/HKCU.db "$root$prefix/bin/hostide" --strict \
  --script "$work/packages.hsc" >"$work/packages.out" 2>&1 ||
  fail "the installed hostide failed: $(cat "$work/packages.out")"
grep -q '^OrvikPaletteMenu170.so ' "$work/packages.out" ||
  fail "the installed hostide did not load the add-in: $(cat "$work/packages.out")"
echo "ok: the installed hostide loads the installed add-in"

if [ -f "$build/plugins/designer/libOrvikPaletteMenuDesigner.so" ]; then
  plugin=$plugins/libOrvikPaletteMenuDesigner.so
  [ -f "$plugin" ] || fail "the plugin is not in Qt's designer folder ${plugins#"$root"}"
  runpath=$(readelf -d "$plugin" | sed -n 's/.*R\(UN\)\?PATH.*\[\(.*\)\]/\2/p')
  [ "$runpath" = "$prefix/$libdir/orvik-palette-menu" ] ||
    fail "the plugin's run path is '$runpath', not $prefix/$libdir/orvik-palette-menu"
  echo "ok: the plugin is in ${plugins#"$root"} with the run path $runpath"
fi
