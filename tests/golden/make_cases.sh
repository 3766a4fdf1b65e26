#!/usr/bin/env bash
# Makes the golden cases: fixed inputs, a command, and what the built
# programs printed and wrote for it.  Run once, on a build whose outputs were
# checked independently; the tests then compare every later build with these
# files byte for byte.  Never rerun it to make a failing test pass: a golden
# file changes only where the expected bytes are meant to change.
#
#   tests/golden/make_cases.sh BUILD_DIR
#
# Layout of a case directory:
#   input/      the files the run starts from (copied into a scratch directory)
#   command     the program (winter, blockmap, stepmap, generate) and its
#               arguments, one word per line
#   stdout      standard output, byte for byte
#   status      the exit status
#   output/     every file the run created or changed, byte for byte
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cases="$here/cases"
pngsuite="$here/../data/pngsuite"
mkmap="$build/tools/mkmap"

new_case() {
    rm -rf "${cases:?}/$1"
    mkdir -p "$cases/$1/input" "$cases/$1/output"
    dir="$cases/$1"
}

# Runs the case's command in a scratch copy of its input and records the rest.
record() {
    local scratch program
    scratch=$(mktemp -d)
    cp -a "$dir/input/." "$scratch/"
    mapfile -t words < "$dir/command"
    program=${words[0]}
    case $program in
        winter) exe=$build/distribute/winter ;;
        blockmap|stepmap) exe=$build/summarize/$program ;;
        generate) exe=$build/generate/generate ;;
    esac
    set +e
    (cd "$scratch" && "$exe" "${words[@]:1}" > "$dir/stdout" 2>/dev/null)
    echo $? > "$dir/status"
    set -e
    (cd "$scratch" && for f in *; do
        if [ ! -e "$dir/input/$f" ] || ! cmp -s "$f" "$dir/input/$f"; then cp -a "$f" "$dir/output/"; fi
    done)
    rm -rf "$scratch"
}

# Six random seed maps of one size; density and counts differ by cohort.
six_random_maps() {  # label width height fraction max seed
    local label=$1 w=$2 h=$3 fraction=$4 max=$5 seed=$6 k=0
    for prefix in Seeds Dorm1 Dorm2 Dorm3 Dorm4 Dorm5; do
        "$mkmap" "$dir/input/${prefix}_Yr$label.png" "$w" "$h" random "$fraction" 1 "$max" $((seed + k)) >/dev/null
        k=$((k + 1))
    done
}

# A year on small maps whose output label is its input label: every map is
# read before a younger cohort replaces it.
new_case winter_small_same_label
six_random_maps 7 80 60 0.4 12 101
printf 'winter\n7\n7\n' > "$dir/command"
record

# A medium year on 300 x 300 maps.
new_case winter_medium
six_random_maps 1 300 300 0.5 9 201
printf 'winter\n1\n2\n' > "$dir/command"
record

# Every cohort full to 255: the grid saturates, recruits keep counting.
new_case winter_saturation
for prefix in Seeds Dorm1 Dorm2 Dorm3 Dorm4 Dorm5; do
    "$mkmap" "$dir/input/${prefix}_Yr3.png" 8 8 constant 255 >/dev/null
done
printf 'winter\n3\n4\n' > "$dir/command"
record

# No seed anywhere: the one-seedling floor in cell (100, 100); labels with a
# space, a non-ASCII letter and a long output label.
new_case winter_floor_odd_labels
in_label='yr 3ä'
out_label='a-label-of-exactly-forty-characters-40'
for prefix in Seeds Dorm1 Dorm2 Dorm3 Dorm4 Dorm5; do
    "$mkmap" "$dir/input/${prefix}_Yr$in_label.png" 1 1 empty >/dev/null
done
printf 'winter\n%s\n%s\n' "$in_label" "$out_label" > "$dir/command"
record

# Maps larger than the field: cells on row and column 5000 are processed,
# their germinations reach the list, their dormant seeds are not written.
new_case winter_larger_than_field
six_random_maps 5 5003 5003 0.00004 255 301
"$mkmap" "$dir/input/Seeds_Yr5.png" 5003 5003 cell 5000 17 200 4999 5000 90 5000 5000 255 5002 5002 255 1 1 3 >/dev/null
printf 'winter\n5\n6\n' > "$dir/command"
record

# Greyscale PNGs as seed maps: the stored sample is the count.
new_case winter_greyscale
six_random_maps 8 40 40 0.3 6 401
cp "$pngsuite/basn0g08.png" "$dir/input/Seeds_Yr8.png"
cp "$pngsuite/basn0g04.png" "$dir/input/Dorm2_Yr8.png"
printf 'winter\n8\n9\n' > "$dir/command"
record

# Summary pictures.
for program in blockmap stepmap; do
    new_case ${program}_medium
    "$mkmap" "$dir/input/map.png" 700 500 random 0.3 1 40 501 >/dev/null
    printf '%s\nmap.png\n' $program > "$dir/command"
    record

    new_case ${program}_greyscale
    cp "$pngsuite/basn0g08.png" "$dir/input/grey.png"
    printf '%s\ngrey.png\n' $program > "$dir/command"
    record

    new_case ${program}_empty
    "$mkmap" "$dir/input/empty.png" 5000 5000 empty >/dev/null
    printf '%s\nempty.png\n' $program > "$dir/command"
    record

    new_case ${program}_larger_than_field
    "$mkmap" "$dir/input/big.png" 5003 5003 random 0.001 1 255 601 >/dev/null
    printf '%s\nbig.png\n' $program > "$dir/command"
    record
done

# A long generate list from a fixed clock reading (1000000000 s), through the
# library entry the program calls with the real clock.
new_case generate_fixed_clock
rmdir "$dir/input"
printf 'generate\n19999\n1000000000\n' > "$dir/command"
cat > "$dir/../.make_generate.cpp" <<'CPP'
#include "seedling_generator.h"
int main() { generate_seedlings("19999", 1000000000); return 0; }
CPP
g++ -std=c++20 -O2 -I"$here/../../generate" -I"$here/../../common" "$dir/../.make_generate.cpp" \
    "$build/generate/libseedling_generator.a" "$build/common/libseedbank_common.a" \
    $(pkg-config --libs gdlib) -lm -o "$dir/../.make_generate"
(cd "$dir/output" && "$dir/../.make_generate" > "$dir/stdout"; echo $? > "$dir/status")
rm -f "$dir/../.make_generate" "$dir/../.make_generate.cpp"
