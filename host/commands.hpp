// The commands of zpkhost, apart from the parsing of its command line.
#ifndef ZPK_HOST_COMMANDS_HPP
#define ZPK_HOST_COMMANDS_HPP

#include <ostream>
#include <string>
#include <vector>

namespace zpk::host {

enum ExitStatus {
    ExitSuccess = 0,
    ExitCalculationFailed = 1,  // a function did not succeed; for check: a rule was broken
    ExitBadInput = 2            // an InputError: a module, the price file, a formula, an option
};

struct InfoRequest {
    std::string modulePath;
};

enum class OutputFormat { Csv, Json };

struct RunRequest {
    // With --module: the modules whose functions the formulas call, and `words` are formulas.
    // Without: `words` are MODULE FUNCTION NAME=VALUE...
    std::vector<std::string> modulePaths;
    std::vector<std::string> words;
    std::string pricesPath;
    OutputFormat format = OutputFormat::Csv;
    std::string range;      // FROM:TO, empty for every bar
    std::string chartPath;  // empty for no chart
};

struct CheckRequest {
    std::vector<std::string> modulePaths;
};

// Prints what the module answers to the query protocol. Throws InputError.
ExitStatus showInfo(const InfoRequest &request, std::ostream &out);

// Runs every call on the price file and prints the output series (CSV or JSON) on `out`, and
// writes the chart when one is asked for. A call that fails is named on `err` with its error
// text; CSV output and the chart are then left out, JSON still shows every call's status.
// Throws InputError before anything is printed or written.
ExitStatus runCalls(const RunRequest &request, std::ostream &out, std::ostream &err);

// Checks every module against the rules of the plug-in interface and prints one line per broken
// rule, then one summary line per module. Throws InputError for a module that does not load.
ExitStatus checkModules(const CheckRequest &request, std::ostream &out);

}  // namespace zpk::host

#endif
