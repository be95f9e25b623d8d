// Text split into lines: the balls file's reader, model.txt, the results file and talvik's
// output read back by the front-end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace formats {

// Text lines are read in pieces of at most this many characters and their newline; a longer
// line is read as several consecutive pieces.
inline constexpr size_t kLinePieceLength = 1022;

// One piece of a line: [begin, end) includes the newline that ends it, if any; the piece's
// text is [begin, text_end), which stops before the newline or at a NUL byte, as a C string
// would.
struct LinePiece {
    size_t begin = 0;
    size_t end = 0;
    size_t text_end = 0;
};

// The piece that starts at `position`; false at the end of `text`.
bool next_line_piece(std::span<const uint8_t> text, size_t position, LinePiece& piece);

// The next line of a text file as the discretized-balls readers see it: one piece, without its
// newline, the carriage return before that newline, and its leading blanks and tabs. Advances
// `position`; false at the end of `text`.
bool next_text_line(std::span<const uint8_t> text, size_t& position, std::string_view& line);

// The lines of `text`, each without its newline and the carriage return before it; a final
// newline ends the last line rather than starting an empty one.
std::vector<std::string_view> split_lines(std::string_view text);

}  // namespace formats
