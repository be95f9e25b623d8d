#include "fit/reference_shell.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "formats/integer_sqrt.h"
#include "morphology/morphology.h"
#include "parallel/parallel_for.h"

namespace talvik {
namespace {

struct BallColumn {
    int32_t dx, dy, half;
};

// Sets bits a .. b of the bit set to `value`.
void assign_bits(std::vector<uint64_t>& bits, int64_t a, int64_t b, bool value) {
    for (int64_t w = a / 64; w <= b / 64; ++w) {
        const int64_t from = std::max(a, w * 64) - w * 64;
        const int64_t to = std::min(b, w * 64 + 63) - w * 64;
        const uint64_t high = to == 63 ? ~uint64_t{0} : (uint64_t{1} << (to + 1)) - 1;
        const uint64_t mask = high & ~((uint64_t{1} << from) - 1);
        uint64_t& word = bits[static_cast<size_t>(w)];
        word = value ? word | mask : word & ~mask;
    }
}

// The layer's extent in every (x, y) column of the grid, and the ball's columns. Rows of
// q columns are counted with int16 arithmetic that the compiler vectorises.
class ShellCounter {
  public:
    ShellCounter(const formats::DiscretizedBall& ball, const ReferenceGeometry& g);
    uint64_t count_row(int64_t qy) const;
    bool fast_path() const { return fast_; }

  private:
    int16_t lo(int64_t x, int64_t y) const { return lo_[index(x, y)]; }
    int16_t hi(int64_t x, int64_t y) const { return hi_[index(x, y)]; }
    size_t index(int64_t x, int64_t y) const {
        return static_cast<size_t>((y + pad_) * stride_ + x + pad_);
    }
    uint64_t exact_column(int64_t qx, int64_t qy, std::vector<uint64_t>& bits) const;

