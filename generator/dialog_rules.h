// The generator dialog's rules that need no window: how a field's text is read, when
// Generate is enabled and how the parameter labels read for each radius law.
#pragma once

#include <cstdint>
#include <string>

#include "boolean_model.h"

namespace brisolt {

// A field read as typed, in the C locale. `problem` is empty when the text reads, else it
// names the field and says what is wrong ("Max. x: 1001 is above 1000.").
struct FieldRead {
    bool number = false;  // the text is a number of the field's kind
    std::string problem;
    bool ok() const { return problem.empty(); }
};

// A whole number from `lowest` to `highest`. As in the original data exchange, a number
// outside the range is stored in `value` before the range check fails; a text that is not a
// number leaves `value` as it was. Blanks around the number are allowed. A negative number is
// refused with the range that a run can use, from `usable` up (a size reads 0 but makes no
// run: "Max. y: -5 is negative: give a whole number from 1 to 1000.").
FieldRead read_whole_field(const std::string& name, const std::string& text, uint32_t lowest,
                           uint32_t highest, uint32_t& value, uint32_t usable = 0);

// A real number ("0.001", "-2", "1e-4"); "0,001" is not one.
FieldRead read_number_field(const std::string& name, const std::string& text, double& value);

// Lambda: a number, and not a negative one.
FieldRead read_lambda_field(const std::string& text, double& value);

// The model's expected volume fraction, 1 - exp(-lambda E[ball volume]) by Miles' formulae,
// as "22.1 %" (or "< 0.1 %"); empty when the parameters cannot make a model.
std::string expected_fill(const formats::ModelParameters& model);

struct LawLabels {
    const char* parameter1;
    const char* parameter2;
    bool parameter2_shown;
};

// Labels 1020 and 1021 for a list entry; an entry that is not a law keeps the Uniform ones.
LawLabels law_labels(const std::string& law);

// X, Y, Z and R at least 1, lambda above 1e-22 (a negative one is refused when it is read),
// an output directory, and parameters that suit the law named in the combo's text field; a
// parameter of exactly 0 never does.
bool generate_allowed(const formats::ModelParameters& model, const std::string& output_directory);

}  // namespace brisolt
