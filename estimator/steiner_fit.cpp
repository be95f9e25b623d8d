#include "steiner_fit.h"

#include <cmath>

namespace talvik {
namespace {

const char* const kSingularFit =
    "Cannot fit V2, V1 and V0: the matrix M*Mt is singular (the fit needs at least three balls "
    "with distinct de values).\n";

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

IntrinsicVolumes solve(const FitMatrices& fit, const VerboseLog& log) {
    std::FILE* out = log.stream();
    const bool verbose = log.enabled();
    log("matrix E:\n");
    if (verbose) {
        matrix_print(out, fit.e, "%20.16f");
    }
    log("matrix V:\n");
    if (verbose) {
        matrix_print(out, fit.v, "%20.16f");
    }
    log("matrix M:\n");
    if (verbose) {
        matrix_print(out, fit.m, "%20.16f");
    }
    const Matrix mt = matrix_transpose(fit.m);
    log("matrix Mt:\n");
    if (verbose) {
        matrix_print(out, mt, "%20.16f");
    }
    const Matrix mmt = matrix_multiply(fit.m, mt);
    log("matrix M*Mt:\n");
    if (verbose) {
        matrix_print(out, mmt, "%25.16f");
    }
    const std::optional<Matrix> inverse = matrix_invert(mmt);
    fatal_unless(inverse.has_value(), 1, "%s", kSingularFit);
    log("matrix (M*Mt)^-1\n");
    if (verbose) {
        matrix_print(out, *inverse, "%20.16f");
    }
    const Matrix ei = matrix_multiply(fit.e, *inverse);
    log("matrix E*((M*Mt)^-1)\n");
    if (verbose) {
        matrix_print(out, ei, "%20.16f");
    }
    const Matrix mv = matrix_multiply(fit.m, fit.v);
    log("matrix M*V\n");
    if (verbose) {
        matrix_print(out, mv, "%20.16f");
    }
    const Matrix r = matrix_multiply(ei, mv);
    if (verbose) {
        matrix_print(out, r, "%20.16f");
    }
    const IntrinsicVolumes volumes{r.at(0, 0), r.at(1, 0), r.at(2, 0)};
    // An inverse with infinite entries comes from a singular M*Mt as well.
    fatal_unless(
        std::isfinite(volumes.v2) && std::isfinite(volumes.v1) && std::isfinite(volumes.v0), 1,
        "%s", kSingularFit);
    return volumes;
}

void print_results(std::FILE* out, const IntrinsicVolumes& volumes) {
    std::fprintf(out, "V2: %20.16f\n", volumes.v2);
    std::fprintf(out, "V1: %20.16f\n", volumes.v1);
    std::fprintf(out, "V0: %20.16f\n", volumes.v0);
    std::fflush(out);
}

bool append_results_row(const std::string& path, const std::string& data_set_directory,
                        const IntrinsicVolumes& volumes) {
    std::FILE* file = std::fopen(path.c_str(), "a+");
    if (!file) {
        return false;
    }
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0;
    if (ok && size == 0) {
        ok = std::fputs("; Data_set\tV2\tV1\tV0\n", file) >= 0;
    }
    ok = ok && std::fprintf(file, "%-32s %20.16f %20.16f %20.16f\n", data_set_directory.c_str(),
                            volumes.v2, volumes.v1, volumes.v0) > 0;
    ok = (std::fclose(file) == 0) && ok;
    return ok;
}

}  // namespace talvik
