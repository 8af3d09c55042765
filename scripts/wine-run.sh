#!/usr/bin/env bash
# CTest's emulator: runs one Windows test program under the build folder's Wine prefix.
set -u
build=${QM_BUILD:?QM_BUILD must name the build folder}
. "$(dirname "$0")/wine-env.sh"
[ -n "${DISPLAY:-}" ] || qm_start_display
exec "$QM_WINE" "$@"
