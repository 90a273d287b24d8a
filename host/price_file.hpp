// Daily prices read from a CSV file: one row per bar, the columns named in a header row.
#ifndef ZPK_HOST_PRICE_FILE_HPP
#define ZPK_HOST_PRICE_FILE_HPP

#include "dates.hpp"
#include "zpk/zpk.h"

#include <istream>
#include <string>
#include <vector>

namespace zpk::host {

// Hosts of this interface number the bars of a security from 1: entry 0 of every array a plug-in
// receives is a slot before the first bar that lies in no valid range. The libraries are built for
// it (their ranges start at bar 1, and some take a series that starts at bar 0 as unusable).
constexpr std::size_t kFirstBar = 1;

// One column of the file as a series: entry i is bar i (bar 1 is the oldest row), valid from
// firstValid to lastValid. Entries outside that range (the slot before bar 1, blank cells at the
// start or end of the column) hold NaN.
struct PriceSeries {
    std::vector<float> values;
    int32 firstValid = 0;
    int32 lastValid = -1;
    bool present = false;  // whether the file has this column at all
};

// The bars of a security, oldest first: bars kFirstBar to lastBar(). Every series has an entry for
// every bar and for the slot before the first.
struct PriceTable {
    std::vector<Date> dates;  // dates[0] is the date of bar kFirstBar
    PriceSeries open, high, low, close, volume, openInterest;

    std::size_t barCount() const { return dates.size(); }
    std::size_t lastBar() const { return barCount() + kFirstBar - 1; }
    std::size_t entryCount() const { return barCount() + kFirstBar; }
    const Date &dateOfBar(std::size_t bar) const { return dates[bar - kFirstBar]; }
};

// Reads the price file at `path`. The header names Date, Open, High, Low and Close, and optionally
// Volume and OpenInterest, in any letter case and any order (spaces, '_' and '-' inside a name
// are ignored: "Open Interest" is OpenInterest); other columns are ignored. Fields are separated
// by commas, or by semicolons when the header has semicolons and no commas; a semicolon file may
// write its numbers with a decimal comma. Fields may be quoted. Dates are YYYY-MM-DD, YYYYMMDD or
// MM/DD/YYYY, every one after the one before, or every one before it (the bars are then turned
// round). A cell may be blank at the start or the end of its column, not between values. CRLF line
// ends, a UTF-8 byte order mark and blank lines are accepted. Throws InputError naming the file and,
// for a bad row, its line number.
PriceTable readPriceFile(const std::string &path);

// The same from an open stream; `source` names it in messages.
PriceTable parsePrices(std::istream &in, const std::string &source);

}  // namespace zpk::host

#endif
