// Beta deviates with integer shapes, drawn from their own stream of uniforms
// (seed word starting at -911, on the shuffle table shared by all streams).
#pragma once

namespace seedbank {

// gamma_nu / (gamma_nu + gamma_omega), each gamma the negative logarithm of a
// product of uniforms.  Consumes nu + omega uniforms (all nu draws first).
// The quotient is formed and returned in extended precision; callers compare
// it unrounded.  With nu <= 0 gamma_nu is -0.0f and the result -0.0L (== 0);
// with both shapes <= 0 the quotient is 0/0 (NaN), a case no caller makes.
long double ibeta(int nu, int omega);

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
