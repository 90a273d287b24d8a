// The query half of the checker: every answer of ZPKInfo, ZPKNthFunction, ZPKNthArg and
// ZPKNthCustomString in the host's order, the same again in reverse order over other bytes, the
// answers to indexes outside the tables, and the entry points a module must and must not export.
#include "check_support.hpp"

#include <algorithm>
#include <climits>
#include <tuple>

namespace zpk::host::check {

namespace {

// Counts beyond these are taken as garbage rather than as tables to walk.
constexpr int32 kMaxFunctions = 4096;
constexpr int32 kMaxCustomStrings = 4096;
constexpr int32 kMaxArguments = 4 * MaxArgs;

constexpr unsigned char kFirstFill = 0xA5;
constexpr unsigned char kSecondFill = 0x5A;

std::string call(const char *entry, std::vector<long long> indexes) {
    std::string text = std::string(entry) + "(";
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        if (i != 0) text += ", ";
        text += std::to_string(indexes[i]);
    }
    return text + ")";
}

struct EntryPointSet {
    ZPKInfoFunction info = nullptr;
    ZPKNthFunctionFunction nthFunction = nullptr;
    ZPKNthArgFunction nthArg = nullptr;
    ZPKNthCustomStringFunction nthCustomString = nullptr;
};

EntryPointSet bindEntryPoints(const Module &module) {
    EntryPointSet entry;
    entry.info = reinterpret_cast<ZPKInfoFunction>(module.symbol("ZPKInfo"));
    entry.nthFunction = reinterpret_cast<ZPKNthFunctionFunction>(module.symbol("ZPKNthFunction"));
    entry.nthArg = reinterpret_cast<ZPKNthArgFunction>(module.symbol("ZPKNthArg"));
    entry.nthCustomString =
        reinterpret_cast<ZPKNthCustomStringFunction>(module.symbol("ZPKNthCustomString"));
    return entry;
}

// ---- answers, as compared between the two passes ----------------------------------------------

struct FunctionAnswer {
    int32 status;
    std::string name, description;
    int32 argCount;
    bool operator==(const FunctionAnswer &o) const {
        return std::tie(status, name, description, argCount) ==
               std::tie(o.status, o.name, o.description, o.argCount);
    }
};

struct ArgAnswer {
    int32 status;
    int32 type;
    std::string name;
    int32 customStringCount;
    bool operator==(const ArgAnswer &o) const {
        return std::tie(status, type, name, customStringCount) ==
               std::tie(o.status, o.type, o.name, o.customStringCount);
    }
};

struct StringAnswer {
    int32 status;
    std::string text;
    int32 id;
    bool operator==(const StringAnswer &o) const {
        return std::tie(status, text, id) == std::tie(o.status, o.text, o.id);
    }
};

using ArgKey = std::pair<int32, int32>;
using StringKey = std::tuple<int32, int32, int32>;

// Every answer of one pass, by its indexes.
struct Answers {
    std::map<int32, FunctionAnswer> functions;
    std::map<ArgKey, ArgAnswer> args;
    std::map<StringKey, StringAnswer> strings;
};

// ---- one pass ------------------------------------------------------------------------------------

// Asks every query the answers announce. The first pass (`findings` set) checks each answer; the
// second only records them, in reverse order, for comparison.
class ProtocolPass {
public:
    ProtocolPass(const EntryPointSet &entry, unsigned char fill, bool reverse, Findings *findings)
        : entry_(entry), fill_(fill), reverse_(reverse), findings_(findings) {}

    Answers run(int32 functionCount) {
        forEach(functionCount, [&](int32 f) { askFunction(f); });
        if (entry_.nthArg != nullptr) {
            forEach(functionCount, [&](int32 f) {
                const FunctionAnswer &function = answers_.functions[f];
                if (function.status != StatusSuccess) return;
                forEach(std::min(function.argCount, kMaxArguments), [&](int32 a) { askArg(f, a); });
            });
        }
        if (entry_.nthCustomString != nullptr) {
            for (const auto &[key, arg] : ordered(answers_.args)) {
                if (arg.status != StatusSuccess || arg.type != CustomArg) continue;
                forEach(std::min(arg.customStringCount, kMaxCustomStrings),
                        [&](int32 s) { askString(key.first, key.second, s); });
            }
        }
        return answers_;
    }

private:
    template <class Body>
    void forEach(int32 count, Body body) {
        for (int32 k = 0; k < count; ++k) body(reverse_ ? count - 1 - k : k);
    }

