// The trap's table of fixed texts by number, and the stamps some of them carry.
#pragma once

#include <cstdint>
#include <string>

namespace trap {

// The component's version text in the start and stop stamps.
constexpr const char* kComponentVersion = "1.0";

// A local date and time as the texts need it.
struct StampTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "MM-DD-YYYY" and "HH:MM:SS".
std::string StampDate(const StampTime& t);
std::string StampClock(const StampTime& t);

// What the texts that describe the program need: the programs' folder, the program's
// file name without extension and its version numbers.
struct ProgramIdentity {
    std::string folder;
    std::string name;
    int major = 0, minor = 0, revision = 0;
};

// Text `number` of the table; "" for numbers without a text. Texts 20 and 31 carry
// `now`, text 62 the program's identity.
std::string HollinReportText(int16_t number, const StampTime& now = {}, const ProgramIdentity& program = {});

}  // namespace trap
