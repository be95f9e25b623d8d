#include "table_row.h"

#include <new>

#include "exception.h"

namespace brisolt {

std::unique_ptr<double[]> allocate_table_row(int size) {
    std::unique_ptr<double[]> row(new (std::nothrow) double[size]());
    if (!row) {
        throw Bad_alloc("RNG: out of space");
    }
    return row;
}

}  // namespace brisolt
