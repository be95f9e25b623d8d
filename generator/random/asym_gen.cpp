#include "asym_gen.h"

#include <cmath>

#include "exception.h"
#include "log_gamma.h"
#include "table_row.h"

namespace brisolt {

double AsymGen::mean() const {
    return no_closed_form();
}

double AsymGen::variance() const {
    return no_closed_form();
}

int AsymGen::walk_from_mode(int i, double direction, const char* too_large, double& x) {
    x = mode;
    for (;;) {
        table_x[i] = x;
        const double f = density(x);
        table_f[i] = f;
        if (f <= 0.0) {
            return i;
        }
        x = x + direction * (0.01 / f);
        if (++i == kRightEnd) {
            throw Runtime_error(too_large);
        }
    }
}

void AsymGen::build_table() {
    table_x = allocate_table_row(kTableRows);
    table_f = allocate_table_row(kTableRows);
    double x = 0.0;
    int i = walk_from_mode(0, 1.0, "RNG: area too large (a)", x);
    right_last = i - 1;
    table_x[kRightEnd] = x;
    table_f[kRightEnd] = 0.0;
    // The left side starts on the row where the right side found zero density.
    i = walk_from_mode(i, -1.0, "RNG: area too large (b)", x);
    if (i < 100) {
        throw Runtime_error("RNG: area too small");
    }
    interval_count = i;
}

double AsymGen::draw() {
    if (!table_ready) {
        build_table();
        table_ready = true;
    }
    for (;;) {
        const int j = static_cast<int>(base_draw() * interval_count);
        const int m = next_row(j);
        const double u2 = base_draw();
        const double x = table_x[j] + u2 * (table_x[m] - table_x[j]);
        const double u3 = base_draw();
        const double y = u3 * table_f[j];
        if (y < table_f[m] || density(x) > y) {
            return x;
        }
    }
}

PoissonAsym::PoissonAsym(double mu) : AsymGen(mu), mu(mu), log_mu(std::log(mu)) {}

double PoissonAsym::draw() {
    return std::floor(AsymGen::draw());
}

double PoissonAsym::density(double x) const {
    if (x < 0.0) {
        return 0.0;
    }
    const double k = std::floor(x);
    const double l = k * log_mu - mu - log_gamma(k + 1.0);
    return l < -40.0 ? 0.0 : std::exp(l);
}

}  // namespace brisolt
