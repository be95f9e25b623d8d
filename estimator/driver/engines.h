// What a run computes with, chosen in one place: the shell counting (the distance path or
// the word path) and the count of Re - R for the correction values, with the settings that
// the environment gives.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "fit/reference_shell.h"
#include "formats/balls_file.h"
#include "formats/word_volume.h"
#include "morphology/euler_count.h"
#include "shells/distance_kernels.h"
#include "shells/shell_counter.h"

namespace talvik {

// The most threads a run uses.
inline constexpr unsigned kMaxThreads = 256;

// Every setting that talvik reads from its environment.
struct EngineSettings {
    unsigned threads = 1;       // TALVIK_THREADS when a positive number, else every usable CPU
    bool distance_path = true;  // false when TALVIK_WORD_PATH=1
    // The distance kernels of the SIMD target that TALVIK_SIMD names; null for the best that
    // the processor runs.
    const distance::KernelSet* kernels = nullptr;
};

// Throws formats::FatalError when TALVIK_SIMD names no target, or one that this processor
// cannot run.
EngineSettings engine_settings_from_environment();

struct RunEngines {
    // The shell counting of a data set X for a balls file; it takes X over.
    std::function<std::unique_ptr<ShellCounter>(formats::WordVolume x,
                                                const std::vector<formats::DiscretizedBall>&)>
        shell_counter;
    ReferenceShellCount reference_shell_count;
    // The voxels and Euler characteristics of Xe, X dilated by the epsilon ball, per block.
    std::function<CellCounts(const formats::WordVolume& x, const formats::DiscretizedBall& epsilon,
                             const WindowBlocks& blocks)>
        xe_cells;
};

// talvik's own: the distance path for a balls file of digital Euclidean balls that it takes,
// the word path for any other.
RunEngines estimator_engines(const EngineSettings& settings);

}  // namespace talvik
