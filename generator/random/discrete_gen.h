// Walker's alias method for a law on 0 .. n-1, and the Poisson law for small means built on
// it.
#pragma once

#include <memory>

#include "random.h"

namespace brisolt {

class DiscreteGen : public Random {
  public:
    // `prob` (n values) is read only here. Throws Bad_alloc or Runtime_error.
    DiscreteGen(int n, const double* prob);
    // trunc(U1 n), switched to its alias when U2 is below the switch probability.
    double draw() override;
    const char* name() const override { return "DiscreteGen"; }
    ~DiscreteGen() override = default;
    double mean() const override { return mean_; }
    double variance() const override { return variance_; }

    int size() const { return n; }
    double switch_probability(int j) const { return alias_prob[j]; }
    int alias_of(int j) const { return alias[j]; }

  private:
    int n;
    std::unique_ptr<double[]> alias_prob;
    std::unique_ptr<int[]> alias;
    double mean_ = 0.0;
    double variance_ = 0.0;
};

// Poisson probabilities of 0 .. 39; the mass above 39 is dropped.
class PoissonDiscrete : public Random {
  public:
    explicit PoissonDiscrete(double mu);
    double draw() override { return method.draw(); }
    double mean() const override { return method.mean(); }
    double variance() const override { return method.variance(); }

    static constexpr int kValues = 40;

  private:
    DiscreteGen method;
};

}  // namespace brisolt
