#include "dates.hpp"

#include <array>
#include <cstdio>

namespace zpk::host {

namespace {

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// The digits of `text` as a number; nothing if it is empty or holds anything but digits.
std::optional<int> digitsValue(std::string_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<Date> validDate(std::optional<int> year, std::optional<int> month,
                              std::optional<int> day) {
    if (!year || !month || !day) return std::nullopt;
    if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month)) {
        return std::nullopt;
    }
    return Date{*year, *month, *day};
}

}  // namespace

std::optional<Date> parseDate(std::string_view text) {
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        return validDate(digitsValue(text.substr(0, 4)), digitsValue(text.substr(5, 2)),
                         digitsValue(text.substr(8, 2)));
    }
    if (text.size() == 8 && text.find('/') == std::string_view::npos) {
        return validDate(digitsValue(text.substr(0, 4)), digitsValue(text.substr(4, 2)),
                         digitsValue(text.substr(6, 2)));
    }
    const std::size_t firstSlash = text.find('/');
    const std::size_t secondSlash =
        firstSlash == std::string_view::npos ? firstSlash : text.find('/', firstSlash + 1);
    if (secondSlash == std::string_view::npos) return std::nullopt;
    std::string_view month = text.substr(0, firstSlash);
    std::string_view day = text.substr(firstSlash + 1, secondSlash - firstSlash - 1);
    std::string_view year = text.substr(secondSlash + 1);
    if (month.size() > 2 || day.size() > 2 || year.size() != 4) return std::nullopt;
    return validDate(digitsValue(year), digitsValue(month), digitsValue(day));
}

std::string isoDate(const Date &date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

long long dayNumber(const Date &date) {
    // Days from civil, counted in eras of 400 years that start on March 1.
    const int y = date.year - (date.month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const int m = date.month;
    const long long dayOfYear = (153LL * (m + (m > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

const char *monthAbbreviation(int month) {
    constexpr std::array<const char *, 12> names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return (month >= 1 && month <= 12) ? names[month - 1] : "?";
}

}  // namespace zpk::host
