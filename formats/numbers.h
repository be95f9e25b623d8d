// The one reader and writer of numbers in text: the files, talvik's output, the dialogs'
// fields, the clipboard and the exports. Independent of the C and C++ locales, so that a
// program whose locale writes a decimal comma reads and writes the same bytes as one in the
// C locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace formats {

// Readers of a whole text: the text must be the number and nothing else.

// Decimal digits only.
bool parse_whole(std::string_view text, uint32_t& value);
bool parse_whole(std::string_view text, int64_t& value);

// Decimal digits with an optional minus sign.
bool parse_integer(std::string_view text, int64_t& value);

// A decimal or scientific number with an optional sign ("-0.5", "+2", "1e-4", ".5"). "inf"
// and "nan" read; numbers beyond the range of a double do not.
bool parse_number(std::string_view text, double& value);

// Readers of the front of a text, as C's atoi and strtod read it in the C locale.

// Leading white space, an optional sign and decimal digits; no digits give 0. Values beyond
// the range of a long saturate and then wrap to 32 bits, as glibc's atoi does.
int32_t leading_integer(std::string_view text);

// Leading white space, then the longest number that strtod would read (decimal, scientific,
// hexadecimal, inf, nan); out of range it gives +-HUGE_VAL or 0 as strtod does. Returns the
// number of characters read, white space included; 0 when no number begins the text.
size_t leading_number(std::string_view text, double& value);

// Writers: the bytes of printf's conversions in the C locale.

// "%*.*f": `precision` decimals, padded on the left with blanks to `width` characters.
std::string fixed(double value, int precision, int width = 0);

// "%.*g": `precision` significant digits, trailing zeros removed. 17 digits read back as the
// same double.
std::string general(double value, int precision);

// "%0*u": the decimal digits of `value`, zeros on the left up to `digits` digits.
std::string zero_padded(uint64_t value, int digits);

// "%.*e": one digit, `precision` decimals and an exponent of at least two digits.
std::string scientific(double value, int precision);

}  // namespace formats
