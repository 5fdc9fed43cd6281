#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./dev.sh test    install what is missing, build, run every test
#   ./dev.sh start   install what is missing, build, start the stand-in IDE with the add-in
#                    (further arguments go to hostide, e.g. ./dev.sh start --palette FILE)
#   ./dev.sh build   install what is missing and build only
#   ./dev.sh designer [--fresh] [FILE.ui...]
#                    install what is missing, build, start Qt Widgets Designer with the add-in's
#                    plugin from the build tree (QT_PLUGIN_PATH=build/PRESET/plugins); --fresh
#                    runs it with a new, empty HOME (settings and hive), removed afterwards
#   ./dev.sh creator [--fresh] [FILE.ui...]
#                    the same with Qt Creator (open a .ui file for its form editor)
#   ./dev.sh lazarus [--fresh] [LAZARUS ARGS...]
#                    install what is missing, build, rebuild the Lazarus IDE with the package
#                    into a private configuration (build/PRESET/lazarus: its own --pcp, the IDE
#                    in its bin/; nothing is written to the system's Lazarus folder) and start
#                    it; --fresh starts over with a new configuration and a new, empty HOME
#   ./dev.sh package install what is missing, build the package preset, make the .deb
#                    (build/package/orvik-palette-menu_VERSION_amd64.deb) and check it with
#                    lintian (any error or warning fails)
#   ./dev.sh fuzz [SECONDS]
#                    build the fuzz targets (clang, libFuzzer, ASan, UBSan) and run each for
#                    SECONDS (30 by default); any finding fails, its input kept under
#                    build/fuzz/fuzzing/TARGET/findings/
# Set PRESET=sanitize to build and test with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")"

PRESET="${PRESET:-default}"
PACKAGES=(cmake g++ make pkg-config libicu-dev libsqlite3-dev googletest libgtest-dev libgmock-dev
          libbenchmark-dev libedit-dev nlohmann-json3-dev qt6-base-dev xvfb xauth xdotool
          imagemagick python3 clang libclang-rt-14-dev tmux qt6-tools-dev designer-qt6 dpkg-dev
          libxtst-dev help2man lintian lazarus-ide-2.2 lcl-2.2 lazarus-src-2.2 fpc)
# Qt Creator runs in the tests too; installed without the (large) recommended packages.
NORECOMMENDS=(qtcreator)

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

install_missing() {
  local missing=() bare=()
  mapfile -t missing < <(missing_of "${PACKAGES[@]}")
  mapfile -t bare < <(missing_of "${NORECOMMENDS[@]}")
  [ ${#missing[@]} -eq 0 ] && [ ${#bare[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]} ${bare[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  if [ ${#missing[@]} -ne 0 ]; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
  fi
  if [ ${#bare[@]} -ne 0 ]; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${bare[@]}"
  fi
}

build() {
  cmake --preset "$PRESET"
  cmake --build --preset "$PRESET"
}

# Each target starts from its checked-in seeds (and, for layouts, the real-world corpus beside the
# clone when it is there) and keeps what it finds new in a working corpus in the build folder.
fuzz() {
  local seconds="${1:-30}"
  cmake --preset fuzz
  cmake --build --preset fuzz
  local failed=()
  for target in layout regfile palette commandline; do
    local work="build/fuzz/fuzzing/$target"
    mkdir -p "$work/corpus" "$work/findings"
    local seeds=("tests/fuzz/corpus/$target")
    if [ "$target" = layout ] && [ -d ../shared/corpus/layouts ]; then
      seeds+=(../shared/corpus/layouts)
    fi
    echo "fuzzing $target for ${seconds}s"
    if "build/fuzz/bin/${target}_fuzz" -max_total_time="$seconds" -timeout=10 \
        -dict="tests/fuzz/dict/$target.dict" -artifact_prefix="$work/findings/" \
        -print_final_stats=1 "$work/corpus" "${seeds[@]}" >"$work/log.txt" 2>&1; then
      grep -E '^#[0-9]+[[:space:]]+DONE' "$work/log.txt" | tail -n 1 || true
      grep -E '^stat::number_of_executed_units' "$work/log.txt" || true
    else
      tail -n 40 "$work/log.txt"
      echo "FINDING in $target: the log is $work/log.txt, the input in $work/findings/" >&2
      failed+=("$target")
    fi
  done
  if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found faults in: ${failed[*]}" >&2
    return 1
  fi
}

# Starts a form editor (designer or qtcreator) with the plugin from the build tree. With --fresh,
# a new HOME holds its settings and the add-in's hive for this run only.
start_host() {
  local host=$1
  shift
  local fresh=""
  if [ "${1:-}" = --fresh ]; then
    fresh=$(mktemp -d "${TMPDIR:-/tmp}/orvik-fresh.XXXXXX")
    shift
  fi
  local program args=()
  if [ "$host" = designer ]; then
    program="$(qtpaths6 --query QT_INSTALL_BINS)/designer"
  else
    program=$(command -v qtcreator)
    # Qt Creator keeps its settings under -settingspath, not only under HOME.
    [ -n "$fresh" ] && args=(-settingspath "$fresh/.config")
  fi
  local status=0
  env ${fresh:+HOME="$fresh" XDG_CONFIG_HOME="$fresh/.config"} \
    QT_PLUGIN_PATH="$PWD/build/$PRESET/plugins" "$program" "${args[@]}" "$@" || status=$?
  [ -n "$fresh" ] && rm -rf "$fresh"
  return "$status"
}

# Rebuilds the Lazarus IDE with the package into a private configuration and starts it there.
start_lazarus() {
  local pcp="$PWD/build/$PRESET/lazarus" home=""
  if [ "${1:-}" = --fresh ]; then
    rm -rf "$pcp"
    home=$(mktemp -d "${TMPDIR:-/tmp}/orvik-fresh.XXXXXX")
    shift
  fi
  ide/lazarus/lazarus.sh config "$pcp" "$PWD/build/$PRESET/bin/libOrvikPaletteMenuEmbed.so"
  echo "Rebuilding the Lazarus IDE with the package into $pcp (about a minute the first time)"
  ide/lazarus/lazarus.sh build "$pcp" "$PWD/ide/lazarus/orvikpalettemenu.lpk"
  local status=0
  env ${home:+HOME="$home" XDG_CONFIG_HOME="$home/.config"} \
    "$pcp/bin/lazarus" --pcp="$pcp" "$@" || status=$?
  [ -n "$home" ] && rm -rf "$home"
  return "$status"
}

case "${1:-}" in
  test)
    install_missing
    build
    ctest --preset "$PRESET"
    ;;
  build)
    install_missing
    build
    ;;
  start)
    install_missing
    build
    shift
    exec "build/$PRESET/bin/hostide" "$@"
    ;;
  designer|creator)
    install_missing
    build
    host=$1
    shift
    start_host "$host" "$@"
    ;;
  lazarus)
    install_missing
    build
    shift
    start_lazarus "$@"
    ;;
  package)
    install_missing
    cmake --preset package
    cmake --build --preset package
    (cd build/package && cpack -G DEB)
    lintian --fail-on error,warning build/package/orvik-palette-menu_*_amd64.deb
    ;;
  fuzz)
    install_missing
    fuzz "${2:-30}"
    ;;
  *)
    echo "usage: $0 test|start|build|designer|creator|lazarus|package|fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
