// libFuzzer target: the estimator's morphology, edge correction and fit on a tiny data set
// and a few small balls made from the input. The word-parallel counts must equal the
// voxel-by-voxel ones (the shells, and the cells of Xe per block for its Euler
// characteristic), and when every ball is a digital Euclidean ball the distance path's too;
// the fits may refuse, but must not crash.
//
// Input: width, height and slice count (1 .. 24 each), then the number of balls (1 .. 4) and
// the epsilon index, then for each ball its size byte and a correction value byte, then
// either (size byte 128 or more) a threshold byte, t = byte % 24, or its size (1 .. 4) and
// column lengths; then the voxels, eight to a byte.
#include <cstdlib>
#include <vector>

#include "driver/verbose_log.h"
#include "fit/adaptive_fit.h"
#include "fit/steiner_fit.h"
#include "formats/errors.h"
#include "literal_oracle.h"
#include "morphology/dilation.h"
#include "morphology/edge_correction.h"
#include "morphology/euler_count.h"
#include "morphology/morphology.h"
#include "shells/distance_shells.h"
#include "shells/euclidean_ball.h"

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t next() { return at < size ? data[at++] : 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace talvik;
    Reader in{data, size};
    const int32_t w = 1 + in.next() % 24;
    const int32_t h = 1 + in.next() % 24;
    const int32_t s = 1 + in.next() % 24;
    const size_t count = 1 + in.next() % 4;
    const size_t epsilon = in.next() % count;
    std::vector<formats::DiscretizedBall> balls(count);
    for (formats::DiscretizedBall& ball : balls) {
        const uint8_t size = in.next();
        const double de = 0.25 + in.next() / 16.0;
        if (size >= 128) {
            ball = threshold_ball(in.next() % 24);
            ball.de = de;
            continue;
        }
        ball.size = 1 + size % 4;
        ball.de = de;
        ball.lengths.resize(static_cast<size_t>(ball.size * ball.size));
        for (int32_t& length : ball.lengths) {
            length = static_cast<int8_t>(in.next());
        }
        ball.lengths[0] = 2 * ball.size - 1;
    }
    formats::BitVolume x(w, h, s);
    for (int32_t z = 0; z < s; ++z) {
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x0 = 0; x0 < w; x0 += 8) {
                const uint8_t bits = in.next();
                for (int32_t b = 0; b < 8 && x0 + b < w; ++b) {
                    if (bits >> b & 1) {
                        x.set(x0 + b, y, z);
                    }
                }
            }
        }
    }

    const std::vector<uint64_t> expected = oracle::shell_counts(x, balls, epsilon);
    const formats::WordVolume words = to_word_volume(x);
    formats::WordVolume xe(w, h, s);
    dilate(words, xe, balls[epsilon], 2);
    complement(xe);
    formats::WordVolume xd(w, h, s);
    FitMatrices fit = create_fit_matrices(static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
        clear_volume(xd);
        dilate(xe, xd, balls[i], 1 + i % 2);
        subtract(xd, xe);
        const uint16_t ties = correct_edges(xd, xe);
        const uint64_t volume = count_window(xd, ties);
        if (volume != expected[i]) {
            std::abort();
        }
        double power = 1.0;
        for (uint32_t k = 0; k < 3; ++k) {
            power = power * balls[i].de;
            fit.m.at(k, static_cast<uint32_t>(i)) = power * fit.m.at(k, static_cast<uint32_t>(i));
        }
        fit.v.at(static_cast<uint32_t>(i), 0) =
            static_cast<double>(volume) / static_cast<double>(window_size(w, h, s));
    }
    // Blocks of the window from 1 voxel up.
    const WindowBlocks blocks = WindowBlocks::split(w, h, s, 3, 1 + s % 4);
    formats::BitVolume literal_xe(w, h, s);
    oracle::dilate(x, literal_xe, balls[epsilon]);
    const CellCounts cells = count_dilated_cells(words, balls[epsilon], blocks, 1 + h % 2);
    const CellCounts literal_cells = oracle::cell_counts(literal_xe, blocks);
    if (cells.voxels != literal_cells.voxels || cells.euler6 != literal_cells.euler6 ||
        cells.euler26 != literal_cells.euler26) {
        std::abort();
    }
    if (const std::optional<std::vector<int64_t>> thresholds = euclidean_thresholds(balls)) {
        // Each input on one of the SIMD targets that the processor runs.
        std::vector<const distance::KernelSet*> targets;
        for (const distance::KernelSet* set : distance::compiled_kernel_sets()) {
            if (distance::runs_here(*set)) {
                targets.push_back(set);
            }
        }
        const distance::KernelSet* kernels = targets[(count + w) % targets.size()];
        // The blocks of every shell add up to its total.
        const ShellCounts counts =
            distance_shell_counts(words, *thresholds, epsilon, 1 + w % 2, blocks,
                                  {kernels, h % 2 ? 1 : DistanceTuning{}.piece_bytes});
        if (counts.totals != expected) {
            std::abort();
        }
        for (size_t d = 0; d < count; ++d) {
            uint64_t sum = 0;
            for (size_t b = 0; b < blocks.count(); ++b) {
                sum += counts.in_block(b, d);
            }
            if (sum != expected[d]) {
                std::abort();
            }
        }
        std::vector<double> de;
        for (const formats::DiscretizedBall& ball : balls) {
            de.push_back(ball.de);
        }
        try {
            adaptive_volumes(window_measures(counts, cells, blocks, blocks.count() - 1), de, count,
                             VerboseLog(false));
        } catch (const formats::FatalError&) {
        }
    }
    try {
        solve(fit, VerboseLog(false));
    } catch (const formats::FatalError&) {
    }
    return 0;
}
