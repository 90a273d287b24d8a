// What the reliability tests share: the three modules loaded the way the host loads them, and
// every calculation function they register, found by its export name.
#ifndef ZPK_TESTS_RELIABILITY_SUPPORT_HPP
#define ZPK_TESTS_RELIABILITY_SUPPORT_HPP

#include "plugin_fixture.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zpk::test {

inline const char *const kModules[] = {"Ambrel", "Brevane", "ZENOBAR"};

// The nineteen argument-free Signal exports of ZENOBAR.
inline const std::vector<const char *> kSignalFunctions = {
    "SignalVolume", "SignalRun",  "SignalExt",  "SignalAst",     "SignalSpe",  "SignalPru",
    "SignalTre",    "SignalVolume2", "SignalRun2", "SignalExt2", "SignalAst2", "SignalSpe2",
    "SignalPru2",   "SignalTre2", "SignalExt3", "SignalAst3",    "SignalSpe3", "SignalPru3",
    "SignalTre3"};

// The three modules, loaded once for a test.
class LoadedModules {
public:
    LoadedModules() {
        for (const char *name : kModules) {
            plugins_.push_back(loadPlugin(name));
        }
    }

    // The calculation function exported under `name` by whichever module has it; fails the test
    // when none does.
    CalcFunction calculation(const std::string &name) const {
        for (const host::Plugin &plugin : plugins_) {
            if (CalcFunction f = plugin.calculation(name)) return f;
        }
        ADD_FAILURE() << name << " is exported by no module";
        return nullptr;
    }

    const std::vector<host::Plugin> &plugins() const { return plugins_; }

private:
    std::vector<host::Plugin> plugins_;
};

// The price series of one security (open, high, low, close, volume, series7) and a data argument.
struct Security {
    std::array<Series, 6> prices;
    Series data;
};

// A seeded random walk of `bars` bars, every series valid over first..bars-1.
Security randomSecurity(std::uint32_t seed, int32 bars, int32 first);

// One call of a function: its export name and the arguments the host binds for it.
struct CallSpec {
    std::string name;
    bool takesData = false;
    std::vector<float> numbers;
    std::vector<std::string> texts;
    std::vector<int32> customs;
};

// Every registered calculation function, with usable arguments, several in more than one variant.
std::vector<CallSpec> everyCall();

// The records of `spec` over `security`; the texts point into `spec`.
void fillRecords(CallRecords &call, const Security &security, const CallSpec &spec);

// What a call left: status, range, every output entry bit for bit, the message.
struct CallResult {
    int32 status;
    int32 firstValid;
    int32 lastValid;
    std::vector<std::uint32_t> output;
    std::string errorText;

    bool operator==(const CallResult &o) const {
        return status == o.status && firstValid == o.firstValid && lastValid == o.lastValid &&
               output == o.output && errorText == o.errorText;
    }
};

CallResult resultOf(const CallRecords &call, int32 status);

}  // namespace zpk::test

#endif
