#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   ./dev.sh test    install what is missing, build, run every test
#   ./dev.sh start   install what is missing, build, start the stand-in IDE with the add-in
#                    (further arguments go to hostide, e.g. ./dev.sh start --palette FILE)
#   ./dev.sh build   install what is missing and build only
# Set PRESET=sanitize to build and test with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")"

PRESET="${PRESET:-default}"
PACKAGES=(cmake g++ make pkg-config libicu-dev libsqlite3-dev googletest libgtest-dev libgmock-dev
          libbenchmark-dev libreadline-dev nlohmann-json3-dev qt6-base-dev xvfb xauth)

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
  *)
    echo "usage: $0 test|start|build" >&2
    exit 2
    ;;
esac
