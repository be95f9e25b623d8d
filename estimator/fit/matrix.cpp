#include "fit/matrix.h"

#include <cmath>
#include <new>
#include <utility>

#include "formats/errors.h"
#include "formats/numbers.h"

namespace talvik {

Matrix matrix_create(uint32_t rows, uint32_t columns) {
    const uint64_t count = static_cast<uint64_t>(rows) * columns;
    formats::fatal_unless(count <= UINT32_MAX, 1, "Memory allocation error.\n");
    Matrix m;
    m.rows = rows;
    m.columns = columns;
    try {
        m.values.assign(static_cast<size_t>(count), 0.0);
    } catch (const std::bad_alloc&) {
        formats::fatal("Memory allocation error.\n");
    }
    return m;
}

Matrix matrix_copy(const Matrix& a) {
    Matrix m = matrix_create(a.rows, a.columns);
    m.values = a.values;
    return m;
}

Matrix matrix_transpose(const Matrix& a) {
    Matrix t = matrix_create(a.columns, a.rows);
    for (uint32_t i = 0; i < a.rows; ++i) {
        for (uint32_t j = 0; j < a.columns; ++j) {
            t.at(j, i) = a.at(i, j);
        }
    }
    return t;
}

Matrix matrix_multiply(const Matrix& a, const Matrix& b) {
    formats::fatal_unless(b.rows == a.columns, 1, "Matrices have incompatible dimensions.\n");
    Matrix r = matrix_create(a.rows, b.columns);
    // The loop order and the sum's grouping fix the printed digits.
    for (uint32_t i = 0; i < a.rows; ++i) {
        for (uint32_t j = 0; j < b.columns; ++j) {
            for (uint32_t k = 0; k < a.columns; ++k) {
                r.at(i, j) = a.at(i, k) * b.at(k, j) + r.at(i, j);
            }
        }
    }
    return r;
}

std::optional<Matrix> matrix_invert(const Matrix& a) {
    formats::fatal_unless(a.rows == a.columns, 1, "Matrix is not squre matrix.\n");
    const uint32_t n = a.rows;
    Matrix r = matrix_create(n, n);
    for (uint32_t i = 0; i < n; ++i) {
        r.at(i, i) = 1.0;
    }
    Matrix w = matrix_copy(a);
    for (uint32_t i = 0; i < n; ++i) {
        double p = w.at(i, i);
        uint32_t d = i;
        for (uint32_t j = i + 1; j < n; ++j) {
            // Written as a negated test so that a NaN on either side moves the pivot.
            if (!(std::fabs(p) >= std::fabs(w.at(j, i)))) {
                p = w.at(j, i);
                d = j;
            }
        }
        if (std::isnan(std::fabs(p))) {
            return std::nullopt;
        }
        if (d != i) {
            for (uint32_t k = 0; k < n; ++k) {
                std::swap(w.at(d, k), w.at(i, k));
                std::swap(r.at(d, k), r.at(i, k));
            }
        }
        for (uint32_t k = i; k < n; ++k) {
            w.at(i, k) = w.at(i, k) / p;
        }
        for (uint32_t k = 0; k < n; ++k) {
            r.at(i, k) = r.at(i, k) / p;
        }
        for (uint32_t j = 0; j < n; ++j) {
            if (j == i) {
                continue;
            }
            const double f = w.at(j, i);
            for (uint32_t k = 0; k < n; ++k) {
                w.at(j, k) = w.at(j, k) - f * w.at(i, k);
                r.at(j, k) = r.at(j, k) - f * r.at(i, k);
            }
        }
    }
    return r;
}

void matrix_print(std::FILE* out, const Matrix& a, int width, int precision) {
    for (uint32_t i = 0; i < a.rows; ++i) {
        for (uint32_t j = 0; j < a.columns; ++j) {
            std::fputs(formats::fixed(a.at(i, j), precision, width).c_str(), out);
            std::fputs(" ", out);
        }
        std::fputs("\n", out);
    }
    std::fputs("\n", out);
}

}  // namespace talvik
