// ibeta on its own stream (seed word -911) over ran1's shared table.
// Every test starts from a fresh module state, so the binary passes both
// test by test (ctest) and as a whole.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "beta.h"
#include "random.h"

using namespace seedbank;

namespace {

uint32_t bits(float f) { return std::bit_cast<uint32_t>(f); }

constexpr uint32_t floor_bits = 0x415D0C55;  // 13.815510749816895f

class BetaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        restart_random_module();
        restart_beta_stream();
    }
};

// The first n uniforms of the -911 stream of a fresh process.  Leaves the
// modules fresh again.
std::vector<float> stream_911(int n)
{
    restart_random_module();
    std::vector<float> u;
    int32_t seed = -911;
    for (int i = 0; i < n; ++i)
        u.push_back(ran1(&seed));
    restart_random_module();
    restart_beta_stream();
    return u;
}

// ibeta(nu, omega) rebuilt from recorded uniforms, starting at u[next].
long double model_ibeta(const std::vector<float> &u, size_t &next, int nu, int omega)
{
    float product_nu = 1.0f;
    for (int i = 0; i < nu; ++i)
        product_nu *= u.at(next++);
    const float gamma_nu = ibeta_gamma(product_nu);
    float product_omega = 1.0f;
    for (int i = 0; i < omega; ++i)
        product_omega *= u.at(next++);
    return ibeta_quotient(gamma_nu, ibeta_gamma(product_omega));
}

}  // namespace

TEST_F(BetaTest, FiveReferenceValues)
{
    const std::vector<long double> expected = {0.8211182L, 0.9600335L, 0.9423857L,
                                               0.5183727L, 0.0452022L};
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_NEAR(static_cast<double>(ibeta(1, 1)), static_cast<double>(expected[k]), 5e-8)
            << "call " << k + 1;
}

// The first call uses uniforms 0.495192677 and 0.858037233 and forms gammas
// 0.702808321 and 0.153107792; its result is their extended-precision quotient.
TEST_F(BetaTest, FirstCallGammas)
{
    const float gamma_nu = ibeta_gamma(0.495192677f);
    const float gamma_omega = ibeta_gamma(0.858037233f);
    EXPECT_EQ(bits(gamma_nu), bits(0.702808321f));
    EXPECT_EQ(bits(gamma_omega), bits(0.153107792f));
    EXPECT_EQ(ibeta(1, 1), ibeta_quotient(gamma_nu, gamma_omega));
}

TEST(BetaGamma, Cases)
{
    struct Case {
        float product;
        float expected;  // compared by bit pattern
    };
    const float just_above_threshold = std::nextafter(1e-6f, 1.0f);  // 1.00000011e-6
    const std::vector<Case> cases = {
        {5e-7f, std::bit_cast<float>(floor_bits)},   // below the threshold: the floor
        {1e-6f, std::bit_cast<float>(floor_bits)},   // 9.99999997e-7 < 1e-6 (double)
        {0.0f, std::bit_cast<float>(floor_bits)},    // an underflowed product
        {just_above_threshold,
         static_cast<float>(-std::log(static_cast<double>(just_above_threshold)))},
        {0.5f, static_cast<float>(-std::log(0.5))},
        {0.99999988f, static_cast<float>(-std::log(static_cast<double>(0.99999988f)))},
    };
    for (const Case &c : cases)
        EXPECT_EQ(bits(ibeta_gamma(c.product)), bits(c.expected)) << c.product;
    EXPECT_EQ(ibeta_gamma(1.0f), 0.0f);                 // an empty product
    EXPECT_EQ(ibeta_gamma(5e-7f), 13.815510749816895f);
    // The floor is continuous with the logarithm: just above the threshold
    // -log rounds to the floor's own single-precision value.
    EXPECT_EQ(bits(ibeta_gamma(just_above_threshold)), floor_bits);
    EXPECT_LT(ibeta_gamma(2e-6f), 13.815510749816895f);
}

// A first uniform of 5e-7 gives gamma_nu the floor and a result close to 1;
// a second one gives gamma_omega the floor and a result close to 0.
TEST(BetaQuotient, FloorCase)
{
    const float floor_value = std::bit_cast<float>(floor_bits);
    const float gamma_omega = ibeta_gamma(0.858037233f);
    const long double high = ibeta_quotient(ibeta_gamma(5e-7f), gamma_omega);
    EXPECT_EQ(high, static_cast<long double>(floor_value) /
                        (static_cast<long double>(floor_value) + gamma_omega));
    EXPECT_GT(high, 0.98L);
    EXPECT_LT(high, 1.0L);
    const long double low = ibeta_quotient(ibeta_gamma(0.495192677f), ibeta_gamma(5e-7f));
    EXPECT_GT(low, 0.0L);
    EXPECT_LT(low, 0.06L);
}

// End to end: a product of forty uniforms lies below 1e-6, so ibeta(40, 1)
// takes the floor for gamma_nu, and ibeta(1, 40) for gamma_omega.
TEST_F(BetaTest, ManyDrawsReachTheFloor)
{
    const std::vector<float> u = stream_911(82);
    float product = 1.0f;
    for (int i = 0; i < 40; ++i)
        product *= u[i];
    ASSERT_LE(static_cast<double>(product), 1e-6);
    const float floor_value = std::bit_cast<float>(floor_bits);
    EXPECT_EQ(ibeta(40, 1), ibeta_quotient(floor_value, ibeta_gamma(u[40])));
    product = 1.0f;
    for (int i = 42; i < 82; ++i)
        product *= u[i];
    ASSERT_LE(static_cast<double>(product), 1e-6);
    const long double low = ibeta(1, 40);
    EXPECT_EQ(low, ibeta_quotient(ibeta_gamma(u[41]), floor_value));
    EXPECT_GT(low, 0.0L);
}

