#include "reference_shell.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "morphology.h"
#include "parallel.h"

namespace talvik {
namespace {

int64_t floor_sqrt(int64_t v) {
    int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
    while (r * r > v) {
        --r;
    }
    while ((r + 1) * (r + 1) <= v) {
        ++r;
    }
    return r;
}

int64_t ceil_sqrt(int64_t v) {
    const int64_t r = floor_sqrt(v);
    return r * r == v ? r : r + 1;
}

struct BallColumn {
    int32_t dx, dy, half;
};

// The layer's extent in one (x, y) column: z - centre in [lo, hi] and in [-hi, -lo].
struct LayerColumn {
    int32_t lo = 0;
    int32_t hi = -1;  // -1: the column misses the layer
};

void set_bits(std::vector<uint64_t>& bits, int64_t a, int64_t b) {
    for (int64_t w = a / 64; w <= b / 64; ++w) {
        const int64_t from = std::max(a, w * 64) - w * 64;
        const int64_t to = std::min(b, w * 64 + 63) - w * 64;
        const uint64_t high = to == 63 ? ~uint64_t{0} : (uint64_t{1} << (to + 1)) - 1;
        bits[static_cast<size_t>(w)] |= high & ~((uint64_t{1} << from) - 1);
    }
}

void clear_bits(std::vector<uint64_t>& bits, int64_t a, int64_t b) {
    for (int64_t w = a / 64; w <= b / 64; ++w) {
        const int64_t from = std::max(a, w * 64) - w * 64;
        const int64_t to = std::min(b, w * 64 + 63) - w * 64;
        const uint64_t high = to == 63 ? ~uint64_t{0} : (uint64_t{1} << (to + 1)) - 1;
        bits[static_cast<size_t>(w)] &= ~(high & ~((uint64_t{1} << from) - 1));
    }
}

}  // namespace

uint64_t reference_shell_count(const DiscretizedBall& ball, const ReferenceGeometry& g,
                               unsigned threads) {
    const int64_t size = g.size;
    const int64_t c = g.centre;
    const int64_t outer = static_cast<int64_t>(g.radius) * g.radius;
    const int64_t inner = static_cast<int64_t>(g.radius - 1) * (g.radius - 1);

    std::vector<BallColumn> columns;
    for (int32_t dy = -(ball.size - 1); dy <= ball.size - 1; ++dy) {
        for (int32_t dx = -(ball.size - 1); dx <= ball.size - 1; ++dx) {
            const int32_t half = column_half_length(ball, dx, dy);
            if (half >= 0) {
                columns.push_back({dx, dy, half});
            }
        }
    }
    std::vector<LayerColumn> layer(static_cast<size_t>(size * size));
    for (int64_t y = 0; y < size; ++y) {
        for (int64_t x = 0; x < size; ++x) {
            const int64_t rho = (x - c) * (x - c) + (y - c) * (y - c);
            if (rho <= outer) {
                LayerColumn& col = layer[static_cast<size_t>(y * size + x)];
                col.hi = static_cast<int32_t>(floor_sqrt(outer - rho));
                col.lo = rho >= inner ? 0 : static_cast<int32_t>(ceil_sqrt(inner - rho));
            }
        }
    }

    const int64_t low = kWindowMargin;
    const int64_t high = size - kWindowMargin - 1;  // last coordinate inside the window
    const size_t words = static_cast<size_t>((size + 63) / 64);
    std::vector<uint64_t> row_counts(static_cast<size_t>(size), 0);
    parallel_for(static_cast<size_t>(std::max<int64_t>(0, high - low + 1)), threads,
                 [&](size_t index) {
                     const int64_t qy = low + static_cast<int64_t>(index);
                     std::vector<uint64_t> bits(words);
                     uint64_t count = 0;
                     for (int64_t qx = low; qx <= high; ++qx) {
                         std::fill(bits.begin(), bits.end(), 0);
                         bool any = false;
                         for (const BallColumn& col : columns) {
                             const int64_t px = qx - col.dx;
                             const int64_t py = qy - col.dy;
                             if (px < 0 || py < 0 || px >= size || py >= size) {
                                 continue;
                             }
                             const LayerColumn& l = layer[static_cast<size_t>(py * size + px)];
                             if (l.hi < 0) {
                                 continue;
                             }
                             const int64_t up_a = std::max(low, c + l.lo - col.half);
                             const int64_t up_b = std::min(high, c + l.hi + col.half);
                             if (up_a <= up_b) {
                                 set_bits(bits, up_a, up_b);
                                 any = true;
                             }
                             const int64_t down_a = std::max(low, c - l.hi - col.half);
                             const int64_t down_b = std::min(high, c - l.lo + col.half);
                             if (down_a <= down_b) {
                                 set_bits(bits, down_a, down_b);
                                 any = true;
                             }
                         }
                         if (!any) {
                             continue;
                         }
                         const LayerColumn& own = layer[static_cast<size_t>(qy * size + qx)];
                         const int64_t rho = (qx - c) * (qx - c) + (qy - c) * (qy - c);
                         if (rho <= outer) {
                             // R's part of the column: |z - c| <= hi, where hi is exact for this
                             // column.
                             const int64_t a = std::max(low, c - own.hi);
                             const int64_t b = std::min(high, c + own.hi);
                             if (a <= b) {
                                 clear_bits(bits, a, b);
                             }
                         }
                         for (uint64_t w : bits) {
                             count += static_cast<uint64_t>(std::popcount(w));
                         }
                     }
                     row_counts[static_cast<size_t>(qy)] = count;
                 });
    uint64_t total = 0;
    for (uint64_t v : row_counts) {
        total += v;
    }
    return total;
}

double de_from_count(uint64_t count) {
    // 0.07957747154594767 is 1/(4 pi) and 91125000 is 450^3.
    return std::pow(static_cast<double>(count) * 3.0 * 0.07957747154594767 + 91125000.0,
                    0.3333333333333333) -
           450.0;
}

void compute_de(std::vector<DiscretizedBall>& balls, Matrix& m, const VerboseLog& log,
                unsigned threads) {
    log("============================================================\n");
    log("  de (e - epsilon, d - delta)\n");
    log("============================================================\n");
    for (size_t i = 0; i < balls.size(); ++i) {
        DiscretizedBall& ball = balls[i];
        const unsigned number = static_cast<unsigned>(i + 1);
        if (std::fabs(ball.de) < kMissingDe) {
            log("clearing data set Re\n");
            log("done\n");
            log("generating data set Re [e = %2u]...\n", number);
            const uint64_t count = reference_shell_count(ball, ReferenceGeometry{}, threads);
            log("done\n");
            log("volume of (Re - R) [e = %2u]: %lu\n", number, static_cast<unsigned long>(count));
            ball.de = de_from_count(count);
        }
        log("de [e = %2u]: %f\n", number, ball.de);
        double x = 1.0;
        for (uint32_t k = 0; k < 3; ++k) {
            x = x * ball.de;
            m.at(k, static_cast<uint32_t>(i)) = x * m.at(k, static_cast<uint32_t>(i));
        }
    }
}

}  // namespace talvik
