// The natural logarithm of the gamma function.
#pragma once

namespace brisolt {

// Lanczos' series with six coefficients for x >= 1 and the reflection formula below 1, in
// the form the Poisson density was tuned with. NaN for NaN.
double log_gamma(double x);

}  // namespace brisolt
