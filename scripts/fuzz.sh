#!/usr/bin/env bash
# Builds the native fuzzers and runs each one.
#   scripts/fuzz.sh BUILD_DIR [SECONDS_EACH | smoke | build]
# "smoke" shares 40 seconds among all fuzzers (the test suite's short run, which must stay
# within a minute with the start of each fuzzer); "build" only builds them (the test build
# does, so that the smoke run spends its time fuzzing).
# A crash, a hang, a leak or a sanitizer report fails the run; the input that caused it is kept
# in BUILD_DIR/fuzz/findings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:?build folder}" && cd "$1" && pwd)
seconds=${2:-60}
out="$build/fuzz"
# Called from the test build's own make: this is a separate build, with a job count of its own.
unset MAKEFLAGS MFLAGS MAKELEVEL
cmake -S "$root/fuzz" -B "$out/cmake" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if ! log=$(cmake --build "$out/cmake" -j "${JOBS:-2}" 2>&1); then
  printf '%s\n' "$log" | tail -n 40
  echo "fuzz: building the fuzzers failed" >&2
  exit 1
fi
[ "$seconds" = build ] && exit 0
mkdir -p "$out/findings"
fuzzers=$(find "$out/cmake" -maxdepth 1 -name '*_fuzz' -type f | sort)
if [ "$seconds" = smoke ]; then
  count=$(echo "$fuzzers" | wc -w)
  seconds=$(( 40 / (count > 0 ? count : 1) ))
  [ "$seconds" -ge 2 ] || seconds=2
fi
status=0
for fuzzer in $fuzzers; do
  name=$(basename "$fuzzer" _fuzz)
  work="$out/corpus/$name"
  mkdir -p "$work"
  seeds="$root/fuzz/corpus/$name"
  [ -d "$seeds" ] || seeds=""
  if "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -max_len=65536 \
       -artifact_prefix="$out/findings/$name-" -print_final_stats=1 "$work" $seeds \
       >"$out/$name.log" 2>&1; then
    echo "fuzz $name: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$out/$name.log" | grep -o '[0-9]*$' || echo '?') runs)"
  else
    echo "fuzz $name: FAILED, see $out/$name.log and $out/findings"
    tail -n 30 "$out/$name.log"
    status=1
  fi
done
exit $status
