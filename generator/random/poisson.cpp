#include "poisson.h"

#include <new>

#include "asym_gen.h"
#include "discrete_gen.h"
#include "exception.h"

namespace brisolt {
namespace {

std::unique_ptr<Random> make_method(double mu) {
    Random* method = nullptr;
    if (mu > 8.0) {
        method = new (std::nothrow) PoissonAsym(mu);
    } else {
        method = new (std::nothrow) PoissonDiscrete(mu);
    }
    if (!method) {
        throw Bad_alloc("RNG: out of space");
    }
    return std::unique_ptr<Random>(method);
}

}  // namespace

Poisson::Poisson(double mu) : method(make_method(mu)) {}

bool Poisson::uses_asym_method() const {
    return dynamic_cast<const PoissonAsym*>(method.get()) != nullptr;
}

}  // namespace brisolt
