// Cost of the deviates on winter's innermost path: one ibeta(1, 1) per
// predation or dormancy decision, two ran1 calls and two logarithms each.
// Beside it the engine's ranks, and the bare shuffle chain that bounds any
// single-threaded route from below.
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "beta.h"
#include "deviate_engine.h"
#include "random.h"
#include "rank_stream.h"

using namespace seedbank;

namespace {

using namespace seedbank;

void ran1_uniform(benchmark::State &state)
{
    restart_random_module();
    int32_t idum = -911;
    for (auto _ : state)
        benchmark::DoNotOptimize(ran1(&idum));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ran1_uniform);

void ibeta_one_one(benchmark::State &state)
{
    restart_random_module();
    restart_beta_stream();
    for (auto _ : state)
        benchmark::DoNotOptimize(ibeta(1, 1));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ibeta_one_one);

// The year's twelve thresholds.
threshold_ranks year_ranks()
{
    const float d_prob[] = {0.48f, 0.9f, 0.95f, 0.89f, 0.88f, 0.75f};
    const float pred[] = {0.8f, 0.7f, 0.6f, 0.5f, 0.45f, 0.4f};
    std::vector<double> t;
    for (int i = 0; i < 6; ++i) {
        t.push_back(1.0 - static_cast<double>(pred[i]));
        t.push_back(static_cast<double>(d_prob[i]));
    }
    return threshold_ranks(t);
}

constexpr std::size_t block = 1 << 16;

// Items are deviates: two draws of the chain each.
void bare_shuffle_chain(benchmark::State &state)
{
    generator_state stream = seeded_state(default_seed_word);
    for (auto _ : state) {
        int32_t last = 0;
        for (std::size_t i = 0; i < 2 * block; ++i)
            last = next_table_value(stream);
        benchmark::DoNotOptimize(last);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * block);
}
BENCHMARK(bare_shuffle_chain);

void engine_ranks_plain(benchmark::State &state)
{
    const threshold_ranks ranks = year_ranks();
    generator_state stream = seeded_state(default_seed_word);
    std::vector<uint8_t> out(block);
    for (auto _ : state) {
        make_ranks_plain(stream, ranks, out.data(), block);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * block);
}
BENCHMARK(engine_ranks_plain);

void engine_ranks(benchmark::State &state)
{
    const threshold_ranks ranks = year_ranks();
    generator_state stream = seeded_state(default_seed_word);
    std::vector<uint8_t> out(block);
    for (auto _ : state) {
        make_ranks(stream, ranks, out.data(), block);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * block);
}
BENCHMARK(engine_ranks);

// The year's consumer side: ranks read one by one from the rank stream, made
// by `threads` producers (1: made by the reader itself).  Real time, since
// the work is spread over threads.
void rank_stream_next(benchmark::State &state)
{
    rank_stream stream(year_ranks(), static_cast<int>(state.range(0)));
    for (auto _ : state) {
        unsigned sum = 0;
        for (std::size_t i = 0; i < block; ++i)
            sum += stream.next();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * block);
}
BENCHMARK(rank_stream_next)->Arg(1)->Arg(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
