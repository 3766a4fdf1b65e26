// Painting the 6000 x 6000 summary grid: the tiled pass over the image's
// pixel rows against the reference painting with one library call per
// pixel, side by side on the same grid; and the whole picture (image made,
// painted, shrunk and framed) from every pixel against from the sampled
// pixels alone.
#include <benchmark/benchmark.h>

#include "ranged_arrays.h"
#include "sampled_painting.h"
#include "summary_image.h"

using namespace seedbank;
using namespace seedbank::summarize;

namespace {

constexpr int side = 6000;

// A grid with every value 0..255 spread over the data area and margins.
unsigned char **dense_grid()
{
    unsigned char **field = cmatrix(1, side, 1, side);
    unsigned int state = 12345;
    for (int x = 1; x <= side; ++x)
        for (int y = 1; y <= side; ++y) {
            state = state * 1103515245u + 12345u;
            field[x][y] = static_cast<unsigned char>(state >> 24);
        }
    return field;
}

template <void (*paint)(gdImagePtr, unsigned char **, const unsigned char *, int)>
void paint_grid(benchmark::State &state)
{
    unsigned char **field = dense_grid();
    unsigned char *pallet = cvector(0, 255);
    for (auto _ : state) {
        gdImagePtr image = gdImageCreate(side, side);
        allocate_pallet(image, pallet, colour_ramp::green);
        paint(image, field, pallet, 1);
        benchmark::DoNotOptimize(image->pixels[side / 2][side / 2]);
        gdImageDestroy(image);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(side) * side);
    free_cvector(pallet, 0, 255);
    free_cmatrix(field, 1, side, 1, side);
}

BENCHMARK(paint_grid<paint_summary>)->Name("paint_summary_tiled")->Unit(benchmark::kMillisecond);
BENCHMARK(paint_grid<paint_summary_by_pixel>)->Name("paint_summary_by_pixel")->Unit(benchmark::kMillisecond);

// The picture as make_summary_image makes it, short of writing the file.
template <int painted_side, void (*paint)(gdImagePtr, unsigned char **, const unsigned char *, int)>
void summary_picture(benchmark::State &state)
{
    unsigned char **field = dense_grid();
    unsigned char *pallet = cvector(0, 255);
    for (auto _ : state) {
        gdImagePtr image = gdImageCreate(painted_side, painted_side);
        allocate_pallet(image, pallet, colour_ramp::green);
        paint(image, field, pallet, 1);
        gd_image shrunk = shrink_and_frame(image);
        benchmark::DoNotOptimize(shrunk->pixels[300][300]);
        gdImageDestroy(image);
    }
    free_cvector(pallet, 0, 255);
    free_cmatrix(field, 1, side, 1, side);
}

BENCHMARK(summary_picture<side, paint_summary_by_pixel>)
    ->Name("summary_picture_every_pixel_by_call")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(summary_picture<summary_side, paint_sampled_pixels>)
    ->Name("summary_picture_sampled_pixels")
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
