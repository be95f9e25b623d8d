// The slice inspection behind Ferndel: one slice file in, its size, its number of black pixels
// and its pixels out, or the text of the message that tells why it could not be read.
#pragma once

#include <cstdint>
#include <string>

#include "formats/slice_file.h"

namespace ferndel {

struct Inspection {
    bool ok = false;
    std::string dimension;       // "%ux%u", width first
    std::string black_pixels;    // "%u"
    std::string black_fraction;  // the share of black pixels, "(27.81 %)"
    int32_t width = 0;
    int32_t height = 0;
    formats::SliceBits bits;  // the pixels, for the picture
    std::string message;      // when !ok: the whole text of the message box
};

// Reads the slice at `path` with the estimator's reader, so that Ferndel accepts exactly the
// slices that talvik accepts. Only regular files are opened: a FIFO or a device would block
// or never end.
Inspection inspect_slice(const std::string& path);

// The number of set bits of the plane; the reader leaves every bit past width * height clear.
uint32_t count_black_pixels(const formats::SliceBits& bits);

// "(p %)" with two decimals; never "0.00" for some black pixels nor "100.00" for some white
// ones, so that a single pixel in a large slice is not reported as none.
std::string format_black_fraction(uint64_t black, uint64_t pixels);

// After a failed read the dialog keeps the results of the slice last read, `shown`: this says
// whose they are ("c.pbm could not be read: the numbers and the picture are those of b.pbm.").
// Empty when nothing was read yet or the failed file is the one shown. Plain file names, unless
// the two have the same name.
std::string kept_results_note(const std::string& shown, const std::string& failed);

}  // namespace ferndel
