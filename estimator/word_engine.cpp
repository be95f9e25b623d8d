#include <memory>

#include "data_set.h"
#include "morphology.h"
#include "morphology_engine.h"
#include "reference_shell.h"

namespace talvik {

struct WordEngine::Volumes {
    WordVolume x;
    WordVolume xe;
    WordVolume xd;
};

WordEngine::WordEngine(unsigned threads) : threads_(threads), volumes_(new Volumes) {}

WordEngine::~WordEngine() {
    delete volumes_;
}

VolumeShape WordEngine::load_data_set(const std::string& directory) {
    volumes_->x = talvik::load_data_set(directory);
    return {volumes_->x.width(), volumes_->x.height(), volumes_->x.slices()};
}

void WordEngine::create_work_volumes() {
    volumes_->xe = create_work_volume(volumes_->x);
    volumes_->xd = create_work_volume(volumes_->x);
}

uint64_t WordEngine::reference_shell_count(const DiscretizedBall& ball) {
    return talvik::reference_shell_count(ball, ReferenceGeometry{}, threads_);
}

void WordEngine::dilate_data_set(const DiscretizedBall& epsilon) {
    dilate(volumes_->x, volumes_->xe, epsilon, threads_);
}

void WordEngine::complement_dilated() {
    complement(volumes_->xe);
}

void WordEngine::clear_work() {
    clear_volume(volumes_->xd);
}

void WordEngine::dilate_complement(const DiscretizedBall& delta) {
    dilate(volumes_->xe, volumes_->xd, delta, threads_);
}

void WordEngine::subtract_complement() {
    subtract(volumes_->xd, volumes_->xe);
}

uint64_t WordEngine::corrected_shell_count() {
    const uint16_t ties = correct_edges(volumes_->xd, volumes_->xe);
    return count_window(volumes_->xd, ties);
}

}  // namespace talvik
