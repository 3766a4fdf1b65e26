// The deviates of ibeta(1, 1), made many at a time and reduced to what the
// seed decisions need of them: their rank among a few fixed thresholds.
//
// A stream here is the whole state of ran1 for one seed word (the 32-entry
// shuffle table, iy and the seed word), owned by the engine rather than
// shared with the process, so several streams can run at once.  Started
// from the same seed word, it hands out the same uniforms as ran1 and the
// same deviates as ibeta, in the same order.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace seedbank {

// ran1's state after any number of draws: 34 words.
struct generator_state {
    std::array<int32_t, 32> iv{};
    int32_t iy = 0;
    int32_t idum = 0;
    bool operator==(const generator_state &) const = default;
};

// ibeta's seed word at the start of every run.
constexpr int32_t default_seed_word = -911;

// 16807 * s mod 2147483647 for s in 1..2147483646: the 64-bit product is at
// most 46 bits, and 2^31 = 1 (mod 2^31 - 1) folds its high bits onto its low
// 31 bits; the sum is below 2 * (2^31 - 1), so one subtraction ends it.
// Equal to ran1_step on that whole domain (checked for every s).
inline int32_t fold_step(int32_t s)
{
    constexpr uint64_t modulus = 2147483647u;
    const uint64_t product = static_cast<uint64_t>(s) * 16807u;
    uint64_t folded = (product & modulus) + (product >> 31);
    if (folded >= modulus)
        folded -= modulus;
    return static_cast<int32_t>(folded);
}

// The state ran1 builds when it (re)fills its table from `seed_word` (any
// value; see ran1), before its first draw.
generator_state seeded_state(int32_t seed_word);

// One draw of the shuffle chain: steps the seed word, takes the table value
// out and puts the new seed word in its place.  Returns the table value;
// ran1 returns ran1_value of it.  The state must be filled (iy != 0).
inline int32_t next_table_value(generator_state &state)
{
    state.idum = fold_step(state.idum);
    const int j = state.iy >> 26;  // iy / 67108864, iy > 0
    state.iy = state.iv[static_cast<std::size_t>(j)];
    state.iv[static_cast<std::size_t>(j)] = state.idum;
    return state.iy;
}

// Advances the state by `deviates` ibeta(1, 1) deviates (two draws each).
void skip_deviates(generator_state &state, uint64_t deviates);

// A fixed set of thresholds (at most 255), sorted.  The rank of a deviate is
// the number of thresholds strictly below it, so "deviate <= threshold"
// holds exactly when rank <= index_of(threshold): one byte answers every
// comparison the seed decisions make.
class threshold_ranks {
public:
    explicit threshold_ranks(std::vector<double> thresholds);

    // The position of `threshold` among the sorted thresholds (the first,
    // when it occurs more than once; equal thresholds answer alike).
    uint8_t index_of(double threshold) const;
    const std::vector<double> &sorted() const { return sorted_; }

    // The rank of a deviate given in extended precision: the reference.
    uint8_t rank_of(long double deviate) const;

    // The rank of gamma_nu / (gamma_nu + gamma_omega) formed in extended
    // precision, as ibeta forms it.  The quotient is first formed in double,
    // whose error is below 2^-53; it decides the rank through a table of
    // 4096 slices of (0, 1) unless a threshold lies within 2^-50 of its
    // slice, and then the extended quotient is compared directly.
    uint8_t rank_of_gammas(float gamma_nu, float gamma_omega) const
    {
        const double sum = static_cast<double>(gamma_nu) + static_cast<double>(gamma_omega);
        const double quotient = static_cast<double>(gamma_nu) / sum;
        // quotient lies in (0, 1); the product by 4096 is exact.
        const auto slice = static_cast<unsigned>(quotient * slices);
        const uint8_t rank = slice_rank_[slice < slices ? slice : slices - 1];
        if (rank != undecided)
            return rank;
        return rank_of(static_cast<long double>(gamma_nu) / static_cast<long double>(sum));
    }

private:
    static constexpr unsigned slices = 4096;
    static constexpr uint8_t undecided = 255;
    std::vector<double> sorted_;
    std::array<uint8_t, slices> slice_rank_{};
};

// The ranks of the next n deviates of the stream, fast: uniforms from the
// chain in batches, their gammas through gamma_batch, ranks from the gammas.
void make_ranks(generator_state &state, const threshold_ranks &ranks, uint8_t *out, std::size_t n);

// The same, one deviate at a time through ran1_value, ibeta_gamma and
// ibeta_quotient: the reference for make_ranks.
void make_ranks_plain(generator_state &state, const threshold_ranks &ranks, uint8_t *out,
                      std::size_t n);

}  // namespace seedbank
