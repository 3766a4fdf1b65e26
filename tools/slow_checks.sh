#!/usr/bin/env bash
# The exhaustive checks too long for the default test run (they are the
# tests named DISABLED_Slow...): every seed word through the folded step,
# every stored generator state re-derived from its predecessor.
#   BUILD_DIR   build directory (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target test_deviate_engine test_stream_states
for test in common/test_deviate_engine common/test_stream_states; do
    "$build/tests/$test" --gtest_also_run_disabled_tests --gtest_filter='*DISABLED_Slow*'
done
