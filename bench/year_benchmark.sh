#!/usr/bin/env bash
# Whole-program benchmark: one winter year on six 5000 x 5000 seed maps, and
# blockmap and stepmap on the dense fresh-seed map, for the fast build and
# for the reference build (SEEDBANK_REFERENCE_PATHS=ON: per-pixel library
# calls, the list printed line by line, one thread), both from these sources,
# timed in the same run.  Runs alternate between the builds so that both see
# the same machine.  Prints medians of wall time, CPU time (user + system)
# and peak resident memory, the ratios, and whether the outputs agree.
#
#   bench/year_benchmark.sh [--workloads sparse,medium,dense] [--runs 3]
#                           [--work DIR] [--no-build] [--no-year] [--no-summaries]
#                           [--no-threads]
#
#   --workloads   which workloads to time (default: all three)
#                   sparse  1 % of cells hold 1..5 seeds
#                   medium  every other cell holds 1..3 seeds
#                   dense   every cell holds 1..19 seeds
#   --runs N      runs per measurement, the median is reported (default 3)
#   --work DIR    where the maps and outputs go (default: build-bench/work);
#                 maps already made there are reused
#   --no-build    use the builds already in build-bench/fast and build-bench/reference
#   --no-year     skip the year of both builds
#   --no-summaries  skip blockmap and stepmap
#   --no-threads  skip the year with -j 1 and -j 2
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
workloads=sparse,medium,dense
runs=3
work=$root/build-bench/work
build_them=1
year=1
summaries=1
threads=1
while [ $# -gt 0 ]; do
    case $1 in
        --workloads) workloads=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        --no-build) build_them=0; shift ;;
        --no-year) year=0; shift ;;
        --no-summaries) summaries=0; shift ;;
        --no-threads) threads=0; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "year_benchmark.sh: unknown argument '$1' (try --help)" >&2; exit 1 ;;
    esac
done
case $runs in ''|*[!0-9]*|0) echo "year_benchmark.sh: --runs needs a positive number" >&2; exit 1 ;; esac

"$root/tools/install_dependencies.sh" time
fast=$root/build-bench/fast
reference=$root/build-bench/reference
targets=(winter blockmap stepmap mkmap)
if [ "$build_them" = 1 ]; then
    for kind in fast reference; do
        dir=$root/build-bench/$kind
        option=OFF
        [ "$kind" = reference ] && option=ON
        cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSEEDBANK_REFERENCE_PATHS=$option \
            -DSEEDBANK_TESTS=OFF -DSEEDBANK_BENCH=OFF >/dev/null
        cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}" >/dev/null
    done
fi

machine() {
    echo "== Machine"
    echo "cores (nproc): $(nproc)"
    echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
    echo "glibc: $(ldd --version | head -n1 | awk '{print $NF}')"
    echo "zlib: $(dpkg-query -W -f='${Version}' zlib1g 2>/dev/null || echo unknown)"
    echo "libgd: $(pkg-config --modversion gdlib 2>/dev/null || echo unknown)"
    echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
}

