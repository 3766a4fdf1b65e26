// The batch gammas against ibeta_gamma, for every float they can be given.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "beta.h"
#include "gamma_batch.h"

namespace {

using namespace seedbank;

constexpr uint32_t largest_uniform_bits = 0x3F7FFFFE;  // 1 - 2^-23
constexpr uint32_t smallest_uniform_bits = 0x30000000;  // 2^-31

// Every float from `first` to `last` (bit patterns, inclusive) through
// gamma_batch and through ibeta_gamma; returns the number that differ.
uint64_t count_differences(uint32_t first, uint32_t last)
{
    constexpr uint32_t chunk = 1u << 16;
    std::vector<float> u(chunk);
    std::vector<float> gamma(chunk);
    uint64_t differences = 0;
    for (uint64_t start = first; start <= last; start += chunk) {
        const auto count = static_cast<uint32_t>(std::min<uint64_t>(chunk, last - start + 1));
        for (uint32_t i = 0; i < count; ++i)
            u[i] = std::bit_cast<float>(static_cast<uint32_t>(start + i));
        gamma_batch(u.data(), gamma.data(), count);
        for (uint32_t i = 0; i < count; ++i)
            if (std::bit_cast<uint32_t>(gamma[i]) != std::bit_cast<uint32_t>(ibeta_gamma(u[i])))
                ++differences;
    }
    return differences;
}

}  // namespace

// Every float ran1 can return: the floor below the threshold, the
// logarithm above it up to 1 - 2^-23.  The vector logarithm may differ from
// std::log in its last double bit, never after rounding to float.
TEST(GammaBatch, EqualsTheScalarGammaForEveryUniform)
{
    if (!gamma_batch_uses_vector_log())
        GTEST_LOG_(INFO) << "no AVX2 + FMA here: the scalar route is checked";
    EXPECT_EQ(count_differences(smallest_uniform_bits, largest_uniform_bits), 0u);
}

// Lengths that are not a multiple of four end on the scalar route; in-place
// use is allowed.
TEST(GammaBatch, OddLengthsAndInPlace)
{
    std::vector<float> u = {0.5f, 1e-7f, 0.25f, 0.999f, 1e-6f, 0.125f, 0.7f};
    std::vector<float> expected;
    for (const float x : u)
        expected.push_back(ibeta_gamma(x));
    gamma_batch(u.data(), u.data(), u.size());
    for (size_t i = 0; i < u.size(); ++i)
        EXPECT_EQ(std::bit_cast<uint32_t>(u[i]), std::bit_cast<uint32_t>(expected[i])) << i;
}

TEST(GammaBatch, ScalarRouteIsIbetaGamma)
{
    const std::vector<float> u = {0x1p-31f, 1e-6f, 0.5f, 0x1.fffffcp-1f};
    std::vector<float> gamma(u.size());
    gamma_batch_scalar(u.data(), gamma.data(), u.size());
    for (size_t i = 0; i < u.size(); ++i)
        EXPECT_EQ(std::bit_cast<uint32_t>(gamma[i]), std::bit_cast<uint32_t>(ibeta_gamma(u[i])));
}
