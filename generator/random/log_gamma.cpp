#include "log_gamma.h"

#include <cmath>
#include <initializer_list>

namespace brisolt {

double log_gamma(double x) {
    if (x >= 1.0) {
        double t = x - 1.0;
        double a = t + 5.5;
        a = a - (t + 0.5) * std::log(a);
        double s = 1.0;
        for (const double c : {76.18009173, -86.50532033, 24.01409822, -1.231739516, 0.00120858003,
                               -0.00000536382}) {
            t = t + 1.0;
            s = s + c / t;
        }
        return std::log(2.50662827465 * s) - a;
    }
    if (x < 1.0) {
        const double z = 3.14159265359 * (1.0 - x);
        return std::log(z / std::sin(z)) - log_gamma(2.0 - x);
    }
    return x;  // NaN: neither branch, and the reflection would recurse forever
}

}  // namespace brisolt