# make_maps WORKLOAD: six maps of year 1 in $work/WORKLOAD, made once.
make_maps() {
    local workload=$1 dir=$work/$1 seed=0 pattern
    mkdir -p "$dir"
    case $workload in
        sparse) pattern="random 0.01 1 5" ;;
        medium) pattern="checker 1 3" ;;
        dense) pattern="random 1 1 19" ;;
        *) echo "year_benchmark.sh: unknown workload '$workload'" >&2; exit 1 ;;
    esac
    local stamp="$pattern $(sha256sum "$fast/tools/mkmap" | cut -c1-16)"
    [ -f "$dir/maps.stamp" ] && [ "$(cat "$dir/maps.stamp")" = "$stamp" ] && return
    for prefix in Seeds Dorm1 Dorm2 Dorm3 Dorm4 Dorm5; do
        seed=$((seed + 1))
        # shellcheck disable=SC2086
        "$fast/tools/mkmap" "$dir/${prefix}_Yr1.png" 5000 5000 $pattern $((seed * 1000 + ${#workload}))
    done
    echo "$stamp" > "$dir/maps.stamp"
}

# timed LABEL DIR COMMAND...: runs COMMAND in DIR once, appends
# "LABEL wall cpu rss_kb" to $results.
timed() {
    local label=$1 dir=$2
    shift 2
    local measure
    measure=$(mktemp)
    (cd "$dir" && /usr/bin/time -f '%e %U %S %M' -o "$measure" "$@" >/dev/null)
    awk -v label="$label" '{printf "%s %s %.2f %s\n", label, $1, $2 + $3, $4}' "$measure" >> "$results"
    rm -f "$measure"
}

median() {  # LABEL COLUMN: the median of one column of one label's runs
    awk -v label="$1" -v column="$2" '$1 == label {print $column}' "$results" | sort -g |
        awk '{v[NR] = $1} END {if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

# report TITLE FAST_LABEL REFERENCE_LABEL: both medians and their ratios.
report() {
    local title=$1 f=$2 r=$3
    local fw fc fm rw rc rm
    fw=$(median "$f" 2); fc=$(median "$f" 3); fm=$(median "$f" 4)
    rw=$(median "$r" 2); rc=$(median "$r" 3); rm=$(median "$r" 4)
    awk -v t="$title" -v fw="$fw" -v fc="$fc" -v fm="$fm" -v rw="$rw" -v rc="$rc" -v rm="$rm" 'BEGIN {
        printf "%-22s %9.2f %9.2f %8.0f   %9.2f %9.2f %8.0f   %6.2fx %6.2fx\n",
            t, fw, fc, fm / 1024, rw, rc, rm / 1024, (fw > 0 ? rw / fw : 0), (fc > 0 ? rc / fc : 0)
    }'
}

header() {
    printf "%-22s %9s %9s %8s   %9s %9s %8s   %7s %7s\n" "" "fast" "" "" "reference" "" "" "ratio" "ratio"
    printf "%-22s %9s %9s %8s   %9s %9s %8s   %7s %7s\n" "" "wall s" "CPU s" "RSS MB" "wall s" "CPU s" "RSS MB" "wall" "CPU"
}

year_outputs() {  # DIR: checksums of what one year wrote
    (cd "$1" && sha256sum Dorm2_Yr2.png Dorm3_Yr2.png Dorm4_Yr2.png Dorm5_Yr2.png Dorm1_Yr2.png Seeds_Yr2.dat)
}

results=$(mktemp)
trap 'rm -f "$results" "$results.notes"' EXIT
machine
echo "runs per measurement: $runs (median reported)"
IFS=, read -r -a chosen <<< "$workloads"
for workload in "${chosen[@]}"; do
    make_maps "$workload"
done

if [ "$year" = 1 ]; then
    echo
    echo "== One year (winter 1 2)"
    for workload in "${chosen[@]}"; do
        dir=$work/$workload
        same=yes
        for ((run = 1; run <= runs; ++run)); do
            timed "year-$workload-fast" "$dir" "$fast/distribute/winter" 1 2
            fast_sums=$(year_outputs "$dir")
            timed "year-$workload-reference" "$dir" "$reference/distribute/winter" 1 2
            [ "$fast_sums" = "$(year_outputs "$dir")" ] || same=no
        done
        lines=$(wc -l < "$dir/Seeds_Yr2.dat")
        echo "$workload: outputs of both builds identical: $same; seedlings listed: $lines" >> "$results.notes"
        rm -f "$dir/Seeds_Yr2.dat"  # up to 1.2 GB
    done
    header
    for workload in "${chosen[@]}"; do
        report "year $workload" "year-$workload-fast" "year-$workload-reference"
    done
    cat "$results.notes" 2>/dev/null && rm -f "$results.notes"

fi

if [ "$summaries" = 1 ]; then
    echo
    echo "== Summaries of the dense fresh-seed map"
    make_maps dense
    dir=$work/dense
    for program in blockmap stepmap; do
        same=yes
        for ((run = 1; run <= runs; ++run)); do
            timed "$program-fast" "$dir" "$fast/summarize/$program" Seeds_Yr1.png
            fast_sum=$(sha256sum < "$dir/summary.png")
            timed "$program-reference" "$dir" "$reference/summarize/$program" Seeds_Yr1.png
            [ "$fast_sum" = "$(sha256sum < "$dir/summary.png")" ] || same=no
        done
        echo "$program: summary.png of both builds identical: $same" >> "$results.notes"
    done
    header
    report "blockmap dense" blockmap-fast blockmap-reference
    report "stepmap dense" stepmap-fast stepmap-reference
    cat "$results.notes" && rm -f "$results.notes"
fi

if [ "$threads" = 1 ]; then
    echo
    echo "== The year with -j 1 and -j 2 (fast build; reference for comparison)"
    # A winter without the option takes "-j" for the input label and asks
    # for the map Dorm5_Yr-j.png.
    probe=$(mktemp -d)
    if (cd "$probe" && "$fast/distribute/winter" -j 1 1 2 2>&1 || true) | grep -q 'Yr-j'; then
        echo "skipped: this winter does not accept -j yet"
    else
        for workload in "${chosen[@]}"; do
            dir=$work/$workload
            for ((run = 1; run <= runs; ++run)); do
                timed "j1-$workload" "$dir" "$fast/distribute/winter" -j 1 1 2
                timed "j2-$workload" "$dir" "$fast/distribute/winter" -j 2 1 2
            done
            rm -f "$dir/Seeds_Yr2.dat"
        done
        header
        for workload in "${chosen[@]}"; do
            report "-j 1 vs ref, $workload" "j1-$workload" "year-$workload-reference"
            report "-j 2 vs ref, $workload" "j2-$workload" "year-$workload-reference"
        done
    fi
    rm -rf "$probe"
fi
