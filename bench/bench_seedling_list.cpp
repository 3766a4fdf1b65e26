// The seedling list of a dense field (every cell 1..19 seedlings): one
// formatted print per line against the lines formatted by hand into blocks,
// side by side, both written through a buffered stream to /dev/null.
#include <cstdio>
#include <vector>

#include <benchmark/benchmark.h>

#include "seedling_lines.h"
#include "seedling_list.h"

namespace {

using seedbank::write_seedling;

constexpr int columns = 100;
constexpr int rows = 5000;

struct dense_columns {
    std::vector<std::vector<unsigned char>> cells;
    std::vector<const unsigned char *> column;
    long long lines = 0;

    dense_columns() : cells(columns + 1, std::vector<unsigned char>(rows + 1)), column(columns + 1)
    {
        unsigned int state = 12345;
        for (int x = 1; x <= columns; ++x) {
            column[static_cast<std::size_t>(x)] = cells[static_cast<std::size_t>(x)].data();
            for (int y = 1; y <= rows; ++y) {
                state = state * 1103515245u + 12345u;
                const auto count = static_cast<unsigned char>(1 + (state >> 16) % 19);
                cells[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)] = count;
                lines += count;
            }
        }
    }
};

void list_by_fprintf(benchmark::State &state)
{
    dense_columns grid;
    FILE *sink = std::fopen("/dev/null", "w");
    for (auto _ : state)
        for (int x = 1; x <= columns; ++x)
            for (int y = 1; y <= rows; ++y)
                for (int i = 0; i < grid.column[static_cast<std::size_t>(x)][y]; ++i)
                    write_seedling(sink, x, y);
    std::fclose(sink);
    state.SetItemsProcessed(state.iterations() * grid.lines);
}
BENCHMARK(list_by_fprintf)->Unit(benchmark::kMillisecond);

void list_in_blocks(benchmark::State &state)
{
    dense_columns grid;
    FILE *sink = std::fopen("/dev/null", "w");
    const seedbank::seedling_grid_formatter formatter(rows);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            formatter.format_columns(grid.column.data(), 1, columns, seedbank::stream_sink(sink)));
    std::fclose(sink);
    state.SetItemsProcessed(state.iterations() * grid.lines);
}
BENCHMARK(list_in_blocks)->Unit(benchmark::kMillisecond);

void lines_one_by_one_in_blocks(benchmark::State &state)
{
    dense_columns grid;
    FILE *sink = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        seedbank::seedling_line_writer writer(sink);
        for (int x = 1; x <= columns; ++x)
            for (int y = 1; y <= rows; ++y)
                for (int i = 0; i < grid.column[static_cast<std::size_t>(x)][y]; ++i)
                    writer.add(x, y);
    }
    std::fclose(sink);
    state.SetItemsProcessed(state.iterations() * grid.lines);
}
BENCHMARK(lines_one_by_one_in_blocks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
