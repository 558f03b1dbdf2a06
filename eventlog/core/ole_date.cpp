#include "ole_date.h"

namespace lorvex {
namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days from 1 January of year 1 (proleptic Gregorian) to the given date.
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

}  // namespace

std::optional<double> OleDateFromCalendar(const CalendarTime& t) {
    if (t.year > 9999 || t.month < 1 || t.month > 12) return std::nullopt;
    if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return std::nullopt;
    if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59)
        return std::nullopt;
    const long days = DaysFromCivil(t.year, t.month, t.day) - DaysFromCivil(1899, 12, 30);
    const double fraction = (t.hour * 3600 + t.minute * 60 + t.second) / 86400.0;
    // Event times start in 1970, so the day count is never negative here.
    return days + fraction;
}

}  // namespace lorvex