    ReferenceGeometry g_;
    std::vector<BallColumn> columns_;
    int32_t reach_ = 0;  // n - 1
    int64_t pad_ = 0;
    int64_t stride_ = 0;
    int64_t low_ = 0;   // first window coordinate
    int64_t high_ = 0;  // last window coordinate
    bool fast_ = false;
    // z - centre of the layer in a column lies in [lo, hi] and in [-hi, -lo]; columns that
    // miss the layer (and the padding around the grid) hold lo = kNoLo and hi = kNoHi.
    std::vector<int16_t> lo_;
    std::vector<int16_t> hi_;
};

constexpr int16_t kNoLo = 30000;
constexpr int16_t kNoHi = -30000;

ShellCounter::ShellCounter(const formats::DiscretizedBall& ball, const ReferenceGeometry& g)
    : g_(g) {
    reach_ = ball.size - 1;
    for (int32_t dy = -reach_; dy <= reach_; ++dy) {
        for (int32_t dx = -reach_; dx <= reach_; ++dx) {
            const int32_t half = formats::column_half_length(ball, dx, dy);
            if (half >= 0) {
                columns_.push_back({dx, dy, half});
            }
        }
    }
    low_ = kWindowMargin;
    high_ = g.size - kWindowMargin - 1;
    // The fast path needs the layer inside the window and every value within int16.
    fast_ = g.centre - g.radius >= low_ && g.centre + g.radius <= high_ && g.size < 10000 &&
            reach_ < 1000;
    pad_ = reach_;
    stride_ = g.size + 2 * pad_;
    lo_.assign(static_cast<size_t>(stride_ * stride_), kNoLo);
    hi_.assign(static_cast<size_t>(stride_ * stride_), kNoHi);
    const int64_t c = g.centre;
    const int64_t outer = static_cast<int64_t>(g.radius) * g.radius;
    const int64_t inner = static_cast<int64_t>(g.radius - 1) * (g.radius - 1);
    for (int64_t y = 0; y < g.size; ++y) {
        for (int64_t x = 0; x < g.size; ++x) {
            const int64_t rho = (x - c) * (x - c) + (y - c) * (y - c);
            if (rho <= outer) {
                hi_[index(x, y)] = static_cast<int16_t>(formats::floor_sqrt(outer - rho));
                lo_[index(x, y)] =
                    static_cast<int16_t>(rho >= inner ? 0 : formats::ceil_sqrt(inner - rho));
            }
        }
    }
}

// The column's voxels of Re - R inside the window, from the union of its intervals in a
// bit set over z.
uint64_t ShellCounter::exact_column(int64_t qx, int64_t qy, std::vector<uint64_t>& bits) const {
    const int64_t c = g_.centre;
    std::fill(bits.begin(), bits.end(), 0);
    for (const BallColumn& col : columns_) {
        const int64_t px = qx - col.dx;
        const int64_t py = qy - col.dy;
        if (hi(px, py) < 0) {
            continue;
        }
        const int64_t up_a = std::max(low_, c + lo(px, py) - col.half);
        const int64_t up_b = std::min(high_, c + hi(px, py) + col.half);
        if (up_a <= up_b) {
            assign_bits(bits, up_a, up_b, true);
        }
        const int64_t down_a = std::max(low_, c - hi(px, py) - col.half);
        const int64_t down_b = std::min(high_, c - lo(px, py) + col.half);
        if (down_a <= down_b) {
            assign_bits(bits, down_a, down_b, true);
        }
    }
    if (hi(qx, qy) >= 0) {
        // R's part of the column: |z - c| <= hi, where hi is exact for this column.
        const int64_t a = std::max(low_, c - hi(qx, qy));
        const int64_t b = std::min(high_, c + hi(qx, qy));
        if (a <= b) {
            assign_bits(bits, a, b, false);
        }
    }
    uint64_t count = 0;
    for (uint64_t w : bits) {
        count += static_cast<uint64_t>(std::popcount(w));
    }
    return count;
}

// The union of a column's intervals is symmetric about the centre. Above R's top H (0 where
// the column misses R) it is, for every ball of practical shape, one run (H, M]: M is the
// fixed point of "the largest end of an interval that starts at or below M + 1", found for
// a whole row of columns at once. A column where some interval starts beyond M + 1 inside
// the window has a gap and is counted exactly instead.
uint64_t ShellCounter::count_row(int64_t qy) const {
    std::vector<uint64_t> bits(static_cast<size_t>((g_.size + 63) / 64));
    const int64_t c = g_.centre;
    uint64_t count = 0;
    if (!fast_) {
        for (int64_t qx = low_; qx <= high_; ++qx) {
            count += exact_column(qx, qy, bits);
        }
        return count;
    }
    // Columns farther from the axis than R + reach * sqrt(2) have no interval.
    const double reach = g_.radius + reach_ * 1.4142135623730951 + 1.0;
    const double dy = static_cast<double>(qy - c);
    if (dy * dy > reach * reach) {
        return 0;
    }
    const int64_t half = static_cast<int64_t>(std::sqrt(reach * reach - dy * dy));
    const int64_t first = std::max(low_, c - half);
    const int64_t last = std::min(high_, c + half);
    if (first > last) {
        return 0;
    }
    const size_t n = static_cast<size_t>(last - first + 1);
    std::vector<int16_t> top(n);  // H
    std::vector<int16_t> end(n);  // M
    std::vector<int16_t> previous(n);
    for (size_t i = 0; i < n; ++i) {
        top[i] = std::max<int16_t>(0, hi(first + static_cast<int64_t>(i), qy));
    }
    end = top;
    do {
        previous = end;
        for (const BallColumn& col : columns_) {
            const int16_t h = static_cast<int16_t>(col.half);
            const int16_t* lo_row = lo_.data() + index(first - col.dx, qy - col.dy);
            const int16_t* hi_row = hi_.data() + index(first - col.dx, qy - col.dy);
            int16_t* m = end.data();
            for (size_t i = 0; i < n; ++i) {
                const int16_t start = static_cast<int16_t>(lo_row[i] - h);
                const int16_t upper = static_cast<int16_t>(hi_row[i] + h);
                const int16_t mirrored = static_cast<int16_t>(h - lo_row[i]);
                const int16_t candidate = start <= m[i] + 1 ? upper : mirrored;
                m[i] = std::max(m[i], candidate);
            }
        }
    } while (end != previous);

    const int16_t window_top = static_cast<int16_t>(std::max(high_ - c, c - low_));
    std::vector<uint8_t> gap(n, 0);
    std::vector<uint8_t> centre(n, 0);  // the interval union holds z = centre
    for (const BallColumn& col : columns_) {
        const int16_t h = static_cast<int16_t>(col.half);
        const int16_t* lo_row = lo_.data() + index(first - col.dx, qy - col.dy);
        for (size_t i = 0; i < n; ++i) {
            const int16_t start = static_cast<int16_t>(lo_row[i] - h);
            gap[i] |= start > end[i] + 1 && start <= window_top;
            centre[i] |= start <= 0;
        }
    }
    const int64_t up_limit = high_ - c;
    const int64_t down_limit = c - low_;
    for (size_t i = 0; i < n; ++i) {
        const int64_t qx = first + static_cast<int64_t>(i);
        if (gap[i]) {
            count += exact_column(qx, qy, bits);
            continue;
        }
        const int64_t h = top[i];
        const int64_t m = end[i];
        count += static_cast<uint64_t>(std::max<int64_t>(0, std::min(m, up_limit) - h));
        count += static_cast<uint64_t>(std::max<int64_t>(0, std::min(m, down_limit) - h));
        if (hi(qx, qy) < 0 && centre[i]) {
            ++count;
        }
    }
    return count;
}

}  // namespace

uint64_t reference_shell_count(const formats::DiscretizedBall& ball, const ReferenceGeometry& g,
                               unsigned threads) {
    const ShellCounter counter(ball, g);
    const int64_t low = kWindowMargin;
    const int64_t high = g.size - kWindowMargin - 1;
    std::vector<uint64_t> row_counts(static_cast<size_t>(std::max<int64_t>(0, high - low + 1)), 0);
    parallel_for(row_counts.size(), threads, [&](size_t i) {
        row_counts[i] = counter.count_row(low + static_cast<int64_t>(i));
    });
    uint64_t total = 0;
    for (uint64_t v : row_counts) {
        total += v;
    }
    return total;
}

ReferenceShellCount standard_reference_shell_count(unsigned threads) {
    return [threads](const formats::DiscretizedBall& ball) {
        return reference_shell_count(ball, ReferenceGeometry{}, threads);
    };
}

double de_from_count(uint64_t count) {
    // 0.07957747154594767 is 1/(4 pi) and 91125000 is 450^3.
    return std::pow(static_cast<double>(count) * 3.0 * 0.07957747154594767 + 91125000.0,
                    0.3333333333333333) -
           450.0;
}

void compute_de(std::vector<formats::DiscretizedBall>& balls, Matrix& m, const VerboseLog& log,
                const ReferenceShellCount& count_shell) {
    log("============================================================\n");
    log("  de (e - epsilon, d - delta)\n");
    log("============================================================\n");
    for (size_t i = 0; i < balls.size(); ++i) {
        formats::DiscretizedBall& ball = balls[i];
        const unsigned number = static_cast<unsigned>(i + 1);
        if (std::fabs(ball.de) < formats::kMissingDe) {
            log("clearing data set Re\n");
            log("done\n");
            log("generating data set Re [e = %2u]...\n", number);
            const uint64_t count = count_shell(ball);
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
