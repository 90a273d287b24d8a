// Daily prices read from a CSV file: one row per bar, the columns named in a header row.
#ifndef ZPK_HOST_PRICE_FILE_HPP
#define ZPK_HOST_PRICE_FILE_HPP

#include <istream>
#include <string>
#include <vector>

namespace zpk::host {

// The bars of a security, oldest first. Every series has one entry per bar; openInterest is empty
// when the file has no such column.
struct PriceTable {
    std::vector<std::string> dates;
    std::vector<float> open, high, low, close, volume;
    std::vector<float> openInterest;

    std::size_t barCount() const { return dates.size(); }
    bool hasOpenInterest() const { return !openInterest.empty(); }
};

// Reads the price file at `path`. The header names Date, Open, High, Low, Close and Volume, and
// optionally OpenInterest, in any letter case and any order; other columns are ignored. Blank lines
// are skipped. Throws InputError naming the file and, for a bad row, its line number.
PriceTable readPriceFile(const std::string &path);

// The same from an open stream; `source` names it in messages.
PriceTable parsePrices(std::istream &in, const std::string &source);

}  // namespace zpk::host

#endif
