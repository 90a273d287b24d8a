// Small text helpers of the host: names are matched the way a user types them, without regard to
// letter case, and numbers are read the same way whatever the locale.
#ifndef ZPK_HOST_TEXT_HPP
#define ZPK_HOST_TEXT_HPP

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zpk::host {

std::string lowerCase(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// `text` without the spaces, tabs and carriage returns at either end.
std::string_view trimmed(std::string_view text);

// `line` cut at every `separator`; n separators give n + 1 fields.
std::vector<std::string_view> splitFields(std::string_view line, char separator);

// The whole of `text` read as a decimal number that a 32-bit float holds (finite, within its
// range), rounded to the nearest float. When it is not, `value` is empty and `problem` says why
// ("is not a number", "is beyond the range of a 32-bit float").
struct ParsedFloat {
    std::optional<float> value;
    std::string problem;
};
ParsedFloat parseFloat(std::string_view text);

// The names joined by ", ", for messages that list what would have been accepted.
std::string joinNames(const std::vector<std::string> &names);

}  // namespace zpk::host

#endif
