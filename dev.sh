#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./dev.sh test    install what is missing, build, run every test
#   ./dev.sh start   install what is missing, build, start the stand-in IDE with the add-in
#                    (further arguments go to hostide, e.g. ./dev.sh start --palette FILE)
#   ./dev.sh build   install what is missing and build only
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
          imagemagick python3 clang libclang-rt-14-dev tmux)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
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
  fuzz)
    install_missing
    fuzz "${2:-30}"
    ;;
  *)
    echo "usage: $0 test|start|build|fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
