#include "literal_engine.h"

#include <algorithm>

#include "literal_oracle.h"

namespace talvik::oracle {
namespace {

struct Packed : MorphologyEngine::Volume {
    explicit Packed(BitVolume v) : bits(std::move(v)) {}
    BitVolume bits;
};

BitVolume& bits(MorphologyEngine::Volume& volume) {
    return static_cast<Packed&>(volume).bits;
}

const BitVolume& bits(const MorphologyEngine::Volume& volume) {
    return static_cast<const Packed&>(volume).bits;
}

}  // namespace

std::unique_ptr<MorphologyEngine::Volume> LiteralEngine::adopt(WordVolume loaded) {
    return std::make_unique<Packed>(to_bit_volume(loaded));
}

std::unique_ptr<MorphologyEngine::Volume> LiteralEngine::create(const VolumeShape& shape) {
    return std::make_unique<Packed>(BitVolume(shape.width, shape.height, shape.slices));
}

void LiteralEngine::clear(Volume& volume) {
    for (SliceBits& plane : bits(volume).planes) {
        std::fill(plane.bytes.begin(), plane.bytes.end(), 0);
    }
}

void LiteralEngine::dilate(const Volume& source, Volume& target, const DiscretizedBall& ball) {
    oracle::dilate(bits(source), bits(target), ball);
}

void LiteralEngine::complement(Volume& volume) {
    oracle::complement(bits(volume));
}

void LiteralEngine::subtract(Volume& a, const Volume& b) {
    oracle::subtract(bits(a), bits(b));
}

uint64_t LiteralEngine::corrected_count(Volume& shell, const Volume& reference) {
    const uint16_t ties = correct_edges(bits(shell), bits(reference));
    return count_window(bits(shell), ties);
}

}  // namespace talvik::oracle