    std::vector<std::pair<ArgKey, ArgAnswer>> ordered(const std::map<ArgKey, ArgAnswer> &args) const {
        std::vector<std::pair<ArgKey, ArgAnswer>> list(args.begin(), args.end());
        if (reverse_) std::reverse(list.begin(), list.end());
        return list;
    }

    void report(const std::string &kind, const std::string &message) {
        if (findings_ != nullptr) findings_->add(kind, message);
    }

    // A text field that a successful answer must end with a NUL, and may not leave empty.
    std::string checkedText(const char (&field)[TextFieldSize], const std::string &where,
                            const char *fieldName, bool mayBeEmpty) {
        FieldText text = readField(field);
        if (!text.terminated) {
            report(where + fieldName + "nul",
                   where + ": " + fieldName + " is not NUL-terminated within its 100 bytes");
        } else if (!mayBeEmpty && text.text.empty()) {
            report(where + fieldName + "empty", where + ": " + fieldName + " is empty");
        } else if (std::optional<std::string> problem = characterProblem(text.text)) {
            report(where + fieldName + "chars", where + ": " + fieldName + " " + *problem);
        }
        return text.text;
    }

    template <class Record>
    void checkGuard(const Guarded<Record> &record, const std::string &where) {
        if (!record.guardIntact()) {
            report(where + "guard", where + " wrote beyond the end of its " + std::to_string(sizeof(Record)) +
                                        "-byte record");
        }
    }

    void askFunction(int32 f) {
        Guarded<FunctionInfoRec> record(fill_);
        const std::string where = call("ZPKNthFunction", {f});
        const int32 status = entry_.nthFunction(f, record.get());
        FunctionAnswer answer{status, {}, {}, 0};
        if (status != StatusSuccess) {
            report(where + "status", where + " returned " + std::to_string(status) +
                                         " for a function the library announces (want 0)");
        } else {
            const FunctionInfoRec &info = record.record();
            answer.name = checkedText(info.name, where, "name", false);
            answer.description = checkedText(info.description, where, "description", true);
            answer.argCount = info.argCount;
            if (info.argCount < 0 || info.argCount > kMaxArguments) {
                report(where + "argCount", where + ": argCount " + std::to_string(info.argCount) +
                                               " is outside 0.." + std::to_string(kMaxArguments) +
                                               " (at most 9 arguments of each of the 4 types)");
                answer.argCount = std::max(0, std::min(info.argCount, kMaxArguments));
            }
        }
        checkGuard(record, where);
        answers_.functions[f] = answer;
    }

    void askArg(int32 f, int32 a) {
        Guarded<ArgInfoRec> record(fill_);
        const std::string where = call("ZPKNthArg", {f, a});
        const int32 status = entry_.nthArg(f, a, record.get());
        const ArgInfoRec &info = record.record();
        ArgAnswer answer{status, -1, {}, 0};
        if (status != StatusSuccess) {
            report(where + "status", where + " returned " + std::to_string(status) +
                                         " for an argument the function announces (want 0)");
        } else {
            answer.type = info.argType;
            answer.name = checkedText(info.name, where, "name", false);
            answer.customStringCount = info.customStringCount;
            if (info.argType < DataArrayArg || info.argType > CustomArg) {
                report(where + "type", where + ": argType " + std::to_string(info.argType) +
                                           " is no argument type (0 DataArray, 1 Numeric, 2 String, 3 Custom)");
            } else if (info.argType != CustomArg && info.customStringCount != 0) {
                report(where + "count", where + ": customStringCount is " +
                                            std::to_string(info.customStringCount) + " for a " +
                                            argumentTypeName(info.argType) + " argument (want 0)");
            } else if (info.argType == CustomArg &&
                       (info.customStringCount < 1 || info.customStringCount > kMaxCustomStrings)) {
                report(where + "count", where + ": a custom argument with customStringCount " +
                                            std::to_string(info.customStringCount) +
                                            " (it needs 1 or more strings to choose from)");
            }
        }
        checkGuard(record, where);
        answers_.args[{f, a}] = answer;
    }

