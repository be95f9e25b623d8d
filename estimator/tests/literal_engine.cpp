#include "literal_engine.h"

#include <algorithm>

#include "data_set.h"
#include "diagnostics.h"
#include "literal_oracle.h"

namespace talvik::oracle {

VolumeShape LiteralEngine::load_data_set(const std::string& directory) {
    // The production loader reports every failure; the reference reads what it accepted.
    talvik::load_data_set(directory);
    x_ = oracle::load_data_set(directory);
    return {x_.width, x_.height, x_.slice_count};
}

void LiteralEngine::create_work_volumes() {
    xe_ = BitVolume(x_.width, x_.height, x_.slice_count);
    xd_ = BitVolume(x_.width, x_.height, x_.slice_count);
}

uint64_t LiteralEngine::reference_shell_count(const DiscretizedBall& ball) {
    return oracle::reference_shell_count(ball, ReferenceGeometry{});
}

void LiteralEngine::dilate_data_set(const DiscretizedBall& epsilon) {
    dilate(x_, xe_, epsilon);
}

void LiteralEngine::complement_dilated() {
    complement(xe_);
}

void LiteralEngine::clear_work() {
    for (SliceBits& plane : xd_.planes) {
        std::fill(plane.bytes.begin(), plane.bytes.end(), 0);
    }
}

void LiteralEngine::dilate_complement(const DiscretizedBall& delta) {
    dilate(xe_, xd_, delta);
}

void LiteralEngine::subtract_complement() {
    subtract(xd_, xe_);
}

uint64_t LiteralEngine::corrected_shell_count() {
    const uint16_t ties = correct_edges(xd_, xe_);
    return count_window(xd_, ties);
}

}  // namespace talvik::oracle
