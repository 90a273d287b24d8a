// The modules a run works with, loaded and described once, and the lookup of a function by name
// across all of them.
#ifndef ZPK_HOST_LIBRARY_SET_HPP
#define ZPK_HOST_LIBRARY_SET_HPP

#include "plugin.hpp"

#include <memory>
#include <string>
#include <vector>

namespace zpk::host {

// A module with its answers to the query protocol, texts in UTF-8. The calculation functions in
// `info` are bound in `plugin` and stay callable while it lives.
struct LoadedLibrary {
    Plugin plugin;
    LibraryInfo info;
    std::string path;  // as the user gave it
    std::string name;  // the file name without folder and suffix: what Module.Function names
};

// Loads the module at `path` and runs the query protocol. Throws InputError when it does not load
// or its answers cannot be used.
LoadedLibrary loadLibrary(const std::string &path);

struct FoundFunction {
    const LoadedLibrary *library;
    const FunctionInfo *function;
};

class LibrarySet {
public:
    // Throws InputError as loadLibrary does.
    const LoadedLibrary &add(const std::string &path);

    // The function `name` (spelt exactly so, else in another letter case) of the module called
    // `module`, or of any module when `module` is empty. Throws InputError when no module has it,
    // or when more than one does.
    FoundFunction find(const std::string &module, const std::string &name) const;

    bool empty() const { return libraries_.empty(); }

private:
    std::vector<FoundFunction> matches(const std::string &module, const std::string &name,
                                       bool exactCase) const;
    bool hasModule(const std::string &module) const;
    std::string moduleNames() const;

    // Held by pointer: FoundFunction points into them.
    std::vector<std::unique_ptr<LoadedLibrary>> libraries_;
};

}  // namespace zpk::host

#endif
