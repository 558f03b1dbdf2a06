// The platform's text conversions for the list filter: the run time's text-to-number
// conversion and the system code page's upper case.
#pragma once

#include <string>

#include "core/entry_filter.h"

namespace quenloc {

// The text as a double, as the platform's automation conversion reads it (blanks, signs,
// exponents, "&H" and "&O" forms, the user's number format). A text that is no number is a
// type mismatch (13), one too large for a double an overflow (6); a NUL inside the text is
// never cut off, it makes the text no number.
double TextToDouble(const std::string& text);

// The text with every lower-case letter of the system's ANSI code page in upper case.
std::string UpperText(const std::string& text);

inline TextRules PlatformTextRules() { return {TextToDouble, UpperText}; }

}  // namespace quenloc
