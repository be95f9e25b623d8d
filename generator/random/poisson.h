// The Poisson law: the alias method up to a mean of 8, table rejection above.
#pragma once

#include <memory>

#include "random.h"

namespace brisolt {

class Poisson : public Random {
  public:
    // Throws Bad_alloc "RNG: out of space", or what the method's construction throws.
    explicit Poisson(double mu);
    double draw() override { return method->draw(); }
    const char* name() const override { return "Poisson"; }
    double mean() const override { return method->mean(); }
    double variance() const override { return method->variance(); }

    // True when the table-rejection method (PoissonAsym) was chosen.
    bool uses_asym_method() const;

  private:
    std::unique_ptr<Random> method;
};

}  // namespace brisolt
