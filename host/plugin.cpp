#include "plugin.hpp"

#include <cstring>
#include <utility>

namespace zpk::host {

std::string fieldText(const char (&field)[TextFieldSize]) {
    const void *nul = std::memchr(field, '\0', TextFieldSize);
    std::size_t length =
        nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - field) : std::size_t{TextFieldSize};
    return std::string(field, length);
}

std::string argumentTypeName(int32 type) {
    switch (type) {
    case DataArrayArg: return "DataArray";
    case NumericArg: return "Numeric";
    case StringArg: return "String";
    case CustomArg: return "Custom";
    default: return "type " + std::to_string(type);
    }
}

std::optional<Plugin> Plugin::load(const std::string &path, std::string &error) {
    std::string why;
    Module module = Module::open(path, why);
    if (!module.isOpen()) {
        error = "cannot load module '" + path + "': " + why;
        return std::nullopt;
    }
    EntryPoints entry;
    entry.info = reinterpret_cast<ZPKInfoFunction>(module.symbol("ZPKInfo"));
    entry.nthFunction = reinterpret_cast<ZPKNthFunctionFunction>(module.symbol("ZPKNthFunction"));
    entry.nthArg = reinterpret_cast<ZPKNthArgFunction>(module.symbol("ZPKNthArg"));
    entry.nthCustomString =
        reinterpret_cast<ZPKNthCustomStringFunction>(module.symbol("ZPKNthCustomString"));
    if (entry.info == nullptr || entry.nthFunction == nullptr) {
        error = "module '" + path + "' is not a plug-in: it does not export ZPKInfo and ZPKNthFunction";
        return std::nullopt;
    }
    return Plugin(std::move(module), entry);
}

CalcFunction Plugin::calculation(const std::string &name) const {
    return reinterpret_cast<CalcFunction>(module_.symbol(name.c_str()));
}

std::optional<LibraryInfo> Plugin::describe(std::string &error) const {
    LibraryInfo library;
    LibraryInfoRec info{};
    if (entry_.info(&info) != StatusSuccess) {
        error = "ZPKInfo failed";
        return std::nullopt;
    }
    library.copyright = fieldText(info.copyright);
    library.interfaceVersion = info.interfaceVersion;
    if (info.functionCount < 0) {
        error = "ZPKInfo announces a negative function count";
        return std::nullopt;
    }
    for (int32 f = 0; f < info.functionCount; ++f) {
        FunctionInfoRec fn{};
        if (entry_.nthFunction(f, &fn) != StatusSuccess) {
            error = "ZPKNthFunction(" + std::to_string(f) + ") failed";
            return std::nullopt;
        }
        FunctionInfo function;
        function.name = fieldText(fn.name);
        function.description = fieldText(fn.description);
        if (fn.argCount > 0 && entry_.nthArg == nullptr) {
            error = "function " + function.name + " takes arguments but ZPKNthArg is not exported";
            return std::nullopt;
        }
        for (int32 a = 0; a < fn.argCount; ++a) {
            ArgInfoRec arg{};
            if (entry_.nthArg(f, a, &arg) != StatusSuccess) {
                error = "ZPKNthArg(" + std::to_string(f) + ", " + std::to_string(a) + ") failed";
                return std::nullopt;
            }
            ArgumentInfo argument{arg.argType, fieldText(arg.name), {}};
            if (arg.argType == CustomArg && arg.customStringCount > 0) {
                if (entry_.nthCustomString == nullptr) {
                    error = "argument " + argument.name + " of " + function.name +
                            " is a custom argument but ZPKNthCustomString is not exported";
                    return std::nullopt;
                }
                for (int32 s = 0; s < arg.customStringCount; ++s) {
                    CustomStringRec choice{};
                    if (entry_.nthCustomString(f, a, s, &choice) != StatusSuccess) {
                        error = "ZPKNthCustomString(" + std::to_string(f) + ", " + std::to_string(a) +
                                ", " + std::to_string(s) + ") failed";
                        return std::nullopt;
                    }
                    argument.choices.push_back({fieldText(choice.text), choice.id});
                }
            }
            function.args.push_back(std::move(argument));
        }
        function.calculate = calculation(function.name);
        if (function.calculate == nullptr) {
            error = "function " + function.name + " is announced but not exported";
            return std::nullopt;
        }
        library.functions.push_back(std::move(function));
    }
    return library;
}

}  // namespace zpk::host
