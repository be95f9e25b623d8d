// The rows of the rejection samplers' tables, and the mean and variance of a law that has
// none in closed form.
#pragma once

#include <limits>
#include <memory>

namespace brisolt {

// `size` zeros. Throws Bad_alloc "RNG: out of space".
std::unique_ptr<double[]> allocate_table_row(int size);

inline double no_closed_form() {
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace brisolt
