// The deviate engine against ran1 and ibeta: the folded step, the private
// stream, the ranks and the batch path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "beta.h"
#include "deviate_engine.h"
#include "random.h"

namespace {

using namespace seedbank;

// The year's twelve thresholds: 1 - pred (in double, from the float) and
// d_prob (as float) of the six cohorts.
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

// "deviate <= t" for every threshold, answered by the rank.
void expect_rank_answers(const threshold_ranks &ranks, long double deviate, uint8_t rank)
{
    for (const double t : ranks.sorted())
        EXPECT_EQ(rank <= ranks.index_of(t), deviate <= static_cast<long double>(t))
            << "deviate " << static_cast<double>(deviate) << " threshold " << t;
}

class FreshModules : public ::testing::Test {
protected:
    void SetUp() override
    {
        restart_random_module();
        restart_beta_stream();
    }
};

}  // namespace

// The folded product against Schrage's division: the ends of the domain,
// every value around a multiple of Schrage's quotient (where its correction
// changes) and a spread of the rest.
TEST(FoldStep, EqualsRan1StepOnASpreadOfTheDomain)
{
    uint64_t differences = 0;
    for (int32_t s = 1; s < 1000000; ++s)
        differences += fold_step(s) != ran1_step(s) ? 1 : 0;
    for (int32_t s = 2147483646; s > 2147483646 - 1000000; --s)
        differences += fold_step(s) != ran1_step(s) ? 1 : 0;
    for (int64_t k = 1; k * 127773 < 2147483647; ++k)
        for (int64_t s = k * 127773 - 2; s <= k * 127773 + 2 && s < 2147483647; ++s)
            differences += fold_step(static_cast<int32_t>(s)) != ran1_step(static_cast<int32_t>(s)) ? 1 : 0;
    for (int32_t s = 1; s < 2147483647 - 997; s += 997)
        differences += fold_step(s) != ran1_step(s) ? 1 : 0;
    EXPECT_EQ(differences, 0u);
}

// Every seed word the generator can hold (a few seconds: run by
// tools/slow_checks.sh).
TEST(FoldStep, DISABLED_SlowEqualsRan1StepOnTheWholeDomain)
{
    uint64_t differences = 0;
    for (int32_t s = 1; s < 2147483647; ++s)
        differences += fold_step(s) != ran1_step(s) ? 1 : 0;
    EXPECT_EQ(differences, 0u);
}

struct SeedCase {
    const char *name;
    int32_t seed_word;
};

class SeededState : public ::testing::TestWithParam<SeedCase> {
protected:
    void SetUp() override { restart_random_module(); }
};