    void askString(int32 f, int32 a, int32 s) {
        Guarded<CustomStringRec> record(fill_);
        const std::string where = call("ZPKNthCustomString", {f, a, s});
        const int32 status = entry_.nthCustomString(f, a, s, record.get());
        StringAnswer answer{status, {}, -1};
        if (status != StatusSuccess) {
            report(where + "status", where + " returned " + std::to_string(status) +
                                         " for a string the argument announces (want 0)");
        } else {
            answer.text = checkedText(record.record().text, where, "text", false);
            answer.id = record.record().id;
        }
        checkGuard(record, where);
        answers_.strings[{f, a, s}] = answer;
    }

    const EntryPointSet &entry_;
    unsigned char fill_;
    bool reverse_;
    Findings *findings_;
    Answers answers_;
};

// ---- checks over the whole of the answers -------------------------------------------------------

void compareFunctions(const Answers &first, const Answers &second, Findings &findings) {
    for (const auto &[f, answer] : first.functions) {
        auto other = second.functions.find(f);
        if (other != second.functions.end() && !(other->second == answer)) {
            findings.add("repeat", call("ZPKNthFunction", {f}) +
                                       " answers differently when asked again or in another order");
        }
    }
    for (const auto &[key, answer] : first.args) {
        auto other = second.args.find(key);
        if (other != second.args.end() && !(other->second == answer)) {
            findings.add("repeat", call("ZPKNthArg", {key.first, key.second}) +
                                       " answers differently when asked again or in another order");
        }
    }
    for (const auto &[key, answer] : first.strings) {
        auto other = second.strings.find(key);
        if (other != second.strings.end() && !(other->second == answer)) {
            const auto [f, a, s] = key;
            findings.add("repeat", call("ZPKNthCustomString", {f, a, s}) +
                                       " answers differently when asked again or in another order");
        }
    }
}

// Indexes just below, at, just beyond and far beyond a table of `count` rows.
std::vector<int32> indexesOutside(int32 count) {
    std::vector<int32> indexes;
    for (int32 index : {-1, count, count < INT32_MAX ? count + 1 : count, INT32_MIN, INT32_MAX}) {
        if (std::find(indexes.begin(), indexes.end(), index) == indexes.end()) indexes.push_back(index);
    }
    return indexes;
}

void checkFunctionFailures(const EntryPointSet &entry, int32 functionCount, Findings &findings) {
    for (int32 f : indexesOutside(functionCount)) {
        Guarded<FunctionInfoRec> record(kFirstFill);
        const std::string where = call("ZPKNthFunction", {f});
        const int32 status = entry.nthFunction(f, record.get());
        if (status != StatusFailure) {
            findings.add("fn-fail-status", where + " returned " + std::to_string(status) +
                                               " for an index outside the function table (want 1)");
        } else if (!record.unchanged()) {
            findings.add("fn-fail-record", where + " failed but wrote into the record (a failing "
                                                   "ZPKNthFunction writes nothing)");
        }
        if (!record.guardIntact()) findings.add("fn-fail-guard", where + " wrote beyond the end of its record");
    }
}

void checkArgFailure(const EntryPointSet &entry, int32 f, int32 a, Findings &findings) {
    Guarded<ArgInfoRec> record(kFirstFill);
    const std::string where = call("ZPKNthArg", {f, a});
    const int32 status = entry.nthArg(f, a, record.get());
    const ArgInfoRec &info = record.record();
    if (status != StatusFailure) {
        findings.add("arg-fail-status", where + " returned " + std::to_string(status) +
                                            " for a pair that names no argument (want 1)");
    } else if (info.customStringCount != 0) {
        findings.add("arg-fail-count", where + " failed but left customStringCount " +
                                           std::to_string(info.customStringCount) + " (want 0)");
    } else if (!record.bytesUnchanged(0, offsetof(ArgInfoRec, customStringCount))) {
        findings.add("arg-fail-record", where + " failed but changed argType or name (a failing "
                                                "ZPKNthArg writes only customStringCount)");
    }
    if (!record.guardIntact()) findings.add("arg-fail-guard", where + " wrote beyond the end of its record");
}

void checkStringFailure(const EntryPointSet &entry, int32 f, int32 a, int32 s, Findings &findings) {
    Guarded<CustomStringRec> record(kFirstFill);
    const std::string where = call("ZPKNthCustomString", {f, a, s});
    const int32 status = entry.nthCustomString(f, a, s, record.get());
    const CustomStringRec &info = record.record();
    if (status != StatusFailure) {
        findings.add("string-fail-status", where + " returned " + std::to_string(status) +
                                               " for a triple that names no custom string (want 1)");
    } else if (info.text[0] != '\0' || info.id != -1) {
        findings.add("string-fail-record", where + " failed but did not leave the empty text and id -1");
    }
    if (!record.guardIntact()) {
        findings.add("string-fail-guard", where + " wrote beyond the end of its record");
    }
}

void checkArgFailures(const EntryPointSet &entry, int32 functionCount, const Answers &answers,
                      Findings &findings) {
    for (const auto &[f, function] : answers.functions) {
        if (function.status != StatusSuccess) continue;
        for (int32 a : indexesOutside(function.argCount)) checkArgFailure(entry, f, a, findings);
    }
    for (int32 f : indexesOutside(functionCount)) checkArgFailure(entry, f, 0, findings);
}

void checkStringFailures(const EntryPointSet &entry, int32 functionCount, const Answers &answers,
                         Findings &findings) {
    for (const auto &[key, arg] : answers.args) {
        const auto [f, a] = key;
        if (arg.status != StatusSuccess) continue;
        if (arg.type == CustomArg) {
            for (int32 s : indexesOutside(arg.customStringCount)) checkStringFailure(entry, f, a, s, findings);
        } else {
            checkStringFailure(entry, f, a, 0, findings);
        }
    }
    for (const auto &[f, function] : answers.functions) {
        if (function.status == StatusSuccess) checkStringFailure(entry, f, function.argCount, 0, findings);
    }
    for (int32 f : indexesOutside(functionCount)) checkStringFailure(entry, f, 0, 0, findings);
}

void checkOptionalExports(const EntryPointSet &entry, const Answers &answers, Findings &findings) {
    bool anyArguments = false;
    for (const auto &[f, function] : answers.functions) {
        anyArguments = anyArguments || (function.status == StatusSuccess && function.argCount > 0);
    }
    if (anyArguments && entry.nthArg == nullptr) {
        findings.add("export-arg", "functions take arguments, but ZPKNthArg is not exported");
    }
    if (!anyArguments && entry.nthArg != nullptr) {
        findings.add("export-arg", "ZPKNthArg is exported, but no function takes arguments");
    }
    if (entry.nthArg == nullptr) return;  // which arguments are custom ones is unknown
    bool anyCustom = false;
    for (const auto &[key, arg] : answers.args) {
        anyCustom = anyCustom || (arg.status == StatusSuccess && arg.type == CustomArg);
    }
    if (anyCustom && entry.nthCustomString == nullptr) {
        findings.add("export-string", "an argument is a custom one, but ZPKNthCustomString is not exported");
    }
    if (!anyCustom && entry.nthCustomString != nullptr) {
        findings.add("export-string", "ZPKNthCustomString is exported, but no argument is a custom one");
    }
}

// The same text offered twice for one argument with different ids: a host cannot tell which the
// user meant.
void checkCustomStringsDistinct(const Answers &answers, const std::map<int32, FunctionAnswer> &functions,
                                Findings &findings) {
    std::map<ArgKey, std::map<std::string, int32>> seen;
    for (const auto &[key, answer] : answers.strings) {
        const auto [f, a, s] = key;
        if (answer.status != StatusSuccess) continue;
        auto &texts = seen[{f, a}];
        auto [at, inserted] = texts.emplace(answer.text, answer.id);
        if (!inserted && at->second != answer.id) {
            findings.add("string-duplicate" + std::to_string(f) + "/" + std::to_string(a),
                         "function " + functions.at(f).name + ", argument " + std::to_string(a) +
                             ": custom string '" + answer.text + "' is offered twice, with ids " +
                             std::to_string(at->second) + " and " + std::to_string(answer.id));
        }
    }
}

bool isCallableName(const std::string &name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    for (char c : name) {
        const bool word = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!word) return false;
    }
    return true;
}

