#include "formats/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace formats {
namespace {

template <typename T>
bool parse_all(std::string_view text, T& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return begin != end && ec == std::errc() && ptr == end;
}

// White space as C's isspace has it in the C locale.
bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

size_t skip_c_space(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && is_c_space(text[at])) {
        ++at;
    }
    return at;
}

bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// For a number that from_chars found out of range: whether its magnitude lies above 1, so
// that it overflowed rather than underflowed. `digits` is the matched text without sign or
// "0x"; `base` 10 or 16, whose exponent letter is 'e' or 'p'.
bool overflows(std::string_view digits, int base) {
    const char exponent_letter = base == 10 ? 'e' : 'p';
    int64_t position = 0;  // of the first non-zero digit, in digits from the point
    bool seen_point = false;
    bool found = false;
    size_t at = 0;
    for (; at < digits.size(); ++at) {
        const char c = digits[at];
        if (c == '.') {
            seen_point = true;
            continue;
        }
        if ((c | 0x20) == exponent_letter) {
            break;
        }
        if (!found && c != '0') {
            found = true;
            position = 0;
        }
        if (found && !seen_point) {
            ++position;
        } else if (!found && seen_point) {
            --position;
        }
    }
    // Beyond this only the exponent's sign counts; it keeps the sum below from overflowing.
    constexpr int64_t kFar = int64_t{1} << 60;
    int64_t exponent = 0;
    if (at < digits.size()) {
        const std::string_view rest = digits.substr(at + 1);
        const size_t skip = rest.starts_with('+') ? 1 : 0;
        const auto [end, error] =
            std::from_chars(rest.data() + skip, rest.data() + rest.size(), exponent);
        if (error == std::errc::result_out_of_range) {
            exponent = rest.substr(skip).starts_with('-') ? -kFar : kFar;
        }
        exponent = std::clamp(exponent, -kFar, kFar);
    }
    // Large exponents dwarf the digit count; their sign decides.
    const int64_t digit_units = base == 10 ? 1 : 4;
    return position * digit_units + exponent > 0;
}

std::string to_text(double value, std::chars_format format, int precision) {
    std::string text(64, '\0');
    for (;;) {
        const auto [ptr, ec] =
            std::to_chars(text.data(), text.data() + text.size(), value, format, precision);
        if (ec == std::errc()) {
            text.resize(static_cast<size_t>(ptr - text.data()));
            return text;
        }
        text.resize(text.size() * 4);
    }
}

}  // namespace

bool parse_whole(std::string_view text, uint32_t& value) {
    return parse_all(text, value);
}

bool parse_whole(std::string_view text, int64_t& value) {
    return !text.starts_with('-') && parse_all(text, value);
}

bool parse_integer(std::string_view text, int64_t& value) {
    return parse_all(text, value);
}

bool parse_number(std::string_view text, double& value) {
    // from_chars takes a minus sign but not a plus sign.
    if (text.starts_with('+') && text.size() > 1 && text[1] != '-') {
        text.remove_prefix(1);
    }
    return parse_all(text, value);
}

int32_t leading_integer(std::string_view text) {
    size_t at = skip_c_space(text);
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // strtol's long saturates; the cast to 32 bits then wraps.
    constexpr uint64_t kLimit = uint64_t{1} << 63;
    uint64_t magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const uint64_t digit = static_cast<uint64_t>(text[at] - '0');
        magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
    }
    int64_t value;
    if (negative) {
        value = magnitude >= kLimit ? std::numeric_limits<int64_t>::min()
                                    : -static_cast<int64_t>(magnitude);
    } else {
        value = magnitude >= kLimit ? std::numeric_limits<int64_t>::max()
                                    : static_cast<int64_t>(magnitude);
    }
    return static_cast<int32_t>(value);
}

size_t leading_number(std::string_view text, double& value) {
    size_t at = skip_c_space(text);
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    const std::string_view body = text.substr(at);
    const char* begin = body.data();
    const char* end = begin + body.size();
    int base = 10;
    std::from_chars_result read{begin, std::errc::invalid_argument};
    double magnitude = 0.0;
    // "0x" begins a hexadecimal number when a hexadecimal digit or a point follows.
    if (body.size() > 2 && body[0] == '0' && (body[1] | 0x20) == 'x' &&
        (is_hex_digit(body[2]) || (body[2] == '.' && body.size() > 3 && is_hex_digit(body[3])))) {
        base = 16;
        read = std::from_chars(begin + 2, end, magnitude, std::chars_format::hex);
    }
    if (base == 10) {
        read = std::from_chars(begin, end, magnitude, std::chars_format::general);
    }
    if (read.ec == std::errc::invalid_argument || read.ptr == begin) {
        value = 0.0;
        return 0;
    }
    if (read.ec == std::errc::result_out_of_range) {
        const std::string_view digits(begin + (base == 16 ? 2 : 0),
                                      static_cast<size_t>(read.ptr - begin) - (base == 16 ? 2 : 0));
        magnitude = overflows(digits, base) ? HUGE_VAL : 0.0;
    }
    value = negative ? -magnitude : magnitude;
    return at + static_cast<size_t>(read.ptr - begin);
}

std::string fixed(double value, int precision, int width) {
    std::string text = to_text(value, std::chars_format::fixed, precision);
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
    }
    return text;
}

std::string general(double value, int precision) {
    return to_text(value, std::chars_format::general, precision);
}

std::string zero_padded(uint64_t value, int digits) {
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < digits) {
        text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
    }
    return text;
}

std::string scientific(double value, int precision) {
    return to_text(value, std::chars_format::scientific, precision);
}

}  // namespace formats
