#include "formats/text_lines.h"

#include <algorithm>
#include <cstring>

namespace formats {

bool next_line_piece(std::span<const uint8_t> text, size_t position, LinePiece& piece) {
    if (position >= text.size()) {
        return false;
    }
    size_t end = position;
    while (end < text.size() && end - position < kLinePieceLength && text[end] != '\n') {
        ++end;
    }
    const size_t line_end = end;
    if (end < text.size() && text[end] == '\n') {
        ++end;
    }
    const void* nul = std::memchr(text.data() + position, 0, line_end - position);
    piece.begin = position;
    piece.end = end;
    piece.text_end =
        nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - text.data()) : line_end;
    return true;
}

bool next_text_line(std::span<const uint8_t> text, size_t& position, std::string_view& line) {
    LinePiece piece;
    if (!next_line_piece(text, position, piece)) {
        return false;
    }
    position = piece.end;
    line = std::string_view(reinterpret_cast<const char*>(text.data()) + piece.begin,
                            piece.text_end - piece.begin);
    if (!line.empty() && line.back() == '\r' && piece.text_end + 1 == piece.end) {
        line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    return true;
}

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace formats
