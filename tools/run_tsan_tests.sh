#!/usr/bin/env bash
# Builds the threaded parts under ThreadSanitizer and runs the tests that
# start threads: the rank stream and the fast year.
#   BUILD_DIR   build directory (default: build-tsan)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install_dependencies.sh"
build=${BUILD_DIR:-$root/build-tsan}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSEEDBANK_TSAN=ON -DSEEDBANK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target test_rank_stream test_fast_year winter generate blockmap stepmap mkmap
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" -R 'RankStream|FastYear.*[24]Threads'
