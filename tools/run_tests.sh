#!/usr/bin/env bash
# Builds everything and runs every test, installing missing dependencies.
#   BUILD_DIR        build directory (default: build)
#   SEEDBANK_SANITIZE=ON   build with AddressSanitizer + UndefinedBehaviorSanitizer
#   SEEDBANK_CTEST_EXCLUDE  a ctest -E pattern of tests to leave out
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install_dependencies.sh"
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSEEDBANK_SANITIZE="${SEEDBANK_SANITIZE:-OFF}" >/dev/null
cmake --build "$build" -j"$(nproc)"
exclude=()
[ -n "${SEEDBANK_CTEST_EXCLUDE:-}" ] && exclude=(-E "$SEEDBANK_CTEST_EXCLUDE")
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "${exclude[@]}"
