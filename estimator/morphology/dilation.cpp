// Dilation by a discretized ball, a 64-bit word at a time.
//
// The result is the source together with the ball stamped at every boundary voxel (a voxel
// on the volume's border or with a clear face neighbour). With the boundary voxels B and, for
// each (dy, dz), the set S of dx with (dx, dy, dz) in the ball, the stamps are the union over
// (dy, dz) of B dilated along x by S and shifted by (dy, dz). Each x-dilation is a few
// shifted ORs of a row; each (dy, dz) line is then one contiguous OR of rows.
//
// The output is cut into tiles of rows; a tile sweeps z with the boundary and x-dilated rows
// of one source plane in cache and ORs them into the planes within reach. A tile writes
// only its own rows, so tiles run on any number of threads with the same result.
#include "morphology/dilation.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "parallel/parallel_for.h"

namespace talvik {
namespace {

#if defined(__x86_64__) && !defined(__clang__)
#define TALVIK_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TALVIK_VECTOR_CLONES
#endif

TALVIK_VECTOR_CLONES
void or_words(uint64_t* __restrict out, const uint64_t* __restrict in, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        out[i] |= in[i];
    }
}

// out |= row shifted by `shift` voxels toward higher x (left) or lower x (right), one row.
void or_shifted_row(uint64_t* __restrict out, const uint64_t* __restrict row, size_t wpr,
                    int32_t shift, bool toward_higher_x) {
    const size_t q = static_cast<size_t>(shift) / 64;
    const unsigned r = static_cast<unsigned>(shift) % 64;
    if (q >= wpr) {
        return;
    }
    if (toward_higher_x) {
        for (size_t i = q; i < wpr; ++i) {
            uint64_t word = row[i - q] << r;
            if (r != 0 && i > q) {
                word |= row[i - q - 1] >> (64 - r);
            }
            out[i] |= word;
        }
    } else {
        for (size_t i = 0; i + q < wpr; ++i) {
            uint64_t word = row[i + q] >> r;
            if (r != 0 && i + q + 1 < wpr) {
                word |= row[i + q + 1] << (64 - r);
            }
            out[i] |= word;
        }
    }
}

// Boundary voxels of one source row: set voxels with a clear face neighbour or on the
// border. Missing neighbours (outside the volume) count as clear.
void boundary_row(const formats::WordVolume& src, int32_t y, int32_t z, uint64_t* out) {
    const size_t wpr = src.words_per_row();
    const uint64_t* row = src.row(y, z);
    const uint64_t* up = y > 0 ? src.row(y - 1, z) : nullptr;
    const uint64_t* down = y + 1 < src.height() ? src.row(y + 1, z) : nullptr;
    const uint64_t* before = z > 0 ? src.row(y, z - 1) : nullptr;
    const uint64_t* after = z + 1 < src.slices() ? src.row(y, z + 1) : nullptr;
    for (size_t i = 0; i < wpr; ++i) {
        const uint64_t s = row[i];
        if (s == 0) {
            out[i] = 0;
            continue;
        }
        // Bit x of `left` is voxel x - 1; bit x of `right` is voxel x + 1. Bits past the
        // row's end are clear, so the last voxel never has a right neighbour.
        const uint64_t left = (s << 1) | (i > 0 ? row[i - 1] >> 63 : 0);
        const uint64_t right = (s >> 1) | (i + 1 < wpr ? row[i + 1] << 63 : 0);
        uint64_t inner = s & left & right;
        inner &= up ? up[i] : 0;
        inner &= down ? down[i] : 0;
        inner &= before ? before[i] : 0;
        inner &= after ? after[i] : 0;
        out[i] = s & ~inner;
    }
}

// The boundary rows ys0 <= y < ys1 of source plane z, row y at (y - ys0) * wpr of
// `boundary`, then their x-dilations, one block of those rows per x-profile of the ball (a
// profile starts from its base profile, which comes before it). `runs` receives the runs of
// rows that hold boundary voxels, as [begin, end) pairs of y; the other rows stamp nothing,
// and their x-dilated rows are neither built nor to be read.
void dilate_plane_along_x(const formats::WordVolume& src, const BallRows& ball, int32_t z,
                          int32_t ys0, int32_t ys1, uint64_t* boundary, uint64_t* dilated,
                          std::vector<int32_t>& runs) {
    const size_t wpr = src.words_per_row();
    const size_t block = static_cast<size_t>(ys1 - ys0) * wpr;
    runs.clear();
    for (int32_t y = ys0; y < ys1; ++y) {
        uint64_t* out = boundary + static_cast<size_t>(y - ys0) * wpr;
        boundary_row(src, y, z, out);
        bool nonzero = false;
        for (size_t i = 0; i < wpr && !nonzero; ++i) {
            nonzero = out[i] != 0;
        }
        if (!nonzero) {
            continue;
        }
        if (!runs.empty() && runs.back() == y) {
            runs.back() = y + 1;
        } else {
            runs.push_back(y);
            runs.push_back(y + 1);
        }
    }
    for (size_t run = 0; run < runs.size(); run += 2) {
        for (int32_t y = runs[run]; y < runs[run + 1]; ++y) {
            const size_t offset = static_cast<size_t>(y - ys0) * wpr;
            const uint64_t* in = boundary + offset;
            for (size_t set = 0; set < ball.sets.size(); ++set) {
                const BallRows::DxSet& dx_set = ball.sets[set];
                uint64_t* row_out = dilated + set * block + offset;
                if (dx_set.base >= 0) {
                    std::memcpy(row_out,
                                dilated + static_cast<size_t>(dx_set.base) * block + offset,
                                wpr * sizeof(uint64_t));
                } else {
                    std::memset(row_out, 0, wpr * sizeof(uint64_t));
                }
                for (int32_t dx : dx_set.added) {
                    if (dx == 0) {
                        or_words(row_out, in, wpr);
                    } else {
                        or_shifted_row(row_out, in, wpr, dx, true);
                        or_shifted_row(row_out, in, wpr, dx, false);
                    }
                }
                row_out[wpr - 1] &= src.last_word_mask();
            }
        }
    }
}

// Rows y0 <= y < y1 of a target plane |= the x-dilated rows of `line`, for the source rows in
// [ys0, ys1) with boundary voxels (`runs`), each shifted by the line's dy.
void or_line(uint64_t* plane, size_t wpr, const BallRows::Line& line, int32_t y0, int32_t y1,
             int32_t ys0, int32_t ys1, const uint64_t* dilated, const std::vector<int32_t>& runs) {
    const size_t block = static_cast<size_t>(ys1 - ys0) * wpr;
    const int32_t from = std::max(ys0, y0 - line.dy);
    const int32_t to = std::min(ys1, y1 - line.dy);
    const uint64_t* rows = dilated + static_cast<size_t>(line.set) * block;
    for (size_t run = 0; run < runs.size(); run += 2) {
        const int32_t a = std::max(from, runs[run]);
        const int32_t b = std::min(to, runs[run + 1]);
        if (a < b) {
            or_words(plane + static_cast<size_t>(a + line.dy) * wpr,
                     rows + static_cast<size_t>(a - ys0) * wpr, static_cast<size_t>(b - a) * wpr);
        }
    }
}

struct TileBuffers {
    std::vector<uint64_t> boundary;  // source rows of the tile (with its reach above and below)
    std::vector<uint64_t> dilated;   // one block of those rows per dx set
    std::vector<int32_t> runs;       // runs of rows with boundary voxels
};

void dilate_tile(const formats::WordVolume& src, formats::WordVolume& dst, const BallRows& ball,
                 int32_t y0, int32_t y1, TileBuffers& buffers) {
    const int32_t k = ball.reach;
    const int32_t h = src.height();
    const int32_t s = src.slices();
    const size_t wpr = src.words_per_row();
    const int32_t ys0 = std::max(0, y0 - k);
    const int32_t ys1 = std::min(h, y1 + k);
    const size_t block = static_cast<size_t>(ys1 - ys0) * wpr;
    buffers.boundary.resize(block);
    buffers.dilated.resize(block * ball.sets.size());

    for (int32_t z = 0; z < s; ++z) {
        dilate_plane_along_x(src, ball, z, ys0, ys1, buffers.boundary.data(),
                             buffers.dilated.data(), buffers.runs);
        for (const BallRows::Line& line : ball.lines) {
            const int32_t zo = z + line.dz;
            if (zo >= 0 && zo < s) {
                or_line(dst.plane(zo), wpr, line, y0, y1, ys0, ys1, buffers.dilated.data(),
                        buffers.runs);
            }
        }
        or_words(dst.row(y0, z), src.row(y0, z), static_cast<size_t>(y1 - y0) * wpr);
    }
}

}  // namespace

