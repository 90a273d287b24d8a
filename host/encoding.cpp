#include "encoding.hpp"

#include <array>
#include <cstdint>

namespace zpk::host {

namespace {

// The characters of bytes 0x80 to 0x9F; every other byte is the character of its own number.
constexpr std::array<char32_t, 32> kHighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t characterOfByte(unsigned char byte) {
    return (byte >= 0x80 && byte <= 0x9F) ? kHighControlRange[byte - 0x80] : char32_t(byte);
}

std::optional<unsigned char> byteOfCharacter(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
        if (kHighControlRange[i] == c) return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

void appendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The character that starts at `text[at]`, advancing `at` past it; nothing for a malformed,
// overlong or surrogate sequence.
std::optional<char32_t> nextUtf8Character(std::string_view text, std::size_t &at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t c = 0;
    if (lead < 0x80) {
        length = 1, c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (at + length > text.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        const auto follow = static_cast<unsigned char>(text[at + k]);
        if ((follow & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (follow & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    at += length;
    return c;
}

}  // namespace

std::string utf8FromWindows1252(std::string_view text) {
    std::string out;
    for (char byte : text) appendUtf8(out, characterOfByte(static_cast<unsigned char>(byte)));
    return out;
}

std::optional<std::string> windows1252FromUtf8(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        std::optional<char32_t> c = nextUtf8Character(text, at);
        if (!c) return std::nullopt;
        std::optional<unsigned char> byte = byteOfCharacter(*c);
        if (!byte) return std::nullopt;
        out += static_cast<char>(*byte);
    }
    return out;
}

}  // namespace zpk::host
