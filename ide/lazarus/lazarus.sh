#!/usr/bin/env bash
# A private Lazarus for the Orvik Palette Menu package: a primary configuration folder of its
# own (--pcp), with the IDE rebuilt into it, so that nothing is written into the system's
# Lazarus folder or the user's ~/.lazarus.
#
#   lazarus.sh config PCP LIBRARY   write a configuration that starts without the first-start
#                                   dialogs (the system's Lazarus, fpc, fpc sources, make,
#                                   FpDebug, an fppkg configuration of its own) and name the
#                                   embedding library the package loads
#   lazarus.sh build PCP [LPK]      rebuild the IDE into PCP/bin, with the package LPK (a copy
#                                   of its folder, kept in PCP/source) or without any
#   lazarus.sh ide PCP              the path of the private IDE
#
# As root, lazbuild would write into /usr/lib/lazarus (it rebuilds packages whose state files
# Debian leaves out in their own folders, the LCL included): it runs as the unprivileged user
# "nobody" instead, for whom the system's folder is read-only, so that its output goes into PCP.
set -euo pipefail

LAZDIR="${LAZDIR:-/usr/lib/lazarus/default}"
LAZDIR=$(readlink -f "$LAZDIR")

as_builder() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$PCP" "$@"
  else
    env HOME="$PCP" "$@"
  fi
}

config() {
  local library=$1 fpcver target fpcdir
  fpcver=$(fpc -iV)
  target=$(fpc -iTP)-$(fpc -iTO)
  # Where the compiler's units are: .../fpc/VERSION/units/TARGET.
  fpcdir=$(find /usr/lib /usr/lib/*-linux-gnu -maxdepth 3 -type d -path "*/fpc/$fpcver" 2>/dev/null |
    while read -r d; do [ -d "$d/units/$target/rtl" ] && echo "$d" && break; done)
  [ -n "$fpcdir" ] || { echo "lazarus.sh: the units of fpc $fpcver were not found" >&2; exit 1; }
  mkdir -p "$PCP/fppkg/config"
  # fppkg must find the installed RTL, or the IDE opens its setup dialog at every start.
  fpcmkcfg -3 -s -p -d LocalRepository="$PCP/fppkg/" -d CompilerConfigDir="$PCP/fppkg/config/" \
    -d GlobalPath="$fpcdir/" -d GlobalPrefix=/usr/ -d UserPathSuffix="lib/fpc/$fpcver/" \
    -o "$PCP/fppkg.cfg" >/dev/null
  fpcmkcfg -4 -s -p -d fpcbin="$(command -v fpc)" -d fpctargetos="$(fpc -iTO)" \
    -d fpctarget="$(fpc -iTP)" -o "$PCP/fppkg/config/default" >/dev/null
  # The version the IDE writes, so that it asks nothing about an older configuration.
  local version
  version=$(lazbuild --version | tail -n 1)
  cat >"$PCP/environmentoptions.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<CONFIG>
  <EnvironmentOptions>
    <Version Value="110" Lazarus="$version"/>
    <LazarusDirectory Value="$LAZDIR/"/>
    <CompilerFilename Value="$(command -v fpc)"/>
    <FPCSourceDirectory Value="/usr/share/fpcsrc/\$(FPCVER)/"/>
    <MakeFilename Value="$(command -v make)"/>
    <TestBuildDirectory Value="/tmp/"/>
    <FppkgConfigFile Value="$PCP/fppkg.cfg"/>
    <Debugger>
      <Configs>
        <Config ConfigName="FpDebug" ConfigClass="TFpDebugDebugger" Active="True"/>
      </Configs>
    </Debugger>
  </EnvironmentOptions>
</CONFIG>
EOF
  # The IDE is built into PCP/bin, never into the system's folder.
  cat >"$PCP/miscellaneousoptions.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<CONFIG>
  <MiscellaneousOptions>
    <Version Value="3"/>
    <BuildLazarusOptions>
      <Profiles Count="1">
        <Profile0 Name="Private">
          <TargetDirectory Value="$PCP/bin"/>
        </Profile0>
      </Profiles>
      <ProfileIndex Value="0"/>
    </BuildLazarusOptions>
  </MiscellaneousOptions>
</CONFIG>
EOF
  echo "$library" >"$PCP/orvik-palette-menu.path"
}

build() {
  local lpk=${1:-} args=()
  if [ -n "$lpk" ]; then
    # A copy of the package's folder: the build writes its units beside the sources.
    rm -rf "$PCP/source"
    mkdir -p "$PCP/source"
    cp -r "$(dirname "$lpk")/." "$PCP/source/"
    rm -rf "$PCP/source/lib" "$PCP/source/backup"
    args=(--add-package "$PCP/source/$(basename "$lpk")")
  fi
  [ "$(id -u)" -eq 0 ] && chown -R nobody:nogroup "$PCP"
  as_builder lazbuild --pcp="$PCP" --quiet --max-process-count=2 "${args[@]}" --build-ide=
  [ -x "$PCP/bin/lazarus" ] || { echo "lazarus.sh: the IDE was not built into $PCP/bin" >&2; exit 1; }
}

cmd=${1:-}
PCP=${2:-}
[ -n "$cmd" ] && [ -n "$PCP" ] || { sed -n '2,14p' "$0" >&2; exit 2; }
mkdir -p "$PCP"
PCP=$(readlink -f "$PCP")
case "$cmd" in
  config) config "${3:?the embedding library}" ;;
  build) build "${3:-}" ;;
  ide) echo "$PCP/bin/lazarus" ;;
  *) sed -n '2,14p' "$0" >&2; exit 2 ;;
esac
