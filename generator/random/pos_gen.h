// Table-driven rejection sampling for a density on [0, inf) that falls away from 0, and the
// exponential and standard normal laws built on it.
#pragma once

#include <memory>

#include "random.h"

namespace brisolt {

class PosGen : public Random {
  public:
    double draw() override;
    const char* name() const override { return "PosGen"; }
    ~PosGen() override = default;
    // No closed form for a generic density.
    double mean() const override;
    double variance() const override;

    // The number of intervals of the table; 0 until the first draw builds it.
    double intervals() const { return table.interval_count; }

  protected:
    static constexpr int kTableRows = 60;

    struct Table {
        double interval_count = 0.0;
        std::unique_ptr<double[]> table_x;
        std::unique_ptr<double[]> table_f;
    };

    // Each row adds about `step` of area (0.01 symmetric, 0.02 otherwise), until the first
    // abscissa of zero density. Throws Bad_alloc or Runtime_error.
    void build_table(bool symmetric, Table& target) const;
    // One try in interval i of `t`, drawing U2 then U3; true when x is accepted.
    bool try_interval(const Table& t, int i, double& x) const;

  private:
    Table table;
    bool table_ready = false;
};

class Exponential : public PosGen {
  public:
    const char* name() const override { return "Exponential"; }
    double density(double x) const override;
    double mean() const override { return 1.0; }
    double variance() const override { return 1.0; }
};

// All Normal objects share one symmetric table, built by the first one alive and freed by
// the last one.
class Normal : public PosGen {
  public:
    Normal();
    ~Normal() override;
    double draw() override;
    const char* name() const override { return "Normal"; }
    double density(double x) const override;
    double mean() const override { return 0.0; }
    double variance() const override { return 1.0; }

    // The shared table's interval count (0 while no Normal lives) and the living objects.
    static double shared_intervals();
    static int living_count();

  private:
    static Table shared_table;
    static int living;
};

}  // namespace brisolt