BallRows decompose_ball(const formats::DiscretizedBall& ball) {
    BallRows rows;
    const int32_t k = ball.size - 1;
    rows.reach = k;
    for (int32_t dz = -k; dz <= k; ++dz) {
        for (int32_t dy = -k; dy <= k; ++dy) {
            std::vector<int32_t> offsets;
            for (int32_t dx = 0; dx <= k; ++dx) {
                if (formats::ball_contains(ball, dx, dy, dz)) {
                    offsets.push_back(dx);
                }
            }
            if (offsets.empty()) {
                continue;
            }
            int32_t index = -1;
            for (size_t s = 0; s < rows.sets.size(); ++s) {
                if (rows.sets[s].offsets == offsets) {
                    index = static_cast<int32_t>(s);
                    break;
                }
            }
            if (index < 0) {
                index = static_cast<int32_t>(rows.sets.size());
                rows.sets.push_back({std::move(offsets), -1, {}});
            }
            rows.lines.push_back({dy, dz, index});
        }
    }
    // Sets are built smallest first, each from the largest earlier set it contains.
    std::vector<int32_t> order(rows.sets.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        return rows.sets[a].offsets.size() < rows.sets[b].offsets.size();
    });
    std::vector<int32_t> new_index(order.size());
    std::vector<BallRows::DxSet> sorted;
    for (size_t i = 0; i < order.size(); ++i) {
        new_index[order[i]] = static_cast<int32_t>(i);
        sorted.push_back(std::move(rows.sets[order[i]]));
    }
    rows.sets = std::move(sorted);
    for (BallRows::Line& line : rows.lines) {
        line.set = new_index[line.set];
    }
    for (size_t s = 0; s < rows.sets.size(); ++s) {
        BallRows::DxSet& set = rows.sets[s];
        size_t best_size = 0;
        for (size_t t = 0; t < s; ++t) {
            const std::vector<int32_t>& other = rows.sets[t].offsets;
            bool contained = other.size() < set.offsets.size();
            for (size_t i = 0; contained && i < other.size(); ++i) {
                contained = std::binary_search(set.offsets.begin(), set.offsets.end(), other[i]);
            }
            if (contained && other.size() > best_size) {
                best_size = other.size();
                set.base = static_cast<int32_t>(t);
            }
        }
        for (int32_t dx : set.offsets) {
            if (set.base < 0 || !std::binary_search(rows.sets[set.base].offsets.begin(),
                                                    rows.sets[set.base].offsets.end(), dx)) {
                set.added.push_back(dx);
            }
        }
    }
    return rows;
}

