#!/usr/bin/env bash
# Runs every test program under Wine: a prefix of the build folder's own (created once and
# reused), a virtual display of its own, then CTest.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
dist=$(cd "${2:?dist folder}" && pwd)
shift 2
. "$(dirname "$0")/wine-env.sh"
export QM_BUILD="$build"
qm_start_display
trap 'wineserver -k >/dev/null 2>&1 || true; qm_stop_display' EXIT
qm_init_prefix
# One persistent server for the whole run saves a second per process.
wineserver -p >/dev/null 2>&1 || true
export QM_DIST_DIR=$(winepath -w "$dist" 2>/dev/null)
ctest --test-dir "$build/cmake" --output-on-failure -j "${QM_TEST_JOBS:-2}" "$@"
