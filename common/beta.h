// Beta deviates with integer shapes, drawn from their own stream of uniforms
// (seed word starting at -911, on the shuffle table shared by all streams).
#pragma once
#include <cstdint>

namespace seedbank {

// gamma_nu / (gamma_nu + gamma_omega), each gamma the negative logarithm of a
// product of uniforms.  Consumes nu + omega uniforms (all nu draws first).
// The quotient is formed and returned in extended precision; callers compare
// it unrounded.  With nu <= 0 gamma_nu is -0.0f and the result -0.0L (== 0);
// with both shapes <= 0 the quotient is 0/0 (NaN), a case no caller makes.
long double ibeta(int nu, int omega);

// The seed word ibeta's stream starts from unless a run chooses another.
inline constexpr int32_t default_beta_seed_word = -911;

// Starts ibeta's stream from `seed_word` instead: a negative -s fills the
// shared table from s on the next draw (see ran1).  Called before the first
// draw of a run, it makes the run's stream that of seed s.
void start_beta_stream(int32_t seed_word);

// Puts ibeta's seed word back to its starting value -911 (fresh process).
// For tests and benchmarks; restart_random_module() resets the shared table.
void restart_beta_stream();

// --- The steps ibeta is built from, exposed for tests. ---

// The gamma deviate of a single-precision product of uniforms:
// -log(product) in double, rounded to single, when (double)product > 1e-6;
// otherwise the floor 13.815510749816895f (bits 0x415D0C55).
float ibeta_gamma(float product);

// gamma_nu / (gamma_nu + gamma_omega): the sum formed exactly (in double),
// the quotient in extended precision.
long double ibeta_quotient(float gamma_nu, float gamma_omega);

}  // namespace seedbank
