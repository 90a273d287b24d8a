#include "library_set.hpp"

#include "encoding.hpp"
#include "input_error.hpp"
#include "text.hpp"

#include <filesystem>
#include <optional>

namespace zpk::host {

namespace {

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

std::string moduleNameOf(const std::string &path) {
    return std::filesystem::path(path).stem().string();
}

}  // namespace

LoadedLibrary loadLibrary(const std::string &path) {
    std::string error;
    std::optional<Plugin> plugin = Plugin::load(path, error);
    if (!plugin) throw InputError(error);
    std::optional<LibraryInfo> info = plugin->describe(error);
    if (!info) throw InputError("module '" + path + "': " + error);
    return LoadedLibrary{std::move(*plugin), inUserText(std::move(*info)), path, moduleNameOf(path)};
}

const LoadedLibrary &LibrarySet::add(const std::string &path) {
    libraries_.push_back(std::make_unique<LoadedLibrary>(loadLibrary(path)));
    return *libraries_.back();
}

std::vector<FoundFunction> LibrarySet::matches(const std::string &module, const std::string &name,
                                               bool exactCase) const {
    std::vector<FoundFunction> found;
    for (const std::unique_ptr<LoadedLibrary> &library : libraries_) {
        if (!module.empty() && !equalsIgnoringCase(library->name, module)) continue;
        for (const FunctionInfo &function : library->info.functions) {
            const bool same = exactCase ? function.name == name : equalsIgnoringCase(function.name, name);
            if (same) found.push_back(FoundFunction{library.get(), &function});
        }
    }
    return found;
}

bool LibrarySet::hasModule(const std::string &module) const {
    for (const std::unique_ptr<LoadedLibrary> &library : libraries_) {
        if (equalsIgnoringCase(library->name, module)) return true;
    }
    return false;
}

std::string LibrarySet::moduleNames() const {
    std::vector<std::string> names;
    for (const std::unique_ptr<LoadedLibrary> &library : libraries_) names.push_back(library->name);
    return joinNames(names);
}

FoundFunction LibrarySet::find(const std::string &module, const std::string &name) const {
    if (!module.empty() && !hasModule(module)) {
        throw InputError("no module called " + module + " was given (modules: " + moduleNames() + ")");
    }
    std::vector<FoundFunction> found = matches(module, name, true);
    if (found.empty()) found = matches(module, name, false);
    if (found.size() == 1) return found.front();
    const std::string qualified = module.empty() ? name : module + "." + name;
    if (found.empty()) {
        throw InputError("no function " + qualified + " in " +
                         (module.empty() ? "the modules given (" + moduleNames() + ")" : "module " + module) +
                         "; zpkhost info MODULE lists a module's functions");
    }
    std::vector<std::string> where;
    for (const FoundFunction &f : found) where.push_back(f.library->name + "." + f.function->name);
    throw InputError("function " + qualified + " is ambiguous: " + joinNames(where) +
                     " (write the one meant as Module.Function)");
}

}  // namespace zpk::host
