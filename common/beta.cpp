// ibeta: beta deviates with integer shapes on their own stream.
#include "beta.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "random.h"

namespace seedbank {

namespace {

constexpr double product_threshold = 1e-6;
// The single-precision value nearest to -ln 1e-6 (13.815510749816895).
constexpr float gamma_floor = 0x1.ba18aap+3f;

static_assert(std::bit_cast<uint64_t>(product_threshold) == 0x3EB0C6F7A0B5ED8Du);
static_assert(std::bit_cast<uint32_t>(gamma_floor) == 0x415D0C55u);
static_assert(std::numeric_limits<long double>::digits >= 64,
              "ibeta's quotient needs extended precision (64-bit significand)");

int32_t idum = default_beta_seed_word;

}  // namespace

float ibeta_gamma(float product)
{
    if (static_cast<double>(product) > product_threshold)
        return static_cast<float>(-std::log(static_cast<double>(product)));
    return gamma_floor;
}

long double ibeta_quotient(float gamma_nu, float gamma_omega)
{
    // Exact: both gammas lie in about 1.19e-7 .. 13.82, so the sum needs far
    // fewer than 53 bits; a float sum would round and flip rare decisions.
    const double sum = static_cast<double>(gamma_nu) + static_cast<double>(gamma_omega);
    return static_cast<long double>(gamma_nu) / static_cast<long double>(sum);
}

long double ibeta(int nu, int omega)
{
    float product_nu = 1.0f;
    float product_omega = 1.0f;

    for (int i = 1; i <= nu; ++i)
        product_nu *= ran1(&idum);
    const float gamma_nu = ibeta_gamma(product_nu);

    for (int i = 1; i <= omega; ++i)
        product_omega *= ran1(&idum);
    const float gamma_omega = ibeta_gamma(product_omega);

    return ibeta_quotient(gamma_nu, gamma_omega);
}

void start_beta_stream(int32_t seed_word)
{
    idum = seed_word;
}

void restart_beta_stream()
{
    idum = default_beta_seed_word;
}

}  // namespace seedbank
