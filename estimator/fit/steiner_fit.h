// The least-squares fit of the Steiner polynomial to the shell volumes.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "driver/verbose_log.h"
#include "fit/matrix.h"

namespace talvik {

// The fit has three unknowns.
inline constexpr size_t kMinimumBalls = 3;

struct FitMatrices {
    Matrix e;  // 3 x 3: diag(1, -1, 1)
    Matrix m;  // 3 x N: column i is 2 de, pi de^2, 4/3 pi de^3 once compute_de has run
    Matrix v;  // N x 1: the volume fraction of shell i + 1
};

// E, then M with 2.0, pi and 4 pi / 3 in every column (compute_de scales them), then V.
FitMatrices create_fit_matrices(uint32_t ball_count);

// The matrices of a fit with the first `k` balls only.
FitMatrices first_balls(const FitMatrices& fit, uint32_t k);

struct IntrinsicVolumes {
    double v2 = 0.0;
    double v1 = 0.0;
    double v0 = 0.0;
};

// Whether the balls determine the three coefficients: M (scaled by the de values) needs three
// distinct de values of magnitude at least kMissingDe, and an M Mt that is not singular to
// working precision. Independent of V, so it is checked before the shells are measured.
bool fit_is_determined(const Matrix& m);
// Fatal unless they do.
void check_fit_is_determined(const Matrix& m);

// The condition number (1-norm) of M Mt with its rows and columns scaled to a unit diagonal:
// how nearly the balls repeat each other, whatever the units of de. Infinite when singular.
double scaled_condition(const Matrix& m);

// (E (M Mt)^-1)(M V), printing every matrix in verbose mode. Fatal when M Mt has no inverse
// or the results are not finite numbers.
IntrinsicVolumes solve(const FitMatrices& fit, const VerboseLog& log);

// Its two halves. In verbose mode E, V and M of every ball:
void show_model(const FitMatrices& all, const VerboseLog& log);
// The fit over balls 1 .. k, printing its matrices from Mt on.
IntrinsicVolumes solve_balls(const FitMatrices& all, uint32_t k, const VerboseLog& log);

// In verbose mode the label through the log, then the matrix.
void show_matrix(const VerboseLog& log, const char* label, const Matrix& matrix, int width = 20);

// "V2: ", "V1: ", "V0: " lines.
void print_results(std::FILE* out, const IntrinsicVolumes& volumes);

}  // namespace talvik
