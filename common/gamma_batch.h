// The gamma deviates of ibeta(1, 1), many at a time.
//
// With both shapes 1 every product of uniforms is one uniform, so a gamma is
// -log(u) of a single float: in double, rounded to float, or the floor
// 13.815510749816895f when u is at or below 1e-6.  The batch routine takes
// the logarithms four at a time with the C library's AVX2 vector logarithm
// where the processor has AVX2 and FMA, and with std::log elsewhere.  For
// every float u in (1e-6, 1) the two logarithms, once rounded to float, are
// the same value; a test checks every such float.
#pragma once
#include <cstddef>

namespace seedbank {

// gamma[i] = ibeta_gamma(u[i]) for i < n.  `u` and `gamma` may be the same
// array.
void gamma_batch(const float *u, float *gamma, std::size_t n);

// The same through std::log only: the reference for gamma_batch.
void gamma_batch_scalar(const float *u, float *gamma, std::size_t n);

// True when gamma_batch uses the vector logarithm on this processor.
bool gamma_batch_uses_vector_log();

}  // namespace seedbank
