#include "library_fuzzer.hpp"

#include "caller_environment.hpp"
#include "host_call.hpp"
#include "plugin.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace zpk::fuzz {
namespace {

struct FunctionUnderTest {
    FunctionReads reads;
    CalcFunction calculate;
    Counts declared;  // what the host passes for the function's own argument list
};

struct Session {
    host::Plugin plugin;
    std::vector<FunctionUnderTest> functions;
};

template <class Record>
Record patterned(unsigned char byte) {
    Record record;
    std::memset(static_cast<void *>(&record), byte, sizeof record);
    return record;
}

template <class Record>
bool sameBytes(const Record &a, const Record &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The module stays loaded from LLVMFuzzerInitialize to the end of the process.
std::optional<Session> &session() {
    static std::optional<Session> loaded;
    return loaded;
}

[[noreturn]] void stop(const std::string &where, const std::string &what) {
    std::fprintf(stderr, "\n*** %s: %s\n\n", where.c_str(), what.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string modulePath(const char *module) {
    std::string dir = ZPK_MODULE_DIR;
    if (const char *overridden = std::getenv("ZPK_MODULE_DIR")) {
        dir = overridden;
    }
    return dir + "/" + module + ZPK_MODULE_SUFFIX;
}

Counts declaredCounts(const host::FunctionInfo &function) {
    Counts counts{0, 0, 0, 0};
    for (const host::ArgumentInfo &arg : function.args) {
        switch (arg.type) {
        case DataArrayArg: ++counts.data; break;
        case NumericArg: ++counts.numeric; break;
        case StringArg: ++counts.strings; break;
        case CustomArg: ++counts.custom; break;
        default: break;
        }
    }
    return counts;
}

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// What a host relies on after one call; empty when all of it holds.
std::string breachOf(const HostCall &call, const Outcome &o, int64_t bound) {
    if (o.status != StatusSuccess && o.status != StatusFailure) {
        return "status " + std::to_string(o.status);
    }
    if (o.status == StatusFailure) {
        if (std::memchr(o.errorText.data(), '\0', TextFieldSize) == nullptr) {
            return "a failed call left errorText without a NUL in its 100 bytes";
        }
        if (o.firstValid != 0 || o.lastValid != -1) {
            return "a failed call reports the range " + std::to_string(o.firstValid) + ".." +
                   std::to_string(o.lastValid);
        }
    } else if (o.errorText != call.errorTextBefore()) {
        return "a successful call wrote errorText";
    }
    if (!call.inputsIntact()) {
        return "an input array, text or record was written";
    }
    const std::size_t from = bound < 0 ? 0 : static_cast<std::size_t>(bound) + 1;
    for (std::size_t i = from; i < o.output.size(); ++i) {
        if (bitsOf(o.output[i]) != o.untouchedBits) {
            return "output entry " + std::to_string(i) + " written above bar " + std::to_string(bound) +
                   ", the last valid bar of the series read";
        }
    }
    return {};
}

// Two calls on the same records that differ only in what the host leaves undefined and in the
// caller's floating-point environment; empty when they agree.
std::string differenceOf(const Outcome &a, const Outcome &b) {
    if (a.status != b.status || a.firstValid != b.firstValid || a.lastValid != b.lastValid) {
        return "status or range differ: " + std::to_string(a.status) + " " + std::to_string(a.firstValid) +
               ".." + std::to_string(a.lastValid) + " against " + std::to_string(b.status) + " " +
               std::to_string(b.firstValid) + ".." + std::to_string(b.lastValid);
    }
    if (a.status == StatusFailure && std::strcmp(a.errorText.data(), b.errorText.data()) != 0) {
        return "messages differ";
    }
    for (std::size_t i = 0; i < a.output.size(); ++i) {
        const std::uint32_t x = bitsOf(a.output[i]);
        const std::uint32_t y = bitsOf(b.output[i]);
        const bool neitherWritten = x == a.untouchedBits && y == b.untouchedBits;
        if (!neitherWritten && x != y) {
            return "output entry " + std::to_string(i) + " differs";
        }
    }
    return {};
}

void checkOne(HostCall &call, const FunctionUnderTest &function, const CallerEnvironment &host) {
    const Counts counts = call.wantsDeclaredCounts() ? function.declared : call.drawnCounts();
    const std::string name = function.reads.name;

    call.prepare(counts, Filler::First);
    const int64_t bound = call.largestLastValid(function.reads.priceLetters, function.reads.dataArgument);
    const FloatState defaultState = currentFloatState();
    const int32 firstStatus = call.call(function.calculate);
    if (!(currentFloatState() == defaultState)) {
        stop(name, "the floating-point environment changed across the call");
    }
    const Outcome first = call.outcome(firstStatus);
    if (std::string breach = breachOf(call, first, bound); !breach.empty()) stop(name, breach);

    call.prepare(counts, Filler::Second);
    enter(host);
    const FloatState hostState = currentFloatState();
    const int32 secondStatus = call.call(function.calculate);
    const FloatState afterState = currentFloatState();
    leave();
    if (!(afterState == hostState)) {
        stop(name, "the host's floating-point environment changed across the call");
    }
    const Outcome second = call.outcome(secondStatus);
    if (std::string breach = breachOf(call, second, bound); !breach.empty()) stop(name, breach);
    if (std::string difference = differenceOf(first, second); !difference.empty()) {
        stop(name, "the result depends on undefined bytes or on the caller's environment: " + difference);
    }
}

// The query entry points at any indexes: status 0 or 1, and a failed query writes only what it
// always writes (nothing, customStringCount 0, or the empty text and id -1).
void checkQueries(const host::EntryPoints &queries, FuzzedDataProvider &input) {
    const int32 function = input.ConsumeIntegral<int32>();
    const int32 argument = input.ConsumeIntegralInRange<int32>(-2, 10);
    const int32 string = input.ConsumeIntegral<int32>();
    const auto before = patterned<FunctionInfoRec>(0xA5);
    FunctionInfoRec functionInfo = before;
    const int32 status = queries.nthFunction(function, &functionInfo);
    if (status != StatusSuccess && (status != StatusFailure || !sameBytes(functionInfo, before))) {
        stop("ZPKNthFunction", "index " + std::to_string(function) + " gave status " + std::to_string(status));
    }
    if (queries.nthArg != nullptr) {
        auto expected = patterned<ArgInfoRec>(0xA5);
        ArgInfoRec argInfo = expected;
        expected.customStringCount = 0;
        const int32 argStatus = queries.nthArg(function, argument, &argInfo);
        if (argStatus != StatusSuccess && (argStatus != StatusFailure || !sameBytes(argInfo, expected))) {
            stop("ZPKNthArg", "indexes " + std::to_string(function) + ", " + std::to_string(argument));
        }
    }
    if (queries.nthCustomString != nullptr) {
        CustomStringRec choice = patterned<CustomStringRec>(0xA5);
        const int32 choiceStatus = queries.nthCustomString(function, argument, string, &choice);
        const bool emptyChoice = choice.text[0] == '\0' && choice.id == -1;
        if (choiceStatus != StatusSuccess && (choiceStatus != StatusFailure || !emptyChoice)) {
            stop("ZPKNthCustomString", "indexes " + std::to_string(function) + ", " +
                                           std::to_string(argument) + ", " + std::to_string(string));
        }
    }
}

}  // namespace

int initialize(const LibraryUnderTest &library) {
    std::string error;
    std::optional<host::Plugin> plugin = host::Plugin::load(modulePath(library.module), error);
    if (!plugin) stop(library.module, error);
    std::optional<host::LibraryInfo> info = plugin->describe(error);
    if (!info) stop(library.module, error);
    if (info->functions.size() != library.functionCount) {
        stop(library.module, "registers " + std::to_string(info->functions.size()) +
                                 " functions, the fuzz target knows " + std::to_string(library.functionCount));
    }
    Session loaded{std::move(*plugin), {}};
    for (std::size_t k = 0; k < library.functionCount; ++k) {
        const host::FunctionInfo &registered = info->functions[k];
        if (registered.name != library.functions[k].name) {
            stop(library.module, "function " + std::to_string(k) + " is " + registered.name +
                                     ", the fuzz target expects " + library.functions[k].name);
        }
        loaded.functions.push_back({library.functions[k], registered.calculate, declaredCounts(registered)});
    }
    session().emplace(std::move(loaded));
    return 0;
}

int fuzzOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    HostCall call(input);
    const CallerEnvironment host = CallerEnvironment::draw(input);
    checkQueries(session()->plugin.entryPoints(), input);
    for (const FunctionUnderTest &function : session()->functions) {
        checkOne(call, function, host);
    }
    return 0;
}

}  // namespace zpk::fuzz
