// Table-driven rejection sampling around the mode of a unimodal density, and the Poisson
// law for large means built on it.
#pragma once

#include <memory>

#include "random.h"

namespace brisolt {

class AsymGen : public Random {
  public:
    explicit AsymGen(double mode) : mode(mode) {}
    double draw() override;
    const char* name() const override { return "AsymGen"; }
    ~AsymGen() override = default;
    double mean() const override;
    double variance() const override;

    // 0 until the first draw builds the table.
    double intervals() const { return interval_count; }

  private:
    static constexpr int kTableRows = 121;
    static constexpr int kRightEnd = 120;  // the row that ends the right side

    // Rows 0 .. right_last walk right from the mode, the next row is the mode again and the
    // rows after it walk left; each interval holds about 0.01 of area. Throws Bad_alloc or
    // Runtime_error.
    void build_table();
    // Rows from i on, stepping from the mode by 0.01 / f in `direction` (+1 or -1) up to the
    // first zero density; returns that row, whose abscissa is left in x.
    int walk_from_mode(int i, double direction, const char* too_large, double& x);
    int next_row(int j) const { return j == right_last ? kRightEnd : j + 1; }

    double interval_count = 0.0;
    std::unique_ptr<double[]> table_x;
    std::unique_ptr<double[]> table_f;
    int right_last = 0;
    bool table_ready = false;
    double mode;
};

class PoissonAsym : public AsymGen {
  public:
    explicit PoissonAsym(double mu);
    // floor of the AsymGen draw.
    double draw() override;
    double density(double x) const override;
    double mean() const override { return mu; }
    double variance() const override { return mu; }

  private:
    double mu;
    double log_mu;
};

}  // namespace brisolt