// The functions whose calculation entry points can be called, with their arguments.
std::vector<DescribedFunction> describeFunctions(const Module &module, const Answers &answers,
                                                 Findings &findings) {
    std::vector<DescribedFunction> described;
    std::map<std::string, int32> firstIndexOfName;
    for (const auto &[f, function] : answers.functions) {
        if (function.status != StatusSuccess || function.name.empty()) continue;
        auto [at, inserted] = firstIndexOfName.emplace(function.name, f);
        if (!inserted) {
            findings.add("name-twice" + function.name, "function " + function.name + " is announced twice (functions " +
                                                           std::to_string(at->second) + " and " +
                                                           std::to_string(f) + ")");
            continue;
        }
        if (!isCallableName(function.name)) {
            findings.add("name-form" + function.name,
                         "function name '" + function.name +
                             "' is no name a formula can call (letters, digits and '_', not starting with a digit)");
        }
        DescribedFunction entry;
        entry.index = f;
        entry.info.name = function.name;
        entry.info.description = function.description;
        entry.info.calculate = reinterpret_cast<CalcFunction>(module.symbol(function.name.c_str()));
        if (entry.info.calculate == nullptr) {
            findings.add("not-exported" + function.name,
                         "function " + function.name + " is announced but not exported under that name");
            continue;
        }
        entry.argumentsUsable = true;
        int32 perType[4] = {0, 0, 0, 0};
        for (int32 a = 0; a < function.argCount; ++a) {
            auto arg = answers.args.find({f, a});
            if (arg == answers.args.end() || arg->second.status != StatusSuccess ||
                arg->second.type < DataArrayArg || arg->second.type > CustomArg) {
                entry.argumentsUsable = false;
                break;
            }
            ArgumentInfo argument{arg->second.type, arg->second.name, {}};
            for (int32 s = 0; s < arg->second.customStringCount && argument.type == CustomArg; ++s) {
                auto text = answers.strings.find({f, a, s});
                if (text == answers.strings.end() || text->second.status != StatusSuccess) break;
                argument.choices.push_back({text->second.text, text->second.id});
            }
            if (argument.type == CustomArg && argument.choices.empty()) entry.argumentsUsable = false;
            ++perType[argument.type];
            entry.info.args.push_back(std::move(argument));
        }
        for (int32 type = DataArrayArg; type <= CustomArg; ++type) {
            if (perType[type] > MaxArgs) {
                findings.add("too-many" + function.name,
                             "function " + function.name + " declares " + std::to_string(perType[type]) + " " +
                                 argumentTypeName(type) + " arguments, more than the 9 a record carries");
                entry.argumentsUsable = false;
            }
        }
        described.push_back(std::move(entry));
    }
    return described;
}

}  // namespace

