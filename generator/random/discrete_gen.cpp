#include "discrete_gen.h"

#include <array>
#include <cmath>
#include <new>

#include "exception.h"

namespace brisolt {

DiscreteGen::DiscreteGen(int n_, const double* prob) : n(n_) {
    if (n < 1) {
        // No value to draw: the draw would index an empty table.
        throw Runtime_error("RNG: method fails");
    }
    alias_prob.reset(new (std::nothrow) double[n]);
    alias.reset(new (std::nothrow) int[n]);
    if (!alias_prob || !alias) {
        throw Bad_alloc("RNG: out of space");
    }
    for (int j = 0; j < n; ++j) {
        alias_prob[j] = 0.0;
        alias[j] = -1;
    }
    const double rn = 1.0 / n;
    double q = 0.0;
    for (int pass = 0; pass < n; ++pass) {
        double pmin = 1.0;
        double pmax = -1.0;
        int jmin = -1;
        int jmax = -1;
        for (int j = 0; j < n; ++j) {
            if (alias[j] >= 0) {
                continue;
            }
            const double d = prob[j] - alias_prob[j];
            // Ties go to the later j.
            if (pmax <= d) {
                pmax = d;
                jmax = j;
            }
            if (pmin >= d) {
                pmin = d;
                jmin = j;
            }
        }
        if (jmin < 0 || jmax < 0) {
            throw Runtime_error("RNG: method fails");
        }
        alias[jmin] = jmax;
        q = rn - pmin;
        alias_prob[jmax] = alias_prob[jmax] + q;
        q = q * n;
        // When jmin == jmax this assignment wins over the one above.
        alias_prob[jmin] = q;
        if (q > 1.00001 || q < -0.00001) {
            throw Runtime_error("RNG: probs don't add to 1 (a)");
        }
    }
    if (q > 0.00001) {
        throw Runtime_error("RNG: probs don't add to 1 (b)");
    }
    for (int j = 0; j < n; ++j) {
        mean_ = mean_ + j * prob[j];
    }
    for (int j = 0; j < n; ++j) {
        variance_ = variance_ + (j - mean_) * (j - mean_) * prob[j];
    }
}

double DiscreteGen::draw() {
    int i = static_cast<int>(base_draw() * n);
    if (base_draw() < alias_prob[i]) {
        i = alias[i];
    }
    return i;
}

namespace {

std::array<double, PoissonDiscrete::kValues> poisson_probabilities(double mu) {
    std::array<double, PoissonDiscrete::kValues> p{};
    p[0] = std::exp(-mu);
    for (int k = 1; k < PoissonDiscrete::kValues; ++k) {
        p[k] = (mu * p[k - 1]) / k;
    }
    return p;
}

}  // namespace

PoissonDiscrete::PoissonDiscrete(double mu) : method(kValues, poisson_probabilities(mu).data()) {}

}  // namespace brisolt
