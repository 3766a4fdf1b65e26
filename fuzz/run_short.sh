#!/usr/bin/env bash
# run_short.sh [SECONDS]: builds the seed-map fuzz target with clang in a
# temporary directory and fuzzes for SECONDS (default 60) starting from a
# copy of the seed corpus, so the corpus in the repository never changes.
# Exits 0 when nothing was found; otherwise prints the fuzzer's report,
# keeps the temporary directory with the failing input and exits non-zero.
set -euo pipefail

seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [SECONDS]  (a whole number of seconds, at least 1)" >&2
    exit 2
fi
for tool in clang clang++ cmake; do
    if ! command -v "$tool" >/dev/null; then
        echo "$0: $tool not found; the fuzz target needs clang with libFuzzer" >&2
        exit 2
    fi
done

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/seedbank-fuzz.XXXXXX")"
keep_work=0
cleanup() {
    if [[ "$keep_work" == 0 ]]; then
        rm -rf "$work"
    fi
}
trap cleanup EXIT

echo "Building the fuzz target in $work/build ..."
if ! cmake -S "$here" -B "$work/build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        >"$work/build.log" 2>&1 ||
   ! cmake --build "$work/build" -j2 >>"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    echo "$0: the fuzz target did not build" >&2
    exit 1
fi

mkdir "$work/corpus" "$work/artifacts"
cp "$here"/corpus/* "$work/corpus/"

echo "Fuzzing for $seconds s ..."
# The decoder's large row buffers are handed back to the system between
# inputs, so that the resident size measures one input, not the history.
status=0
ASAN_OPTIONS="allocator_release_to_os_interval_ms=1000${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
    "$work/build/fuzz_seed_map" \
    -dict="$here/png.dict" \
    -max_total_time="$seconds" \
    -max_len=65536 \
    -rss_limit_mb=2048 \
    -timeout=10 \
    -close_fd_mask=2 \
    -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" \
    "$work/corpus" >"$work/fuzz.log" 2>&1 || status=$?

if [[ "$status" != 0 ]] || [[ -n "$(ls -A "$work/artifacts")" ]]; then
    keep_work=1
    tail -n 80 "$work/fuzz.log" >&2
    echo "$0: the fuzzer found a failing input (exit status $status); see $work/artifacts and $work/fuzz.log" >&2
    exit 1
fi
grep -aE '^#[0-9]+[[:space:]]+DONE|^stat::' "$work/fuzz.log" || tail -n 5 "$work/fuzz.log"
echo "No failure found in $seconds s."
