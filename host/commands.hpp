// The commands of zpkhost, apart from the parsing of its command line.
#ifndef ZPK_HOST_COMMANDS_HPP
#define ZPK_HOST_COMMANDS_HPP

#include <ostream>
#include <string>
#include <vector>

namespace zpk::host {

enum ExitStatus {
    ExitSuccess = 0,
    ExitCalculationFailed = 1,  // the function returned StatusFailure
    ExitBadInput = 2            // an InputError: the module, the price file or the arguments
};

struct InfoRequest {
    std::string modulePath;
};

struct RunRequest {
    std::string modulePath;
    std::string functionName;
    std::string pricesPath;
    std::vector<std::string> assignments;  // NAME=VALUE
};

// Prints what the module answers to the query protocol. Throws InputError.
ExitStatus showInfo(const InfoRequest &request, std::ostream &out);

// Calls the function on the price file and prints its output series as CSV; on a failed call
// prints the function's error text on `err` instead. Throws InputError before anything is printed.
ExitStatus runFunction(const RunRequest &request, std::ostream &out, std::ostream &err);

}  // namespace zpk::host

#endif