// ibeta(0, 1): the first product stays 1, gamma_nu is 0 and so is the result;
// it still draws one uniform.
TEST_F(BetaTest, NuZeroGivesZeroAfterOneDraw)
{
    const std::vector<float> u = stream_911(3);
    EXPECT_EQ(ibeta(0, 1), 0.0L);
    EXPECT_EQ(ibeta(1, 1), ibeta_quotient(ibeta_gamma(u[1]), ibeta_gamma(u[2])));
}

// Each call consumes nu + omega uniforms, all nu draws first, products in
// single precision.
TEST_F(BetaTest, ConsumesNuPlusOmegaUniformsInOrder)
{
    struct Shape {
        int nu;
        int omega;
    };
    const std::vector<Shape> shapes = {{1, 1}, {2, 3}, {3, 1}, {1, 4}, {0, 2}, {5, 5}, {1, 1}};
    const std::vector<float> u = stream_911(40);
    size_t next = 0;
    for (const Shape &s : shapes) {
        SCOPED_TRACE(testing::Message() << "ibeta(" << s.nu << ", " << s.omega << ")");
        const long double expected = model_ibeta(u, next, s.nu, s.omega);
        EXPECT_EQ(ibeta(s.nu, s.omega), expected);
    }
}

// The deviate is delivered in extended precision, not rounded to double.
TEST_F(BetaTest, ResultKeepsExtendedPrecision)
{
    int beyond_double = 0;
    for (int k = 0; k < 5; ++k) {
        const long double v = ibeta(1, 1);
        EXPECT_GT(v, 0.0L);
        EXPECT_LT(v, 1.0L);
        if (static_cast<long double>(static_cast<double>(v)) != v)
            ++beyond_double;
    }
    EXPECT_GT(beyond_double, 0);
}

// The sum of the two gammas is formed exactly (in double).  Search the stream
// for the first ibeta(1, 1) call whose float sum would round, and check that
// the call's quotient uses the exact sum.
TEST_F(BetaTest, QuotientUsesTheExactSum)
{
    const std::vector<float> u = stream_911(200);
    int found_call = -1;
    float gamma_nu = 0, gamma_omega = 0;
    for (int k = 0; k < 100 && found_call < 0; ++k) {
        const float g1 = ibeta_gamma(u[2 * k]);
        const float g2 = ibeta_gamma(u[2 * k + 1]);
        const volatile float float_sum = g1 + g2;
        if (static_cast<double>(float_sum) != static_cast<double>(g1) + static_cast<double>(g2)) {
            found_call = k;
            gamma_nu = g1;
            gamma_omega = g2;
        }
    }
    ASSERT_GE(found_call, 0);
    const volatile float float_sum = gamma_nu + gamma_omega;
    const long double exact = static_cast<long double>(gamma_nu) /
                              (static_cast<long double>(gamma_nu) + gamma_omega);
    const long double with_float_sum =
        static_cast<long double>(gamma_nu) / static_cast<long double>(float_sum);
    ASSERT_NE(exact, with_float_sum);
    for (int k = 0; k < found_call; ++k)
        ibeta(1, 1);
    const long double result = ibeta(1, 1);
    EXPECT_EQ(result, exact) << "call " << found_call + 1;
    EXPECT_NE(result, with_float_sum);
    EXPECT_EQ(ibeta_quotient(gamma_nu, gamma_omega), exact);
}

// The extremes of the gammas (the floor and the smallest gamma, from the
// largest uniform) still sum exactly in double.
TEST(BetaQuotient, ExtremeGammasSumExactly)
{
    const float floor_value = std::bit_cast<float>(floor_bits);
    const float smallest = ibeta_gamma(std::bit_cast<float>(0x3F7FFFFEu));  // 1 - 2^-23
    ASSERT_GT(smallest, 1.1e-7f);
    ASSERT_LT(smallest, 1.3e-7f);
    EXPECT_EQ(static_cast<long double>(static_cast<double>(floor_value) + smallest),
              static_cast<long double>(floor_value) + smallest);
    const long double expected_high = static_cast<long double>(floor_value) /
                                      (static_cast<long double>(floor_value) + smallest);
    EXPECT_EQ(ibeta_quotient(floor_value, smallest), expected_high);
    EXPECT_LT(expected_high, 1.0L);
    const long double expected_low = static_cast<long double>(smallest) /
                                     (static_cast<long double>(smallest) + floor_value);
    EXPECT_EQ(ibeta_quotient(smallest, floor_value), expected_low);
    EXPECT_GT(expected_low, 0.0L);
}

// ibeta's stream shares ran1's table: rrandom's first call (seed word -1)
// refills it, and ibeta's positive seed word then receives the -1 table's
// entries, uniforms 2 and 3 of the seed -1 sequence.
TEST_F(BetaTest, SharesTheTableWithRrandom)
{
    EXPECT_EQ(ibeta(1, 1), ibeta_quotient(ibeta_gamma(0.495192677f), ibeta_gamma(0.858037233f)));
    EXPECT_EQ(rrandom(10), 4);
    EXPECT_EQ(ibeta(1, 1), ibeta_quotient(ibeta_gamma(0.091964893f), ibeta_gamma(0.75641048f)));
}

// restart_beta_stream() alone puts the seed word back to -911, which
// refills the table on the next call.
TEST_F(BetaTest, RestartedStreamRefillsTheTable)
{
    const long double first = ibeta(1, 1);
    ibeta(1, 1);
    restart_beta_stream();
    EXPECT_EQ(ibeta(1, 1), first);
}
