// Error numbers: their class, category text and standard message text.
#pragma once

#include <cstdint>
#include <string>

namespace trap {

// The class code of an error number (2 general run-time, 3 file system, ... 62 remote
// automation for every negative number, 15 user defined for the rest from 0 upward).
int16_t ErrorClassOf(int32_t number);

// The category text of a class code, trailing blanks included; "Unknown Error Class" for
// a code that has none.
std::string ErrorCategoryText(int16_t class_code);

struct StandardMessageEntry {
    std::string text;
    std::string help_file;
    int32_t help_context = 0;
};

// The standard message text of an error number with its help file and context. Numbers
// without a text of their own get their category's fallback text.
StandardMessageEntry StandardMessage(int32_t number);

// The help file that holds the trap's error topics.
constexpr const char* kErrorHelpFile = "hollin.hlp";

}  // namespace trap
