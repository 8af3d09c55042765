#!/usr/bin/env bash
# Runs every benchmark program under the build folder's Wine prefix and prints one table
# (QM_BENCH=cookie_database runs only cookie_database_bench).
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
dist=$(cd "${2:?dist folder}" && pwd)
. "$(dirname "$0")/runnable-build.sh"
. "$(dirname "$0")/wine-env.sh"
qm_session "$dist"
rows=$(mktemp)
for exe in $(find "$build/cmake/bench" -name "${QM_BENCH:-*}_bench.exe" | sort); do
  "$QM_WINE" "$exe" 2>/dev/null | tr -d '\r' | grep -P '\t' >>"$rows" || echo "$(basename "$exe")	failed			" >>"$rows"
done
{
  printf 'benchmark\tmeasured\tbaseline\tratio\tgoal\n'
  cat "$rows"
} | awk -F'\t' '{ printf "%-44s %-22s %-22s %-8s %s\n", $1, $2, $3, $4, $5 }'
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $("$QM_WINE" --version)"
rm -f "$rows"
