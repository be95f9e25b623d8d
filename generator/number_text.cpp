#include "number_text.h"

#include <charconv>

namespace brisolt {
namespace {

template <typename T>
bool parse_all(const char* begin, const char* end, T& value) {
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return begin != end && ec == std::errc() && ptr == end;
}

}  // namespace

bool parse_whole(const std::string& text, uint32_t& value) {
    return parse_all(text.data(), text.data() + text.size(), value);
}

bool parse_whole(const std::string& text, int64_t& value) {
    return !text.starts_with('-') && parse_all(text.data(), text.data() + text.size(), value);
}

bool parse_integer(const std::string& text, int64_t& value) {
    return parse_all(text.data(), text.data() + text.size(), value);
}

bool parse_number(const std::string& text, double& value) {
    // from_chars takes a minus sign but not a plus sign.
    const size_t skip = text.starts_with('+') && text.size() > 1 && text[1] != '-' ? 1 : 0;
    return parse_all(text.data() + skip, text.data() + text.size(), value);
}

}  // namespace brisolt
