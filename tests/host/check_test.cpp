// zpkhost check on our three plug-ins and on test plug-ins built to break the rules: Broken (one
// fault in every entry point and function), Misfit (surplus exports, a range beyond the bars, an
// odd status) and Lacking (a function with an argument, no ZPKNthArg).
#include "zpkhost_runner.hpp"

#include <string>
#include <vector>

namespace zpk::test {
namespace {

std::size_t linesHolding(const std::vector<std::string> &lines, const std::string &text) {
    std::size_t count = 0;
    for (const std::string &line : lines) count += line.find(text) != std::string::npos ? 1 : 0;
    return count;
}

TEST_F(ZpkhostTest, CheckFindsNothingToReportInPluginsThatKeepTheRules) {
    // Probe follows every rule too; all four are checked in one run.
    const std::vector<std::string> modules = {"Ambrel", "Brevane", "ZENOBAR", "Probe"};
    const std::vector<std::string> functionCounts = {"(1 function,", "(3 functions,", "(22 functions,",
                                                     "(1 function,"};
    std::vector<std::string> args = {"check"};
    for (const std::string &module : modules) args.push_back("@" + module);
    Outcome outcome = run(args);
    EXPECT_EQ(outcome.status, 0) << outcome.out;
    EXPECT_EQ(outcome.err, "");
    std::vector<std::string> lines = linesOf(outcome.out);
    ASSERT_EQ(lines.size(), modules.size()) << outcome.out;
    for (std::size_t m = 0; m < modules.size(); ++m) {
        EXPECT_EQ(lines[m].rfind(modulePath(modules[m]) + ": conforms " + functionCounts[m], 0), 0u)
            << lines[m];
    }
}

struct FaultCase {
    const char *module;
    const char *fault;   // the fault built into the module
    const char *report;  // what the line reporting it holds
};

TEST_F(ZpkhostTest, CheckReportsEveryFaultOfTheBrokenPluginsOnALineOfItsOwn) {
    const FaultCase cases[] = {
        {"Broken", "ZPKInfo: copyright without NUL", "ZPKInfo(): copyright is not NUL-terminated within its 100 bytes"},
        {"Broken", "ZPKNthFunction writes argCount for an index outside the table",
         "ZPKNthFunction(-1) failed but wrote into the record"},
        {"Broken", "ZPKNthArg leaves customStringCount on failure",
         "ZPKNthArg(0, -1) failed but left customStringCount -1515870811 (want 0)"},
        {"Broken", "ZPKNthCustomString answers one string beyond the count",
         "ZPKNthCustomString(10, 0, 2) returned 0 for a triple that names no custom string (want 1)"},
        {"Broken", "Ghost is not exported", "function Ghost is announced but not exported under that name"},
        {"Broken", "BadType's argument type 7", "ZPKNthArg(7, 0): argType 7 is no argument type"},
        {"Broken", "CountedNumber's numeric argument with custom strings",
         "ZPKNthArg(8, 0): customStringCount is 2 for a Numeric argument (want 0)"},
        {"Broken", "Fickle's description changes", "ZPKNthFunction(9) answers differently when asked again or in another order"},
        {"Broken", "Twice offers Up with two ids", "function Twice, argument 0: custom string 'Up' is offered twice, with ids 1 and 2"},
        {"Broken", "WritesInput writes close", "WritesInput() on 1 bar: wrote into the close series (at bar 1)"},
        {"Broken", "NoMessage's errorText has no NUL", "NoMessage() on no bars: failed without a NUL-terminated errorText"},
        {"Broken", "FailsWithRange keeps a range", "FailsWithRange() on no bars: failed but reported the range 0..0"},
        {"Broken", "ChattySuccess writes errorText", "ChattySuccess() on no bars: succeeded but wrote into errorText"},
        {"Broken", "ReadsBeyondCount reads the entry after its count",
         "ReadsBeyondCount(1) on 1 bar: gave another result when only bytes the host leaves undefined changed"},
        {"Broken", "WritesPastEnd writes one entry too many",
         "WritesPastEnd() on no bars: wrote output entry 0, outside the entries 0 to the largest lastValid"},
        {"Broken", "WritesRecord overwrites its number", "WritesRecord(1) on no bars: changed the NumericArgs record"},
        {"Misfit", "a ZPKNthArg nobody needs", "ZPKNthArg is exported, but no function takes arguments"},
        {"Misfit", "a ZPKNthCustomString nobody needs", "ZPKNthCustomString is exported, but no argument is a custom one"},
        {"Misfit", "WideRange reports -3..N+5", "WideRange() on no bars: reported the range -3..4, which reaches outside"},
        {"Misfit", "OddStatus returns 7", "OddStatus() on no bars: returned 7 (want 0 or 1)"},
        {"Lacking", "no ZPKNthArg", "functions take arguments, but ZPKNthArg is not exported"},
    };
    for (const char *module : {"Broken", "Misfit", "Lacking"}) {
        Outcome outcome = run({"check", std::string("@") + module});
        EXPECT_EQ(outcome.status, 1) << module;
        EXPECT_EQ(outcome.err, "") << module;
        std::vector<std::string> lines = linesOf(outcome.out);
        std::size_t faults = 0;
        for (const FaultCase &c : cases) {
            if (std::string(c.module) != module) continue;
            ++faults;
            EXPECT_EQ(linesHolding(lines, modulePath(module) + ": " + c.report), 1u)
                << module << ", " << c.fault << ": zpkhost printed\n" << outcome.out;
        }
        // Each fault on one line, nothing else reported, then the summary.
        ASSERT_EQ(lines.size(), faults + 1) << module << ": zpkhost printed\n" << outcome.out;
        EXPECT_EQ(lines.back().rfind(modulePath(module) + ": " + std::to_string(faults) +
                                         (faults == 1 ? " rule broken (" : " rules broken ("), 0), 0u)
            << lines.back();
    }
}

TEST_F(ZpkhostTest, CheckOfAModuleThatDoesNotLoadPrintsNothingAndExits2) {
    // The good module comes first: nothing of its report is printed either.
    writeFile("not_a_module.so", "text");
    Outcome outcome = run({"check", "@Ambrel", "@dir/not_a_module.so"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err.rfind("zpkhost: cannot load module '", 0), 0u) << outcome.err;
    EXPECT_EQ(linesOf(outcome.err).size(), 1u) << outcome.err;
}

}  // namespace
}  // namespace zpk::test
