// Files written whole or not at all: the content goes to a temporary file beside the target, which
// is renamed over the target only once everything is on disk. A run that fails leaves no file
// behind, and never half of one.
#ifndef ZPK_HOST_WHOLE_FILE_HPP
#define ZPK_HOST_WHOLE_FILE_HPP

#include <string>

namespace zpk::host {

// Throws InputError naming `path` when the file cannot be written.
void writeWholeFile(const std::string &path, const std::string &content);

}  // namespace zpk::host

#endif
