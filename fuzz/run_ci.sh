#!/bin/sh
# Builds the libFuzzer targets with clang in the given build directory
# (default build-fuzz) and runs each one for 60 seconds from a copy of its
# seed corpus. Any finding (crash, sanitizer report, failed check, timeout,
# out of memory) fails the script; its input is kept under
# <build dir>/fuzz-ci/<target>/.
#
#   fuzz/run_ci.sh [build-dir] [seconds]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-60}
cxx=${CXX_FUZZ:-clang++}

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DELAB_FUZZ=ON -DBUILD_TESTING=OFF -DELAB_BENCH=OFF -DELAB_WERROR=ON
cmake --build "$build" -j2 --target fuzz_free_form fuzz_fixed_field fuzz_run

work=$(cd "$build" && pwd)/fuzz-ci
status=0
for target in fuzz_free_form fuzz_fixed_field fuzz_run; do
  dir=$work/$target
  rm -rf "$dir"
  mkdir -p "$dir/corpus"
  cp fuzz/corpus/"$target"/* "$dir/corpus/"
  echo "== $target: $seconds s"
  if ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$build/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$dir/" "$dir/corpus" >"$dir/log" 2>&1; then
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec)' "$dir/log" || true
  else
    status=1
    echo "FINDING in $target; log $dir/log; input(s):"
    ls "$dir" | grep -E '^(crash|leak|timeout|oom|slow-unit)-' | sed "s|^|  $dir/|" || true
    tail -40 "$dir/log"
  fi
done
exit $status
