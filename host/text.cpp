#include "text.hpp"

#include <charconv>
#include <cmath>

namespace zpk::host {

namespace {
char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char &c : lower) c = lowerAscii(c);
    return lower;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text) {
    const char *blanks = " \t\r";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string_view> splitFields(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t end = line.find(separator, start);
        if (end == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
}

ParsedFloat parseFloat(std::string_view text) {
    const ParsedFloat notANumber{std::nullopt, "is not a number"};
    const ParsedFloat beyondRange{std::nullopt, "is beyond the range of a 32-bit float"};
    // from_chars takes no leading '+'; a user may well write one.
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
    if (text.empty()) return notANumber;
    double value = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size()) return notANumber;
    if (error == std::errc::result_out_of_range) return beyondRange;
    if (error != std::errc() || !std::isfinite(value)) return notANumber;
    // Halfway between the largest float and the next power of two: from here on a value rounds to
    // infinity (the largest float itself, as printed, still reads back).
    constexpr double firstBeyondFloat = 0x1.ffffffp+127;
    if (std::fabs(value) >= firstBeyondFloat) return beyondRange;
    return ParsedFloat{static_cast<float>(value), {}};
}

std::string joinNames(const std::vector<std::string> &names) {
    std::string joined;
    for (const std::string &name : names) {
        if (!joined.empty()) joined += ", ";
        joined += name;
    }
    return joined;
}

}  // namespace zpk::host
