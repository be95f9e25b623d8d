// The volumes of one run and the operations on them, behind one interface: the estimator's
// word-parallel engine and the voxel-by-voxel reference engine of the tests are
// interchangeable, so the whole run can be checked against the reference.
#pragma once

#include <cstdint>
#include <string>

#include "balls_file.h"

namespace talvik {

struct VolumeShape {
    int32_t width = 0;
    int32_t height = 0;
    int32_t slices = 0;
};

// Holds X (the data set), Xe, which becomes (Xe)*, and the work volume ((Xe)*)d.
class MorphologyEngine {
  public:
    virtual ~MorphologyEngine() = default;
    // Loads X; every failure is fatal.
    virtual VolumeShape load_data_set(const std::string& directory) = 0;
    // Xe and ((Xe)*)d, all clear.
    virtual void create_work_volumes() = 0;
    // The count c of Re - R on the reference grid.
    virtual uint64_t reference_shell_count(const DiscretizedBall& ball) = 0;
    // Xe := X dilated by the epsilon ball.
    virtual void dilate_data_set(const DiscretizedBall& epsilon) = 0;
    // Xe := (Xe)*.
    virtual void complement_dilated() = 0;
    virtual void clear_work() = 0;
    // ((Xe)*)d := (Xe)* dilated by the delta ball.
    virtual void dilate_complement(const DiscretizedBall& delta) = 0;
    // ((Xe)*)d := ((Xe)*)d \ (Xe)*.
    virtual void subtract_complement() = 0;
    // Edge correction of ((Xe)*)d against (Xe)*, then the window count with the ties.
    virtual uint64_t corrected_shell_count() = 0;
};

// The estimator's engine: word-parallel operations on `threads` threads.
class WordEngine : public MorphologyEngine {
  public:
    explicit WordEngine(unsigned threads);
    ~WordEngine() override;
    VolumeShape load_data_set(const std::string& directory) override;
    void create_work_volumes() override;
    uint64_t reference_shell_count(const DiscretizedBall& ball) override;
    void dilate_data_set(const DiscretizedBall& epsilon) override;
    void complement_dilated() override;
    void clear_work() override;
    void dilate_complement(const DiscretizedBall& delta) override;
    void subtract_complement() override;
    uint64_t corrected_shell_count() override;

  private:
    struct Volumes;
    unsigned threads_;
    Volumes* volumes_;
};

}  // namespace talvik
