// Numbers typed by the user, in the batch mode's options and the dialog's fields: the whole
// text must be the number, in the C locale.
#pragma once

#include <cstdint>
#include <string>

namespace brisolt {

// Decimal digits only.
bool parse_whole(const std::string& text, uint32_t& value);
bool parse_whole(const std::string& text, int64_t& value);

// Decimal digits with an optional minus sign.
bool parse_integer(const std::string& text, int64_t& value);

// A decimal or scientific number with an optional sign ("-0.5", "+2", "1e-4", ".5"). "inf"
// and "nan" read (the run refuses them); numbers beyond the range of a double do not.
bool parse_number(const std::string& text, double& value);

}  // namespace brisolt
