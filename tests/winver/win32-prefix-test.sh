#!/usr/bin/env bash
# Vista in a 32-bit-only Wine prefix: the probe is not under WoW64 there, so Vista is named
# without the 64 Edition (code 13) and IsVista64 is false. The test programs' own prefix is
# 64-bit, so this one runs from the host with a prefix of its own, created on the first run
# (about 20 s) and reused afterwards.
# Usage: win32-prefix-test.sh PROBE_EXE PREFIX_DIR
set -euo pipefail
probe=${1:?probe executable}
prefix=${2:?prefix folder}

export WINEPREFIX=$(mkdir -p "$prefix" && cd "$prefix" && pwd)
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Two runs at once must not both build the prefix.
exec 9>"$WINEPREFIX.lock"
flock 9

# Only this prefix's own server is ever ended here.
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

if [ ! -f "$WINEPREFIX/.qm-ready" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.qm-ready"
fi

fail=0
check() {  # check OUTPUT KEY EXPECTED
  local got
  got=$(printf '%s\n' "$1" | tr -d '\r' | sed -n "s/^$2=//p")
  if [ "$got" != "$3" ]; then
    echo "FAIL ($version): $2 is '$got', expected '$3'"
    fail=1
  fi
}

run_probe() {  # run_probe: the probe's output under $version
  wine reg add 'HKCU\Software\Wine\AppDefaults\winver_probe.exe' /v Version /d "$version" /f \
    >/dev/null 2>&1
  wine "$probe" 2>/dev/null
}

version=vista; out=$(run_probe)
check "$out" code 13
check "$out" full "Microsoft Windows Vista Professional"
check "$out" vista64 0
check "$out" wow64 0

# Without WoW64 the native architecture is x86: version 5.2 on a workstation is not XP x64,
# and a server gets the plain editions.
version=winxp64; out=$(run_probe)
check "$out" code 11
check "$out" full "Microsoft Windows Server 2003 family Professional"
version=win2003; out=$(run_probe)
check "$out" code 11
check "$out" full "Microsoft Windows Server 2003 family Standard Edition"

[ $fail -eq 0 ] && echo "win32 prefix: all checks passed"
exit $fail
