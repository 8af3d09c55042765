#!/usr/bin/env bash
# Runs every test program under Wine: a prefix of the build folder's own (created once and
# reused), a virtual display of its own, then CTest.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
dist=$(cd "${2:?dist folder}" && pwd)
shift 2
. "$(dirname "$0")/runnable-build.sh"
. "$(dirname "$0")/wine-env.sh"
qm_session "$dist"
ctest --test-dir "$build/cmake" --output-on-failure -j "${QM_TEST_JOBS:-2}" "$@"
