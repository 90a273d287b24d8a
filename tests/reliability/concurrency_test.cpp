// Many threads calling every entry point of the three modules at once, each on its own records, many
// times: every result must be byte for byte the one a single thread gets. The host may call any entry
// point from any thread, also at the same time, as long as simultaneous calls share no record. Half
// of the threads call with another rounding mode and flush-to-zero, as a host thread may: each call
// works in its own thread's environment only. Under ThreadSanitizer (the tsan preset) a data race
// between two calls is a failure too.
#include "reliability_support.hpp"

#include <atomic>
#include <cfenv>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace zpk::test {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 12;
constexpr int32 kBars = 400;

// Every query a host makes of one module, as the bytes of the records they fill.
std::vector<std::string> askEverything(const host::Plugin &plugin) {
    const host::EntryPoints &q = plugin.entryPoints();
    std::vector<std::string> answers;
    auto keep = [&answers](int32 status, const void *record, std::size_t size) {
        answers.push_back(std::to_string(status) + std::string(static_cast<const char *>(record), size));
    };
    LibraryInfoRec info;
    fillPattern(info);
    keep(q.info(&info), &info, sizeof info);
    for (int32 f = -1; f <= info.functionCount; ++f) {
        FunctionInfoRec fn;
        fillPattern(fn);
        keep(q.nthFunction(f, &fn), &fn, sizeof fn);
        for (int32 a = -1; q.nthArg != nullptr && a <= 3; ++a) {
            ArgInfoRec arg;
            fillPattern(arg);
            keep(q.nthArg(f, a, &arg), &arg, sizeof arg);
            for (int32 s = -1; q.nthCustomString != nullptr && s <= 8; ++s) {
                CustomStringRec choice;
                fillPattern(choice);
                keep(q.nthCustomString(f, a, s, &choice), &choice, sizeof choice);
            }
        }
    }
    return answers;
}

// One calculation with its own records.
CallResult calculate(const LoadedModules &modules, const Security &security, const CallSpec &spec) {
    CallRecords call(kBars);
    fillRecords(call, security, spec);
    return resultOf(call, call.call(modules.calculation(spec.name)));
}

// The environment of a host thread that is not the default one: rounding toward zero, and on x86
// flush-to-zero and denormals-are-zero as well.
class OtherRounding {
public:
    OtherRounding() {
        std::fesetround(FE_TOWARDZERO);
#if defined(__x86_64__) || defined(__i386__)
        _mm_setcsr(_mm_getcsr() | 0x8040);
#endif
    }
    ~OtherRounding() {
#if defined(__x86_64__) || defined(__i386__)
        _mm_setcsr(_mm_getcsr() & ~0x8040u);
#endif
        std::fesetround(FE_TONEAREST);
    }
    OtherRounding(const OtherRounding &) = delete;
    OtherRounding &operator=(const OtherRounding &) = delete;
};

// What every thread compares with: the single-threaded results.
struct Reference {
    std::vector<Security> securities;  // one per thread, so that no two threads share an array
    std::vector<CallSpec> calls;
    std::vector<CallResult> results;   // per call, over securities[0]
    std::vector<std::vector<std::string>> answers;  // per module
};

// The mismatches of one thread, described; empty when everything agreed.
std::vector<std::string> runThread(const LoadedModules &modules, const Reference &ref, int thread) {
    std::vector<std::string> mismatches;
    std::optional<OtherRounding> rounding;
    if (thread % 2 == 1) rounding.emplace();
    const Security &mine = ref.securities[static_cast<std::size_t>(thread)];
    for (int round = 0; round < kRounds; ++round) {
        // Each thread walks the calls from its own starting point, so that different functions and
        // the same function overlap in time.
        for (std::size_t k = 0; k < ref.calls.size(); ++k) {
            const std::size_t c = (k + static_cast<std::size_t>(thread) * 7 + static_cast<std::size_t>(round)) %
                                  ref.calls.size();
            if (!(calculate(modules, mine, ref.calls[c]) == ref.results[c])) {
                mismatches.push_back(ref.calls[c].name + " in round " + std::to_string(round));
            }
        }
        for (std::size_t m = 0; m < modules.plugins().size(); ++m) {
            if (askEverything(modules.plugins()[m]) != ref.answers[m]) {
                mismatches.push_back(std::string("the queries of ") + kModules[m] + " in round " +
                                     std::to_string(round));
            }
        }
    }
    return mismatches;
}

TEST(Concurrency, ManyThreadsGetTheSingleThreadedResults) {
    const LoadedModules modules;
    Reference ref;
    for (int t = 0; t < kThreads; ++t) {
        ref.securities.push_back(randomSecurity(20261211, kBars, 1));  // equal values, own arrays
    }
    ref.calls = everyCall();
    for (const CallSpec &spec : ref.calls) {
        ref.results.push_back(calculate(modules, ref.securities[0], spec));
    }
    for (const host::Plugin &plugin : modules.plugins()) {
        ref.answers.push_back(askEverything(plugin));
    }

    std::vector<std::vector<std::string>> mismatches(kThreads);
    {
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                // Start together, so that the calls overlap.
                ready.fetch_add(1);
                while (ready.load() < kThreads) std::this_thread::yield();
                mismatches[static_cast<std::size_t>(t)] = runThread(modules, ref, t);
            });
        }
        for (std::thread &thread : threads) thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        for (const std::string &what : mismatches[static_cast<std::size_t>(t)]) {
            ADD_FAILURE() << "thread " << t << ": " << what << " differs from the single-threaded result";
        }
    }
}

}  // namespace
}  // namespace zpk::test
