// The word path: Xe, (Xe)* and one dilation of (Xe)* per ball, each a whole volume, dilated a
// 64-bit word at a time. Takes every ball.
#pragma once

#include "formats/word_volume.h"
#include "shells/shell_counter.h"

namespace talvik {

class WordShells : public ShellCounter {
  public:
    // Takes X over and creates Xe and ((Xe)*)d at once, so that a shortage of memory shows
    // before anything else is computed; fatal when the memory is not there.
    WordShells(formats::WordVolume x, unsigned threads);

    ShellCounts count_shells(const std::vector<formats::DiscretizedBall>& balls,
                             size_t epsilon_index, const WindowBlocks& blocks,
                             const ShellSteps& steps) override;

  private:
    unsigned threads_;
    formats::WordVolume x_;
    formats::WordVolume xe_;
    formats::WordVolume xd_;
};

}  // namespace talvik
