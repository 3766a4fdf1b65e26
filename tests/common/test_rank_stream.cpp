// The ranks of the threaded stream against the plain deviates, one by one,
// across piece and segment boundaries, from stored and walked states.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "beta.h"
#include "deviate_engine.h"
#include "random.h"
#include "rank_stream.h"

namespace {

using namespace seedbank;

std::vector<double> year_thresholds()
{
    const float d_prob[] = {0.48f, 0.9f, 0.95f, 0.89f, 0.88f, 0.75f};
    const float pred[] = {0.8f, 0.7f, 0.6f, 0.5f, 0.45f, 0.4f};
    std::vector<double> t;
    for (int i = 0; i < 6; ++i) {
        t.push_back(1.0 - static_cast<double>(pred[i]));
        t.push_back(static_cast<double>(d_prob[i]));
    }
    return t;
}

// The states of the stream of `seed_word` every `spacing` deviates.
std::vector<generator_state> states_every(int32_t seed_word, uint64_t spacing, std::size_t count)
{
    std::vector<generator_state> states;
    generator_state state = seeded_state(seed_word);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            skip_deviates(state, spacing);
        states.push_back(state);
    }
    return states;
}

struct StreamCase {
    const char *name;
    int32_t seed_word;
    int threads;
    uint64_t spacing;     // deviates per segment
    std::size_t stored;   // stored states given; the walker goes beyond
    std::size_t deviates; // compared
};

class RankStream : public ::testing::TestWithParam<StreamCase> {};

}  // namespace

TEST_P(RankStream, GivesThePlainRanksInOrder)
{
    const StreamCase &c = GetParam();
    const threshold_ranks ranks(year_thresholds());
    const std::vector<generator_state> stored = states_every(c.seed_word, c.spacing, c.stored);
    std::vector<uint8_t> expected(c.deviates);
    generator_state plain = seeded_state(c.seed_word);
    make_ranks_plain(plain, ranks, expected.data(), expected.size());

    rank_stream stream(ranks, c.seed_word, c.threads, stored, c.spacing);
    for (std::size_t k = 0; k < c.deviates; ++k)
        ASSERT_EQ(stream.next(), expected[k]) << "deviate " << k;
}

// Small segments put many boundaries into a short stream; a segment of
// 2^17 deviates is read in two pieces.
INSTANTIATE_TEST_SUITE_P(
    Cases, RankStream,
    ::testing::Values(StreamCase{"Alone", -911, 1, 4096, 0, 300000},
                      StreamCase{"TwoThreadsStoredThenWalked", -911, 2, 4096, 10, 300000},
                      StreamCase{"FourThreadsStoredThenWalked", -911, 4, 4096, 10, 300000},
                      StreamCase{"TwoThreadsWalkedOnly", -911, 2, 4096, 0, 300000},
                      StreamCase{"TwoThreadsOtherSeed", -4711, 2, 4096, 3, 300000},
                      StreamCase{"FourThreadsOtherSeedWalked", -123456789, 4, 8192, 0, 300000},
                      StreamCase{"TwoPiecesPerSegment", -911, 2, 131072, 2, 700000},
                      StreamCase{"FourThreadsPositiveSeed", 12345, 4, 4096, 0, 100000}),
    [](const auto &instance) { return std::string(instance.param.name); });

class DefaultRankStream : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        restart_random_module();
        restart_beta_stream();
    }
};

// The repository's stored states: the k-th rank is the rank of the k-th
// ibeta(1, 1) of a fresh process, over two stored-state boundaries.
TEST_P(DefaultRankStream, GivesTheRanksOfIbeta)
{
    const threshold_ranks ranks(year_thresholds());
    rank_stream stream(ranks, GetParam());
    const std::size_t deviates = 2 * (std::size_t{1} << 22) + 100000;
    for (std::size_t k = 0; k < deviates; ++k)
        ASSERT_EQ(stream.next(), ranks.rank_of(ibeta(1, 1))) << "deviate " << k;
}

INSTANTIATE_TEST_SUITE_P(Threads, DefaultRankStream, ::testing::Values(1, 2, 4),
                         [](const auto &instance) { return std::to_string(instance.param) + "Threads"; });

// A stream abandoned early stops its threads.
TEST(RankStreamLifetime, StopsWhenDroppedEarly)
{
    const threshold_ranks ranks(year_thresholds());
    for (const int threads : {2, 4}) {
        rank_stream stream(ranks, -911, threads, {}, 4096);
        for (int k = 0; k < 10; ++k)
            stream.next();
    }
    rank_stream never_read(ranks, 4);
}
