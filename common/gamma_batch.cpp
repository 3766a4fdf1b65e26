// ibeta(1, 1)'s gammas in batches, through the vector logarithm when the
// processor allows it.
#include "gamma_batch.h"

#include <immintrin.h>

#include "beta.h"

// The C library's AVX2 logarithm of four doubles (libmvec).
extern "C" __m256d _ZGVdN4v_log(__m256d x);

namespace seedbank {

namespace {

constexpr double product_threshold = 1e-6;
constexpr float gamma_floor = 0x1.ba18aap+3f;  // -ln 1e-6 nearest float

// The library picks its AVX2 variant only when the processor has AVX2 and
// FMA; anything else would be a different logarithm, so the scalar route
// is taken there.
bool processor_has_vector_log()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

const bool vector_log_available = processor_has_vector_log();

// Four uniforms at a time: widened to double, their logarithm, negated and
// rounded to float; lanes at or below the threshold take the floor.  The
// comparison and the floor are the scalar routine's, lane by lane.
__attribute__((target("avx2,fma"))) void gamma_batch_avx2(const float *u, float *gamma,
                                                           std::size_t n)
{
    const __m256d threshold = _mm256_set1_pd(product_threshold);
    const __m128 floor4 = _mm_set1_ps(gamma_floor);
    // Lanes that take the floor get 1.0 for the logarithm, harmless.
    const __m256d one = _mm256_set1_pd(1.0);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256d x = _mm256_cvtps_pd(_mm_loadu_ps(u + i));
        const __m256d above = _mm256_cmp_pd(x, threshold, _CMP_GT_OQ);
        const __m256d logs = _ZGVdN4v_log(_mm256_blendv_pd(one, x, above));
        const __m128 negated = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_setzero_pd(), logs));
        // Select per lane: the rounded negated logarithm above the threshold,
        // the floor elsewhere.  The double mask narrowed to 32 bits per lane.
        const __m128i above_bits = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
            _mm256_castpd_si256(above), _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)));
        _mm_storeu_ps(gamma + i, _mm_blendv_ps(floor4, negated, _mm_castsi128_ps(above_bits)));
    }
    for (; i < n; ++i)
        gamma[i] = ibeta_gamma(u[i]);
}

}  // namespace

void gamma_batch_scalar(const float *u, float *gamma, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        gamma[i] = ibeta_gamma(u[i]);
}

void gamma_batch(const float *u, float *gamma, std::size_t n)
{
    if (vector_log_available)
        gamma_batch_avx2(u, gamma, n);
    else
        gamma_batch_scalar(u, gamma, n);
}

bool gamma_batch_uses_vector_log()
{
    return vector_log_available;
}

}  // namespace seedbank
