// Calendar dates of daily bars: read in the forms price files use, printed as YYYY-MM-DD, and
// counted in days for the spacing of a chart's date axis.
#ifndef ZPK_HOST_DATES_HPP
#define ZPK_HOST_DATES_HPP

#include <optional>
#include <string>
#include <string_view>

namespace zpk::host {

struct Date {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31, a day the month has

    friend bool operator==(const Date &a, const Date &b) {
        return a.year == b.year && a.month == b.month && a.day == b.day;
    }
    friend bool operator!=(const Date &a, const Date &b) { return !(a == b); }
    friend bool operator<(const Date &a, const Date &b) {
        if (a.year != b.year) return a.year < b.year;
        if (a.month != b.month) return a.month < b.month;
        return a.day < b.day;
    }
    friend bool operator<=(const Date &a, const Date &b) { return !(b < a); }
};

// `text` as YYYY-MM-DD, YYYYMMDD or MM/DD/YYYY (one- or two-digit month and day in the last form);
// nothing if it is none of them or names a day the calendar does not have.
std::optional<Date> parseDate(std::string_view text);

// The accepted forms, for messages.
inline constexpr const char *kDateForms = "YYYY-MM-DD, YYYYMMDD or MM/DD/YYYY";

// YYYY-MM-DD.
std::string isoDate(const Date &date);

// Days since 1970-01-01 (negative before it).
long long dayNumber(const Date &date);

// "Jan" .. "Dec".
const char *monthAbbreviation(int month);

}  // namespace zpk::host

#endif
