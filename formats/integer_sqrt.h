// Integer square roots, exact for every value a double cannot hold exactly either.
#pragma once

#include <cmath>
#include <cstdint>

namespace formats {

// The largest r with r * r <= v, for v >= 0.
inline int64_t floor_sqrt(int64_t v) {
    int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
    while (r * r > v) {
        --r;
    }
    while ((r + 1) * (r + 1) <= v) {
        ++r;
    }
    return r;
}

// The smallest r with r * r >= v, for v >= 0.
inline int64_t ceil_sqrt(int64_t v) {
    const int64_t r = floor_sqrt(v);
    return r * r == v ? r : r + 1;
}

}  // namespace formats
