// Whole-file reads, the reading of text lines and numbers, and the safe rewrite of a user's
// file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvik {

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

// The integer that C's atoi reads from the front of `text`: leading white space, an optional
// sign and digits; no digits give 0. Out-of-range values wrap to 32 bits as glibc's atoi does.
// The balls file's values and the command line's epsilon are read so.
int32_t atoi_value(const char* text);

enum class ReadOutcome { ok, cannot_open, read_error };

// Reads the whole file into `bytes` (reusing its capacity). Only a regular file, after
// following links, can be opened: a directory, a FIFO, a device or a socket cannot, and
// nothing is read from it.
ReadOutcome read_whole_file(const std::string& path, std::vector<uint8_t>& bytes);

// Writes all of `text` to the file descriptor, going on after partial writes and signals;
// false on the first failure (a full disk, a size limit), with part of the text perhaps written.
bool write_all(int fd, std::string_view text);

// Replaces the file at `path` with `contents` so that the file is at every moment either the
// old one or the complete new one: the text goes to a temporary file in the same directory,
// is flushed to disk and renamed over the target. A symbolic link is followed and its target
// replaced. Returns false (and leaves the original untouched) on any failure.
bool replace_file_contents(const std::string& path, const std::string& contents);

}  // namespace talvik
