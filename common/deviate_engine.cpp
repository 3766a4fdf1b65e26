// ibeta(1, 1) deviates in batches, reduced to ranks among fixed thresholds.
#include "deviate_engine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "beta.h"
#include "gamma_batch.h"
#include "random.h"

namespace seedbank {

namespace {

constexpr int table_size = 32;
constexpr int init_steps = 40;  // the first 8 are discarded

// 1 - 2^-23: ran1 returns the smaller of this and the rounded product.
constexpr float clamp_value = 0x1.fffffcp-1f;
constexpr double scale = 0x1.00000002p-31;

// Deviates per batch: the chain runs alone first, then the independent
// work (scaling, logarithms, quotients) runs over the whole batch.
constexpr std::size_t batch = 512;

// ran1_value over a batch: the product rounded once to float, then the
// clamp, which only the three floats 1 - 2^-23, 1 - 2^-24 and 1 exceed, so
// it is the smaller of the two.
void table_values_to_uniforms(const int32_t *table_value, float *u, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        u[i] = std::min(static_cast<float>(static_cast<double>(table_value[i]) * scale), clamp_value);
}

}  // namespace

generator_state seeded_state(int32_t seed_word)
{
    generator_state state;
    // As ran1: -s seeds with s; 0, positive values and INT32_MIN with 1.
    int32_t s = (seed_word < 0 && seed_word != std::numeric_limits<int32_t>::min()) ? -seed_word : 1;
    for (int j = init_steps - 1; j >= 0; --j) {
        s = ran1_step(s);
        if (j < table_size)
            state.iv[static_cast<std::size_t>(j)] = s;
    }
    state.iy = state.iv[0];
    state.idum = s;
    return state;
}

void skip_deviates(generator_state &state, uint64_t deviates)
{
    for (uint64_t i = 0; i < deviates; ++i) {
        next_table_value(state);
        next_table_value(state);
    }
}

threshold_ranks::threshold_ranks(std::vector<double> thresholds) : sorted_(std::move(thresholds))
{
    if (sorted_.size() >= undecided)
        throw std::invalid_argument("at most 254 thresholds");
    std::sort(sorted_.begin(), sorted_.end());
    // A slice is decided when no threshold lies within 2^-50 of it: the
    // double quotient is within 2^-53 of the extended one, so both fall on
    // the same side of every threshold.
    const double margin = 0x1p-50;
    for (unsigned slice = 0; slice < slices; ++slice) {
        const double low = static_cast<double>(slice) / slices;
        const double high = static_cast<double>(slice + 1) / slices;
        const bool near = std::any_of(sorted_.begin(), sorted_.end(), [&](double t) {
            return t >= low - margin && t <= high + margin;
        });
        slice_rank_[slice] = near ? undecided : rank_of(static_cast<long double>(low));
    }
}

uint8_t threshold_ranks::index_of(double threshold) const
{
    const auto at = std::lower_bound(sorted_.begin(), sorted_.end(), threshold);
    if (at == sorted_.end() || *at != threshold)
        throw std::invalid_argument("not one of the thresholds");
    return static_cast<uint8_t>(at - sorted_.begin());
}

uint8_t threshold_ranks::rank_of(long double deviate) const
{
    uint8_t rank = 0;
    for (const double t : sorted_)
        rank = static_cast<uint8_t>(rank + (static_cast<long double>(t) < deviate ? 1 : 0));
    return rank;
}

namespace {

// The work on a batch of table values that does not depend on the chain:
// uniforms, gammas, ranks.  Done in pieces, so it can run while the chain of
// the next batch waits on its loads.
constexpr std::size_t piece = 16;  // deviates

void rank_piece(const int32_t *table_value, const threshold_ranks &ranks, uint8_t *out,
                std::size_t n)
{
    float u[2 * piece];
    table_values_to_uniforms(table_value, u, 2 * n);
    gamma_batch(u, u, 2 * n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = ranks.rank_of_gammas(u[2 * i], u[2 * i + 1]);
}

}  // namespace

void make_ranks(generator_state &state, const threshold_ranks &ranks, uint8_t *out, std::size_t n)
{
    // The chain is a serial run of dependent loads; the rest is independent
    // arithmetic.  Interleaving the previous batch's pieces with the chain of
    // the current batch lets the processor do both at once.
    static_assert(batch % piece == 0);
    int32_t table_value[2][2 * batch];
    std::size_t pending = 0;      // deviates of the previous batch
    uint8_t *pending_out = out;
    int current = 0;
    while (n > 0 || pending > 0) {
        const std::size_t count = std::min(n, batch);
        int32_t *chain = table_value[current];
        const int32_t *previous = table_value[1 - current];
        std::size_t drawn = 0;
        for (std::size_t done = 0; done < pending; done += piece) {
            const std::size_t here = std::min(piece, pending - done);
            const std::size_t draw_to = std::min(2 * count, drawn + 2 * piece);
            for (; drawn < draw_to; ++drawn)
                chain[drawn] = next_table_value(state);
            rank_piece(previous + 2 * done, ranks, pending_out + done, here);
        }
        for (; drawn < 2 * count; ++drawn)
            chain[drawn] = next_table_value(state);
        pending_out += pending;
        pending = count;
        n -= count;
        current = 1 - current;
    }
}

void make_ranks_plain(generator_state &state, const threshold_ranks &ranks, uint8_t *out,
                      std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const float gamma_nu = ibeta_gamma(ran1_value(next_table_value(state)));
        const float gamma_omega = ibeta_gamma(ran1_value(next_table_value(state)));
        out[i] = ranks.rank_of(ibeta_quotient(gamma_nu, gamma_omega));
    }
}

}  // namespace seedbank