// The private stream hands out ran1's uniforms, and leaves ran1's seed word.
TEST_P(SeededState, GivesRan1sUniforms)
{
    int32_t idum = GetParam().seed_word;
    generator_state state = seeded_state(GetParam().seed_word);
    for (int i = 0; i < 100000; ++i) {
        const float expected = ran1(&idum);
        ASSERT_EQ(ran1_value(next_table_value(state)), expected) << "draw " << i;
        ASSERT_EQ(state.idum, idum) << "draw " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, SeededState,
                         ::testing::Values(SeedCase{"Default", -911}, SeedCase{"MinusOne", -1},
                                           SeedCase{"Zero", 0}, SeedCase{"Positive", 12345},
                                           SeedCase{"Large", -2147483646},
                                           SeedCase{"MostNegative", INT32_MIN}),
                         [](const auto &instance) { return std::string(instance.param.name); });

TEST(SkipDeviates, IsTwoDrawsPerDeviate)
{
    generator_state skipped = seeded_state(default_seed_word);
    generator_state drawn = skipped;
    skip_deviates(skipped, 1000);
    for (int i = 0; i < 2000; ++i)
        next_table_value(drawn);
    EXPECT_EQ(skipped, drawn);
}

// The rank answers every comparison exactly at, and one long double or one
// double step around, every threshold.
TEST(ThresholdRanks, AnswerEveryComparisonAroundEveryThreshold)
{
    const threshold_ranks ranks(year_thresholds());
    ASSERT_EQ(ranks.sorted().size(), 12u);
    for (const double t : ranks.sorted()) {
        const long double at = t;
        const long double around[] = {
            at,
            std::nextafter(at, 0.0L),
            std::nextafter(at, 1.0L),
            static_cast<long double>(std::nextafter(t, 0.0)),
            static_cast<long double>(std::nextafter(t, 1.0)),
            // The float neighbours: a deviate rounded to float would meet these.
            static_cast<long double>(std::nextafter(static_cast<float>(t), 0.0f)),
            static_cast<long double>(std::nextafter(static_cast<float>(t), 1.0f)),
        };
        for (const long double deviate : around)
            expect_rank_answers(ranks, deviate, ranks.rank_of(deviate));
    }
}

TEST(ThresholdRanks, EqualThresholdsAnswerAlike)
{
    const threshold_ranks ranks({0.5, 0.25, 0.5, 0.75});
    EXPECT_EQ(ranks.index_of(0.5), 1);
    expect_rank_answers(ranks, 0.5L, ranks.rank_of(0.5L));
    expect_rank_answers(ranks, std::nextafter(0.5L, 1.0L), ranks.rank_of(std::nextafter(0.5L, 1.0L)));
    EXPECT_THROW(ranks.index_of(0.3), std::invalid_argument);
}

// Gamma pairs whose quotient lies at or within a few float steps of each
// threshold (and exactly on 0.5 and 0.75, which the year's thresholds hold):
// the fast rank is the rank of ibeta's extended quotient.
TEST(ThresholdRanks, RankOfGammasNearEveryThreshold)
{
    const threshold_ranks ranks(year_thresholds());
    std::mt19937 random(7);
    std::uniform_real_distribution<float> gamma_nu(1.2e-7f, 13.8f);
    uint64_t checked = 0;
    for (const double t : ranks.sorted()) {
        for (int trial = 0; trial < 20000; ++trial) {
            const float g1 = gamma_nu(random);
            float g2 = static_cast<float>(static_cast<double>(g1) * (1.0 - t) / t);
            for (int step = 0; step < 4; ++step)
                g2 = std::nextafter(g2, 0.0f);
            for (int step = 0; step < 8; ++step, g2 = std::nextafter(g2, 100.0f)) {
                if (!(g2 > 0.0f))
                    continue;
                const long double q = ibeta_quotient(g1, g2);
                ASSERT_EQ(ranks.rank_of_gammas(g1, g2), ranks.rank_of(q)) << g1 << " " << g2;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 900000u);
    // Quotients exactly on a threshold count as at or below it.
    EXPECT_EQ(ranks.rank_of_gammas(2.0f, 2.0f), ranks.index_of(0.5));
    EXPECT_EQ(ranks.rank_of_gammas(3.0f, 1.0f), ranks.index_of(0.75));
}

// Millions of deviates of the default stream: the batch engine, the plain
// engine and ibeta itself give the same ranks.
TEST_F(FreshModules, BatchRanksEqualIbetaOnTheDefaultStream)
{
    const threshold_ranks ranks(year_thresholds());
    constexpr std::size_t n = 4000000;
    std::vector<uint8_t> fast(n);
    std::vector<uint8_t> plain(n);
    generator_state a = seeded_state(default_seed_word);
    generator_state b = a;
    make_ranks(a, ranks, fast.data(), 1234);  // a partial batch first
    make_ranks(a, ranks, fast.data() + 1234, n - 1234);
    make_ranks_plain(b, ranks, plain.data(), n);
    EXPECT_EQ(a, b);
    for (std::size_t i = 0; i < n; ++i) {
        const uint8_t expected = ranks.rank_of(ibeta(1, 1));
        ASSERT_EQ(fast[i], expected) << "deviate " << i;
        ASSERT_EQ(plain[i], expected) << "deviate " << i;
    }
}

TEST(DeviateEngine, BatchRanksEqualPlainRanksOnOtherSeeds)
{
    const threshold_ranks ranks(year_thresholds());
    for (const int32_t seed : {-1, -2, -123456789, 42}) {
        constexpr std::size_t n = 1000000;
        std::vector<uint8_t> fast(n);
        std::vector<uint8_t> plain(n);
        generator_state a = seeded_state(seed);
        generator_state b = a;
        make_ranks(a, ranks, fast.data(), n);
        make_ranks_plain(b, ranks, plain.data(), n);
        EXPECT_EQ(fast, plain) << "seed " << seed;
        EXPECT_EQ(a, b);
    }
}
