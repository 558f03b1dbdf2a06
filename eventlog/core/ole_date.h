// Calendar fields to OLE Automation dates (days since 30 December 1899).
#pragma once

#include <optional>

namespace lorvex {

struct CalendarTime {
    int year, month, day, hour, minute, second;
};

// The date, or none when a field is out of range (year above 9999, a day the month does
// not have, hour above 23, minute or second above 59). Milliseconds are not used.
std::optional<double> OleDateFromCalendar(const CalendarTime& t);

}  // namespace lorvex
