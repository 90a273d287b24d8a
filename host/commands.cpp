#include "commands.hpp"

#include "arguments.hpp"
#include "calculation.hpp"
#include "encoding.hpp"
#include "input_error.hpp"
#include "plugin.hpp"
#include "price_file.hpp"
#include "report.hpp"
#include "text.hpp"

#include <optional>

namespace zpk::host {

namespace {

// A module with its answers to the query protocol. The calculation functions in `info` are bound
// in `plugin` and stay callable while it lives.
struct LoadedLibrary {
    Plugin plugin;
    LibraryInfo info;
};

// The library's texts as the user reads and types them. The calculation functions are bound
// already, so renaming cannot unbind them.
LibraryInfo inUserText(LibraryInfo library) {
    library.copyright = utf8FromWindows1252(library.copyright);
    for (FunctionInfo &function : library.functions) {
        function.name = utf8FromWindows1252(function.name);
        function.description = utf8FromWindows1252(function.description);
        for (ArgumentInfo &arg : function.args) {
            arg.name = utf8FromWindows1252(arg.name);
            for (CustomChoice &choice : arg.choices) choice.text = utf8FromWindows1252(choice.text);
        }
    }
    return library;
}

LoadedLibrary loadLibrary(const std::string &path) {
    std::string error;
    std::optional<Plugin> plugin = Plugin::load(path, error);
    if (!plugin) throw InputError(error);
    std::optional<LibraryInfo> info = plugin->describe(error);
    if (!info) throw InputError("module '" + path + "': " + error);
    return LoadedLibrary{std::move(*plugin), inUserText(std::move(*info))};
}

// The function called `name`: the one spelt exactly so, else the first that matches without
// regard to letter case, as a user types names in a formula.
const FunctionInfo &findFunction(const LoadedLibrary &library, const std::string &name,
                                 const std::string &modulePath) {
    const std::vector<FunctionInfo> &functions = library.info.functions;
    for (const FunctionInfo &function : functions) {
        if (function.name == name) return function;
    }
    for (const FunctionInfo &function : functions) {
        if (equalsIgnoringCase(function.name, name)) return function;
    }
    std::vector<std::string> names;
    for (const FunctionInfo &function : functions) names.push_back(function.name);
    throw InputError("module '" + modulePath + "' has no function '" + name + "' (its functions: " +
                     joinNames(names) + ")");
}

}  // namespace

ExitStatus showInfo(const InfoRequest &request, std::ostream &out) {
    LoadedLibrary library = loadLibrary(request.modulePath);
    writeLibraryInfo(out, library.info);
    return ExitSuccess;
}

ExitStatus runFunction(const RunRequest &request, std::ostream &out, std::ostream &err) {
    LoadedLibrary library = loadLibrary(request.modulePath);
    const FunctionInfo &function = findFunction(library, request.functionName, request.modulePath);
    PriceTable prices = readPriceFile(request.pricesPath);
    std::vector<ArgumentValue> arguments = bindArguments(function, request.assignments, prices);
    CalculationResult result = calculate(function, prices, arguments);
    if (result.status == StatusFailure) {
        err << function.name << " failed: " << utf8FromWindows1252(result.errorText) << '\n';
        return ExitCalculationFailed;
    }
    if (result.status != StatusSuccess) {
        err << function.name << " returned status " << result.status
            << ", which is neither success (0) nor failure (1)\n";
        return ExitCalculationFailed;
    }
    writeResultCsv(out, prices, function.name, result);
    return ExitSuccess;
}

}  // namespace zpk::host
