// Texts cross the plug-in interface in the Windows-1252 code page; the user's command line and
// terminal speak UTF-8. These convert at that edge, in both directions.
#ifndef ZPK_HOST_ENCODING_HPP
#define ZPK_HOST_ENCODING_HPP

#include <optional>
#include <string>
#include <string_view>

namespace zpk::host {

// Every Windows-1252 byte as its character in UTF-8. The five bytes the code page leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number.
std::string utf8FromWindows1252(std::string_view text);

// The UTF-8 `text` in Windows-1252; nothing if it is not valid UTF-8 or holds a character the code
// page does not have.
std::optional<std::string> windows1252FromUtf8(std::string_view text);

}  // namespace zpk::host

#endif
