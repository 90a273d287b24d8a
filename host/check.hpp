// zpkhost check: a plug-in module held against the rules of the interface, from its answers to
// the query protocol to the promises of every calculation function, by asking and calling it the
// way hosts may.
#ifndef ZPK_HOST_CHECK_HPP
#define ZPK_HOST_CHECK_HPP

#include <cstddef>
#include <string>
#include <vector>

namespace zpk::host {

struct CheckReport {
    std::vector<std::string> violations;  // one line each, without the module's path
    std::size_t functionCount = 0;        // functions announced
    std::size_t callCount = 0;            // calculation calls made
};

// Checks the module at `path`. Throws InputError when the operating system cannot load it.
CheckReport checkModule(const std::string &path);

// "conforms (3 functions, 450 calls)" or "2 rules broken (3 functions, 450 calls)".
std::string summaryOf(const CheckReport &report);

}  // namespace zpk::host

#endif
