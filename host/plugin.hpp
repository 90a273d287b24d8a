// The host side of the query protocol: a loaded plug-in, asked in the host's order what it offers.
#ifndef ZPK_HOST_PLUGIN_HPP
#define ZPK_HOST_PLUGIN_HPP

#include "module.hpp"
#include "zpk/zpk.h"

#include <optional>
#include <string>
#include <vector>

namespace zpk::host {

struct CustomChoice {
    std::string text;
    int32 id;
};

struct ArgumentInfo {
    int32 type;
    std::string name;
    std::vector<CustomChoice> choices;  // CustomArg only
};

struct FunctionInfo {
    std::string name;
    std::string description;
    std::vector<ArgumentInfo> args;
    CalcFunction calculate = nullptr;  // the export named `name`
};

struct LibraryInfo {
    std::string copyright;
    int32 interfaceVersion = 0;
    std::vector<FunctionInfo> functions;
};

// The entry points a host binds by name. The optional ones are null where not exported.
struct EntryPoints {
    ZPKInfoFunction info = nullptr;
    ZPKNthFunctionFunction nthFunction = nullptr;
    ZPKNthArgFunction nthArg = nullptr;
    ZPKNthCustomStringFunction nthCustomString = nullptr;
};

class Plugin {
public:
    // Loads the module at `path` and binds its query entry points. On failure returns nothing and
    // sets `error` to one line saying why.
    static std::optional<Plugin> load(const std::string &path, std::string &error);

    const EntryPoints &entryPoints() const { return entry_; }
    const Module &module() const { return module_; }

    // Runs the query protocol in the host's order: ZPKInfo, ZPKNthFunction for every function,
    // ZPKNthArg for every argument, ZPKNthCustomString for every custom string, and binds every
    // calculation function by its name. On a protocol fault returns nothing and sets `error`.
    std::optional<LibraryInfo> describe(std::string &error) const;

    // The calculation function exported under `name`, or null.
    CalcFunction calculation(const std::string &name) const;

private:
    Plugin(Module module, EntryPoints entry) : module_(std::move(module)), entry_(entry) {}
    Module module_;
    EntryPoints entry_;
};

// The text of a query field: up to its first NUL, never beyond the field.
std::string fieldText(const char (&field)[TextFieldSize]);

// "DataArray", "Numeric", "String", "Custom", or "type N" for a code outside the table.
std::string argumentTypeName(int32 type);

}  // namespace zpk::host

#endif
