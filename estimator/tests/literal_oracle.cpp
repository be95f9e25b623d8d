#include "literal_oracle.h"

#include <bit>
#include <cstdio>
#include <stdexcept>

#include "formats/data_set.h"
#include "formats/slice_file.h"

namespace talvik::oracle {
namespace {

bool inside(const formats::BitVolume& v, int64_t x, int64_t y, int64_t z) {
    return x >= 0 && y >= 0 && z >= 0 && x < v.width && y < v.height && z < v.slice_count;
}

bool in_window(const formats::BitVolume& v, int32_t x, int32_t y, int32_t z) {
    return x >= 5 && x < v.width - 5 && y >= 5 && y < v.height - 5 && z >= 5 &&
           z < v.slice_count - 5;
}

// Remove or keep, counting a tie in `ties`.
bool nearest_side_removes(const formats::BitVolume& y_volume, int32_t x, int32_t y, int32_t z,
                          uint16_t& ties) {
    for (int32_t k = 0; k <= 75; ++k) {
        bool inner = false;
        bool outer = false;
        for (int32_t dz = -5; dz <= 5; ++dz) {
            for (int32_t dy = -5; dy <= 5; ++dy) {
                for (int32_t dx = -5; dx <= 5; ++dx) {
                    if (dx * dx + dy * dy + dz * dz != k) {
                        continue;
                    }
                    const int32_t px = x + dx, py = y + dy, pz = z + dz;
                    if (!inside(y_volume, px, py, pz) || !y_volume.get(px, py, pz)) {
                        continue;
                    }
                    if (in_window(y_volume, px, py, pz)) {
                        inner = true;
                    } else {
                        outer = true;
                    }
                }
            }
        }
        if (inner && !outer) {
            return false;
        }
        if (inner && outer) {
            ++ties;
            return true;
        }
        if (outer) {
            return true;
        }
    }
    return true;
}

std::vector<int32_t> band(int32_t n) {
    std::vector<int32_t> b;
    for (int32_t c = 0; c < n; ++c) {
        const bool in_band =
            n > 20 ? ((c >= 5 && c <= 9) || (c >= n - 10 && c <= n - 6)) : (c >= 5 && c <= n - 6);
        if (in_band) {
            b.push_back(c);
        }
    }
    return b;
}

}  // namespace

formats::SliceStatus read_slice_raster(const std::vector<uint8_t>& raster, int32_t width,
                                       int32_t height, formats::SliceBits& out) {
    out.bytes.assign(formats::SliceBits::byte_count(width, height), 0);
    size_t next = 0;
    uint8_t output = 0;
    unsigned mask = 1;
    size_t position = 0;
    for (int32_t y = 0; y < height; ++y) {
        unsigned input_bit = 0;  // no unread bits
        uint8_t input = 0;
        for (int32_t x = 0; x < width; ++x) {
            if (input_bit == 0) {
                if (next == raster.size()) {
                    return formats::SliceStatus::truncated;
                }
                input = raster[next++];
                input_bit = 0x80;
            }
            if (input & input_bit) {
                output |= static_cast<uint8_t>(mask);
            }
            input_bit >>= 1;
            mask <<= 1;
            if (mask == 0x100) {
                out.bytes[position++] = output;
                output = 0;
                mask = 1;
            }
        }
    }
    if (mask != 1) {
        out.bytes[position] = output;
    }
    return formats::SliceStatus::ok;
}

void dilate(const formats::BitVolume& src, formats::BitVolume& dst,
            const formats::DiscretizedBall& ball) {
    const int32_t k = ball.size - 1;
    for (int32_t z = 0; z < src.slice_count; ++z) {
        for (int32_t y = 0; y < src.height; ++y) {
            for (int32_t x = 0; x < src.width; ++x) {
                if (!src.get(x, y, z)) {
                    continue;
                }
                dst.set(x, y, z);
                const bool inner = x > 0 && x < src.width - 1 && y > 0 && y < src.height - 1 &&
                                   z > 0 && z < src.slice_count - 1 && src.get(x - 1, y, z) &&
                                   src.get(x + 1, y, z) && src.get(x, y - 1, z) &&
                                   src.get(x, y + 1, z) && src.get(x, y, z - 1) &&
                                   src.get(x, y, z + 1);
                if (inner) {
                    continue;
                }
                for (int32_t dz = -k; dz <= k; ++dz) {
                    for (int32_t dy = -k; dy <= k; ++dy) {
                        for (int32_t dx = -k; dx <= k; ++dx) {
                            if (inside(src, x + dx, y + dy, z + dz) &&
                                formats::ball_contains(ball, dx, dy, dz)) {
                                dst.set(x + dx, y + dy, z + dz);
                            }
                        }
                    }
                }
            }
        }
    }
}

void complement(formats::BitVolume& volume) {
    for (int32_t z = 0; z < volume.slice_count; ++z) {
        for (int32_t y = 0; y < volume.height; ++y) {
            for (int32_t x = 0; x < volume.width; ++x) {
                if (volume.get(x, y, z)) {
                    volume.reset(x, y, z);
                } else {
                    volume.set(x, y, z);
                }
            }
        }
    }
}

void subtract(formats::BitVolume& a, const formats::BitVolume& b) {
    for (int32_t z = 0; z < a.slice_count; ++z) {
        for (int32_t y = 0; y < a.height; ++y) {
            for (int32_t x = 0; x < a.width; ++x) {
                if (b.get(x, y, z)) {
                    a.reset(x, y, z);
                }
            }
        }
    }
}

uint16_t correct_edges(formats::BitVolume& shell, const formats::BitVolume& reference,
                       formats::BitVolume* tie_voxels) {
    uint16_t ties = 0;
    if (shell.width <= 10 || shell.height <= 10 || shell.slice_count <= 10) {
        return ties;
    }
    for (int32_t z : band(shell.slice_count)) {
        for (int32_t y : band(shell.height)) {
            for (int32_t x : band(shell.width)) {
                const uint16_t before = ties;
                if (shell.get(x, y, z) && nearest_side_removes(reference, x, y, z, ties)) {
                    shell.reset(x, y, z);
                }
                if (tie_voxels != nullptr && ties != before) {
                    tie_voxels->set(x, y, z);
                }
            }
        }
    }
    return ties;
}

uint64_t count_window(const formats::BitVolume& volume, uint16_t ties) {
    uint64_t count = 0;
    for (int32_t z = 5; z < volume.slice_count - 5; ++z) {
        for (int32_t y = 5; y < volume.height - 5; ++y) {
            for (int32_t x = 5; x < volume.width - 5; ++x) {
                count += volume.get(x, y, z);
            }
        }
    }
    return count + ties / 2;
}

uint64_t reference_shell_count(const formats::DiscretizedBall& ball, const ReferenceGeometry& g) {
    formats::BitVolume grid(g.size, g.size, g.size);
    const int64_t c = g.centre;
    const int64_t outer = static_cast<int64_t>(g.radius) * g.radius;
    const int64_t inner = static_cast<int64_t>(g.radius - 1) * (g.radius - 1);
    const int32_t k = ball.size - 1;
    for (int32_t z = 0; z < g.size; ++z) {
        for (int32_t y = 0; y < g.size; ++y) {
            for (int32_t x = 0; x < g.size; ++x) {
                const int64_t d2 = (x - c) * (x - c) + (y - c) * (y - c) + (z - c) * (z - c);
                if (d2 < inner || d2 > outer) {
                    continue;
                }
                for (int32_t dz = -k; dz <= k; ++dz) {
                    for (int32_t dy = -k; dy <= k; ++dy) {
                        for (int32_t dx = -k; dx <= k; ++dx) {
                            const int64_t qx = x + dx, qy = y + dy, qz = z + dz;
                            if (!inside(grid, qx, qy, qz)) {
                                continue;
                            }
                            const int64_t q2 =
                                (qx - c) * (qx - c) + (qy - c) * (qy - c) + (qz - c) * (qz - c);
                            if (q2 > outer && formats::ball_contains(ball, dx, dy, dz)) {
                                grid.set(static_cast<int32_t>(qx), static_cast<int32_t>(qy),
                                         static_cast<int32_t>(qz));
                            }
                        }
                    }
                }
            }
        }
    }
    return count_window(grid, 0);
}

std::vector<uint64_t> shell_counts(const formats::BitVolume& x,
                                   const std::vector<formats::DiscretizedBall>& balls,
                                   size_t epsilon_index) {
    formats::BitVolume xe(x.width, x.height, x.slice_count);
    dilate(x, xe, balls[epsilon_index]);
    complement(xe);
    std::vector<uint64_t> counts;
    for (const formats::DiscretizedBall& ball : balls) {
        formats::BitVolume xd(x.width, x.height, x.slice_count);
        dilate(xe, xd, ball);
        subtract(xd, xe);
        const uint16_t ties = correct_edges(xd, xe);
        counts.push_back(count_window(xd, ties));
    }
    return counts;
}

CellCounts cell_counts(const formats::BitVolume& volume, const WindowBlocks& blocks) {
    CellCounts counts;
    counts.voxels.assign(blocks.count(), 0);
    counts.euler6.assign(blocks.count(), 0);
    counts.euler26.assign(blocks.count(), 0);
    for (int32_t z = 0; z < volume.slice_count; ++z) {
        for (int32_t y = 0; y < volume.height; ++y) {
            for (int32_t x = 0; x < volume.width; ++x) {
                if (!in_window(volume, x, y, z)) {
                    continue;
                }
                const size_t b = blocks.block_of(x, y, z);
                counts.voxels[b] += volume.get(x, y, z);
                // The cell thin along the axes in `thin` (none: the voxel; all three: the
                // vertex) lies between the voxels p - s for s within `thin`; its dimension is
                // 3 - |thin|.
                for (int thin = 0; thin < 8; ++thin) {
                    bool every = true;
                    bool any = false;
                    for (int s = 0; s < 8; ++s) {
                        if ((s & ~thin) != 0) {
                            continue;
                        }
                        const bool set =
                            volume.get(x - (s & 1), y - (s >> 1 & 1), z - (s >> 2 & 1));
                        every = every && set;
                        any = any || set;
                    }
                    const int dimension = 3 - std::popcount(static_cast<unsigned>(thin));
                    const int sign = dimension % 2 == 0 ? 1 : -1;
                    // The 6-adjacent set's complex has the voxels as vertices: its cells of
                    // dimension 3 - d count with the sign of d.
                    counts.euler6[b] += every ? -sign : 0;
                    counts.euler26[b] += any ? sign : 0;
                }
            }
        }
    }
    return counts;
}

formats::BitVolume load_data_set(const std::string& directory) {
    const std::vector<std::string> paths = formats::list_slice_files(directory);
    formats::BitVolume volume;
    for (const std::string& path : paths) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            throw std::runtime_error("cannot open " + path);
        }
        formats::SliceReadResult slice = formats::read_slice(file);
        std::fclose(file);
        if (slice.status != formats::SliceStatus::ok) {
            throw std::runtime_error("cannot read " + path);
        }
        volume.width = slice.width;
        volume.height = slice.height;
        volume.planes.push_back(std::move(slice.bits));
    }
    volume.slice_count = static_cast<int32_t>(volume.planes.size());
    return volume;
}

}  // namespace talvik::oracle
