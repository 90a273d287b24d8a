// Input the host cannot work with: a module that does not load, a price file it cannot read, an
// argument that does not fit the function. The message is one line that names what is wrong; the
// command line turns it into exit status 2.
#ifndef ZPK_HOST_INPUT_ERROR_HPP
#define ZPK_HOST_INPUT_ERROR_HPP

#include <stdexcept>
#include <string>

namespace zpk::host {

class InputError : public std::runtime_error {
public:
    explicit InputError(const std::string &message) : std::runtime_error(message) {}
};

}  // namespace zpk::host

#endif