void dilate(const formats::WordVolume& source, formats::WordVolume& target,
            const formats::DiscretizedBall& ball, unsigned threads) {
    if (source.word_count() == 0) {
        return;
    }
    const BallRows rows = decompose_ball(ball);
    const int32_t h = source.height();
    // Keep a tile's working set (its x-dilated source rows and the target rows it writes
    // within reach in z) near the size of a core's L2 cache.
    const size_t row_bytes = source.words_per_row() * sizeof(uint64_t);
    const size_t bytes_per_tile_row = row_bytes * (rows.sets.size() + 2 * rows.reach + 2);
    // std::max first: a height below 8 would reverse std::clamp's bounds.
    int32_t tile = static_cast<int32_t>(std::min<size_t>(
        std::max<size_t>((384u << 10) / bytes_per_tile_row, 8), static_cast<size_t>(h)));
    // At least a few tiles per thread, so that the threads finish together.
    const int32_t balanced =
        (h + static_cast<int32_t>(4 * threads) - 1) / static_cast<int32_t>(4 * threads);
    tile = std::max(1, std::min(tile, std::max(balanced, 8)));
    const size_t tiles = static_cast<size_t>((h + tile - 1) / tile);
    parallel_for(tiles, threads, [&](size_t t) {
        thread_local TileBuffers buffers;
        const int32_t y0 = static_cast<int32_t>(t) * tile;
        dilate_tile(source, target, rows, y0, std::min(h, y0 + tile), buffers);
    });
}

PlaneDilation::PlaneDilation(const formats::WordVolume& source,
                             const formats::DiscretizedBall& ball)
    : source_(source),
      ball_(decompose_ball(ball)),
      slot_words_(source.words_per_plane() * ball_.sets.size()),
      held_(static_cast<size_t>(2 * ball_.reach + 1), -1),
      runs_(held_.size()),
      dilated_(held_.size() * slot_words_),
      boundary_(source.words_per_plane()) {}

void PlaneDilation::plane(int32_t z, uint64_t* out) {
    const size_t wpr = source_.words_per_row();
    const int32_t h = source_.height();
    std::memcpy(out, source_.plane(z), source_.words_per_plane() * sizeof(uint64_t));
    for (const BallRows::Line& line : ball_.lines) {
        const int32_t zs = z - line.dz;
        if (zs < 0 || zs >= source_.slices()) {
            continue;
        }
        const size_t slot = static_cast<size_t>(zs % static_cast<int32_t>(held_.size()));
        if (held_[slot] != zs) {
            dilate_plane_along_x(source_, ball_, zs, 0, h, boundary_.data(),
                                 dilated_.data() + slot * slot_words_, runs_[slot]);
            held_[slot] = zs;
        }
        or_line(out, wpr, line, 0, h, 0, h, dilated_.data() + slot * slot_words_, runs_[slot]);
    }
}

}  // namespace talvik
