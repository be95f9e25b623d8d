#include "fit/steiner_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "formats/balls_file.h"
#include "formats/errors.h"
#include "formats/numbers.h"

namespace talvik {
namespace {

const char* const kSingularFit =
    "Cannot fit V2, V1 and V0: the matrix M*Mt is singular (the fit needs at least three balls "
    "with distinct de values).\n";

double one_norm(const Matrix& a) {
    double norm = 0.0;
    for (uint32_t j = 0; j < a.columns; ++j) {
        double sum = 0.0;
        for (uint32_t i = 0; i < a.rows; ++i) {
            sum += std::fabs(a.at(i, j));
        }
        norm = std::max(norm, sum);
    }
    return norm;
}

// The 1-norm condition number, taken with the rows and columns scaled to a unit diagonal, so
// that the units of de, de^2 and de^3 do not count, only how nearly the balls repeat each
// other. Infinite when singular; a zero diagonal entry is singular.
double condition_of(Matrix a) {
    std::vector<double> scale(a.rows);
    for (uint32_t i = 0; i < a.rows; ++i) {
        scale[i] = 1.0 / std::sqrt(a.at(i, i));
    }
    for (uint32_t i = 0; i < a.rows; ++i) {
        for (uint32_t j = 0; j < a.columns; ++j) {
            a.at(i, j) *= scale[i] * scale[j];
        }
    }
    const std::optional<Matrix> inverse = matrix_invert(a);
    if (!inverse) {
        return std::numeric_limits<double>::infinity();
    }
    const double condition = one_norm(a) * one_norm(*inverse);
    return std::isfinite(condition) ? condition : std::numeric_limits<double>::infinity();
}

// Singular to working precision, in LAPACK's sense, when the condition number reaches
// 1 / epsilon: the inverse then carries no correct digit.
bool invertible_to_working_precision(const Matrix& a) {
    return condition_of(a) < 1.0 / std::numeric_limits<double>::epsilon();
}

}  // namespace

FitMatrices create_fit_matrices(uint32_t ball_count) {
    FitMatrices fit;
    fit.e = matrix_create(3, 3);
    fit.e.at(0, 0) = 1.0;
    fit.e.at(1, 1) = -1.0;
    fit.e.at(2, 2) = 1.0;
    fit.m = matrix_create(3, ball_count);
    for (uint32_t i = 0; i < ball_count; ++i) {
        fit.m.at(0, i) = 2.0;
        fit.m.at(1, i) = 3.141592653589793;
        fit.m.at(2, i) = 4.1887902047863905;
    }
    fit.v = matrix_create(ball_count, 1);
    return fit;
}

FitMatrices first_balls(const FitMatrices& fit, uint32_t k) {
    FitMatrices part{fit.e, matrix_create(3, k), matrix_create(k, 1)};
    for (uint32_t i = 0; i < k; ++i) {
        for (uint32_t r = 0; r < 3; ++r) {
            part.m.at(r, i) = fit.m.at(r, i);
        }
        part.v.at(i, 0) = fit.v.at(i, 0);
    }
    return part;
}

double scaled_condition(const Matrix& m) {
    return condition_of(matrix_multiply(m, matrix_transpose(m)));
}

bool fit_is_determined(const Matrix& m) {
    // M(0, i) is 2 de exactly. A de below kMissingDe in magnitude (the single voxel's) gives
    // a column of next to nothing.
    std::vector<double> distinct;
    for (uint32_t i = 0; i < m.columns; ++i) {
        const double de = m.at(0, i) / 2.0;
        if (std::fabs(de) >= formats::kMissingDe &&
            std::find(distinct.begin(), distinct.end(), de) == distinct.end()) {
            distinct.push_back(de);
        }
    }
    return distinct.size() >= 3 &&
           invertible_to_working_precision(matrix_multiply(m, matrix_transpose(m)));
}

void check_fit_is_determined(const Matrix& m) {
    formats::fatal_unless(fit_is_determined(m), 1, "%s", kSingularFit);
}

IntrinsicVolumes solve(const FitMatrices& fit, const VerboseLog& log) {
    show_model(fit, log);
    return solve_balls(fit, fit.v.rows, log);
}

void show_matrix(const VerboseLog& log, const char* label, const Matrix& matrix, int width) {
    if (log.enabled()) {
        log("%s", label);
        matrix_print(log.stream(), matrix, width, 16);
    }
}

void show_model(const FitMatrices& all, const VerboseLog& log) {
    show_matrix(log, "matrix E:\n", all.e);
    show_matrix(log, "matrix V:\n", all.v);
    show_matrix(log, "matrix M:\n", all.m);
}

IntrinsicVolumes solve_balls(const FitMatrices& all, uint32_t k, const VerboseLog& log) {
    const FitMatrices fit = first_balls(all, k);
    const Matrix mt = matrix_transpose(fit.m);
    show_matrix(log, "matrix Mt:\n", mt);
    const Matrix mmt = matrix_multiply(fit.m, mt);
    show_matrix(log, "matrix M*Mt:\n", mmt, 25);
    const std::optional<Matrix> inverse = matrix_invert(mmt);
    formats::fatal_unless(inverse.has_value(), 1, "%s", kSingularFit);
    show_matrix(log, "matrix (M*Mt)^-1\n", *inverse);
    const Matrix ei = matrix_multiply(fit.e, *inverse);
    show_matrix(log, "matrix E*((M*Mt)^-1)\n", ei);
    const Matrix mv = matrix_multiply(fit.m, fit.v);
    show_matrix(log, "matrix M*V\n", mv);
    const Matrix r = matrix_multiply(ei, mv);
    if (log.enabled()) {
        matrix_print(log.stream(), r, 20, 16);
    }
    const IntrinsicVolumes volumes{r.at(0, 0), r.at(1, 0), r.at(2, 0)};
    // An inverse with infinite entries comes from a singular M*Mt as well.
    formats::fatal_unless(
        std::isfinite(volumes.v2) && std::isfinite(volumes.v1) && std::isfinite(volumes.v0), 1,
        "%s", kSingularFit);
    return volumes;
}

void print_results(std::FILE* out, const IntrinsicVolumes& volumes) {
    const std::string text = "V2: " + formats::fixed(volumes.v2, 16, 20) +
                             "\nV1: " + formats::fixed(volumes.v1, 16, 20) +
                             "\nV0: " + formats::fixed(volumes.v0, 16, 20) + "\n";
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

}  // namespace talvik
