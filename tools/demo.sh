#!/usr/bin/env bash
# Builds everything, makes six demo seed maps, advances the seed bank by one
# year with winter, and renders the fresh-seed map and next year's 1-year
# map with blockmap and stepmap, plain and with their legends.  Everything
# lands in demo/ (or $DEMO_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install_dependencies.sh"
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target winter blockmap stepmap mkmap generate
demo=${DEMO_DIR:-$root/demo}
mkdir -p "$demo"
cd "$demo"

echo "== Demo seed maps of year 1 (5000 x 5000, made by mkmap)"
mkmap="$build/tools/mkmap"
"$mkmap" Seeds_Yr1.png 5000 5000 random 0.20 1 6 11
"$mkmap" Dorm1_Yr1.png 5000 5000 random 0.10 1 4 12
"$mkmap" Dorm2_Yr1.png 5000 5000 random 0.06 1 3 13
"$mkmap" Dorm3_Yr1.png 5000 5000 random 0.04 1 3 14
"$mkmap" Dorm4_Yr1.png 5000 5000 random 0.02 1 2 15
"$mkmap" Dorm5_Yr1.png 5000 5000 random 0.01 1 2 16

echo "== winter 1 2"
"$build/distribute/winter" 1 2

echo "== What winter wrote"
ls -l Dorm?_Yr2.png Seeds_Yr2.dat
echo "First lines of the seedling list Seeds_Yr2.dat:"
head -n 5 Seeds_Yr2.dat

echo "== blockmap -o blockmap_Seeds_Yr1.png Seeds_Yr1.png"
"$build/summarize/blockmap" -o blockmap_Seeds_Yr1.png Seeds_Yr1.png
echo "== stepmap -o stepmap_Dorm1_Yr2.png Dorm1_Yr2.png"
"$build/summarize/stepmap" -o stepmap_Dorm1_Yr2.png Dorm1_Yr2.png
echo "== The same pictures with their legends (-q: without progress)"
"$build/summarize/blockmap" -q --legend -o blockmap_legend_Seeds_Yr1.png Seeds_Yr1.png
"$build/summarize/stepmap" -q --legend -o stepmap_legend_Dorm1_Yr2.png Dorm1_Yr2.png
echo "== Done: the demo's files are in $demo (summary pictures: blockmap_Seeds_Yr1.png, stepmap_Dorm1_Yr2.png,"
echo "   blockmap_legend_Seeds_Yr1.png, stepmap_legend_Dorm1_Yr2.png)"
