#include "pos_gen.h"

#include <cmath>

#include "exception.h"
#include "table_row.h"

namespace brisolt {

double PosGen::mean() const {
    return no_closed_form();
}

double PosGen::variance() const {
    return no_closed_form();
}

void PosGen::build_table(bool symmetric, Table& target) const {
    target.table_x = allocate_table_row(kTableRows);
    target.table_f = allocate_table_row(kTableRows);
    const double step = symmetric ? 0.01 : 0.02;
    double x = 0.0;
    int k = -1;
    for (int i = 0; i < kTableRows; ++i) {
        target.table_x[i] = x;
        const double f = density(x);
        target.table_f[i] = f;
        if (f <= 0.0) {
            k = i;
            break;
        }
        x = x + step / f;
    }
    if (k < 0) {
        throw Runtime_error("RNG: area too large");
    }
    if (k < 50) {
        throw Runtime_error("RNG: area too small");
    }
    target.interval_count = symmetric ? 2.0 * k : k;
}

bool PosGen::try_interval(const Table& t, int i, double& x) const {
    const double u2 = base_draw();
    x = t.table_x[i] + u2 * (t.table_x[i + 1] - t.table_x[i]);
    const double u3 = base_draw();
    const double y = u3 * t.table_f[i];
    // Below the next row's value the point is under the density without evaluating it.
    return y < t.table_f[i + 1] || density(x) > y;
}

double PosGen::draw() {
    if (!table_ready) {
        build_table(false, table);
        table_ready = true;
    }
    for (;;) {
        const int i = static_cast<int>(base_draw() * table.interval_count);
        double x;
        if (try_interval(table, i, x)) {
            return x;
        }
    }
}

double Exponential::density(double x) const {
    return x >= 0.0 && x <= 40.0 ? std::exp(-x) : 0.0;
}

PosGen::Table Normal::shared_table;
int Normal::living = 0;

Normal::Normal() {
    if (living == 0) {
        build_table(true, shared_table);
    }
    ++living;
}

Normal::~Normal() {
    if (--living == 0) {
        shared_table = Table();
    }
}

double Normal::density(double x) const {
    return std::fabs(x) <= 8.0 ? 0.39894228 * std::exp(-x * x / 2.0) : 0.0;
}

double Normal::draw() {
    for (;;) {
        // The sign is drawn anew on every try.
        double sign = 1.0;
        double r = base_draw();
        if (r > 0.5) {
            r = 1.0 - r;
            sign = -1.0;
        }
        const int i = static_cast<int>(r * shared_table.interval_count);
        double x;
        if (try_interval(shared_table, i, x)) {
            return x * sign;
        }
    }
}

double Normal::shared_intervals() {
    return shared_table.interval_count;
}

int Normal::living_count() {
    return living;
}

}  // namespace brisolt