ProtocolResult checkProtocol(const Module &module, Findings &findings) {
    const EntryPointSet entry = bindEntryPoints(module);
    if (entry.info == nullptr) findings.add("export-info", "ZPKInfo is not exported");
    if (entry.nthFunction == nullptr) findings.add("export-function", "ZPKNthFunction is not exported");
    if (entry.info == nullptr || entry.nthFunction == nullptr) return {};

    Guarded<LibraryInfoRec> info(kFirstFill);
    const int32 status = entry.info(info.get());
    if (status != StatusSuccess) {
        findings.add("info-status", "ZPKInfo() returned " + std::to_string(status) + " (want 0: it never fails)");
        return {};
    }
    FieldText copyright = readField(info.record().copyright);
    if (!copyright.terminated) {
        findings.add("info-nul", "ZPKInfo(): copyright is not NUL-terminated within its 100 bytes");
    } else if (std::optional<std::string> problem = characterProblem(copyright.text)) {
        findings.add("info-chars", "ZPKInfo(): copyright " + *problem);
    }
    if (info.record().interfaceVersion != 1) {
        findings.add("info-version", "ZPKInfo(): interfaceVersion is " +
                                         std::to_string(info.record().interfaceVersion) + " (want 1)");
    }
    if (!info.guardIntact()) findings.add("info-guard", "ZPKInfo() wrote beyond the end of its record");
    const int32 functionCount = info.record().functionCount;
    if (functionCount < 0 || functionCount > kMaxFunctions) {
        findings.add("info-count", "ZPKInfo(): functionCount is " + std::to_string(functionCount));
        return {};
    }

    const Answers answers = ProtocolPass(entry, kFirstFill, false, &findings).run(functionCount);
    const Answers again = ProtocolPass(entry, kSecondFill, true, nullptr).run(functionCount);
    compareFunctions(answers, again, findings);

    checkFunctionFailures(entry, functionCount, findings);
    if (entry.nthArg != nullptr) checkArgFailures(entry, functionCount, answers, findings);
    if (entry.nthCustomString != nullptr) checkStringFailures(entry, functionCount, answers, findings);
    checkOptionalExports(entry, answers, findings);
    checkCustomStringsDistinct(answers, answers.functions, findings);
    return ProtocolResult{functionCount, describeFunctions(module, answers, findings)};
}

}  // namespace zpk::host::check
