// Cost of the deviates on winter's innermost path: one ibeta(1, 1) per
// predation or dormancy decision, two ran1 calls and two logarithms each.
#include <cstdint>

#include <benchmark/benchmark.h>

#include "beta.h"
#include "random.h"

using namespace seedbank;

namespace {

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

}  // namespace

BENCHMARK_MAIN();
