// The text that the test child writes for "bytes:N": numbered lines, cut to N bytes, so that
// a test sees at once whether a piece is missing or out of order.
#pragma once

#include <string>

inline std::string numbered_lines(size_t size) {
    std::string text;
    for (size_t line = 0; text.size() < size; ++line) {
        text += "line " + std::to_string(line) + "\n";
    }
    text.resize(size);
    return text;
}
