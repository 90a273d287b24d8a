// zpkhost run with formulas: calls written as a user writes them, looked up across the modules
// given, arguments by position or name, calls inside calls. Probe (tests/host/probe) makes the
// arguments visible: ProbeArgs(Offset, Series, Scale, Label, Minus) is
// Series * Scale + Offset - Minus + length(Label) over Series' valid range.
#include "zpkhost_runner.hpp"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace zpk::test {
namespace {

constexpr const char *kPrices =
    "Date,Open,High,Low,Close,Volume,OpenInterest\n"
    "2024-01-02,1,2,0.5,1.5,10,100\n"
    "2024-01-03,2,3,1.5,2.5,20,200\n"
    "2024-01-04,3,4,2.5,3.5,30,300\n";

std::vector<std::string> runFormulas(const std::string &prices, const std::vector<std::string> &formulas,
                                     const std::vector<std::string> &modules = {"@Probe"}) {
    std::vector<std::string> args = {"run", "--prices", prices};
    for (const std::string &module : modules) {
        args.push_back("--module");
        args.push_back(module);
    }
    args.insert(args.end(), formulas.begin(), formulas.end());
    return args;
}

// The values of column `column` (1 = the first call), one per row, "" where empty.
std::vector<std::string> column(const std::string &csv, std::size_t column) {
    std::vector<std::string> values;
    std::vector<std::string> lines = linesOf(csv);
    for (std::size_t l = 1; l < lines.size(); ++l) values.push_back(fieldsOf(lines[l]).at(column));
    return values;
}

struct FormulaCase {
    const char *what;
    std::string formula;
    std::vector<std::string> values;  // bars 1..3 of kPrices, as printed
};

TEST_F(ZpkhostTest, FormulaArgumentsArriveByPositionOrNameInTheirDeclaredPlaces) {
    // Expected values by hand from Probe's formula on closes 1.5, 2.5, 3.5 (highs 2, 3, 4).
    const FormulaCase cases[] = {
        {"by position", "ProbeArgs(2.25, close, Ten, \"abc\", 0.5)", {"19.75", "29.75", "39.75"}},
        {"by name in another order, names and choices in any case",
         "ProbeArgs(Minus = 0.5, label=\"abc\", SCALE=t, series=CLOSE, offset=2.25)", {"19.75", "29.75", "39.75"}},
        {"by position, then by name", "ProbeArgs(2.25, close, Label='abc', Scale=Ten, Minus=0.5)",
         {"19.75", "29.75", "39.75"}},
        {"a quote doubled inside a text: it's is 4 bytes", "ProbeArgs(0, high, U, 'it''s', 0)", {"6", "7", "8"}},
        {"a custom string spelt exactly wins over another case: K is 1024", "ProbeArgs(0, high, K, \"\", 0)",
         {"2048", "3072", "4096"}},
        {"the module named", "Probe.ProbeArgs(0, oi, U, \"\", 0)", {"100", "200", "300"}},
        {"a call inside a call: its output is the data array", "ProbeArgs(0, ProbeArgs(1, close, U, \"\", 0), T, \"\", 0)",
         {"25", "35", "45"}},
        {"signs and exponents", "ProbeArgs(+1e1, close, U, \"\", -2.5E-1)", {"11.75", "12.75", "13.75"}},
    };
    const std::string prices = writeFile("prices.csv", kPrices);
    for (const FormulaCase &c : cases) {
        Outcome outcome = run(runFormulas(prices, {c.formula}));
        ASSERT_EQ(outcome.status, 0) << c.what << ": " << outcome.err;
        EXPECT_EQ(outcome.err, "") << c.what;
        EXPECT_EQ(column(outcome.out, 1), c.values) << c.what << "\n" << outcome.out;
    }
}

TEST_F(ZpkhostTest, EveryFormulaIsAColumnHeadedByItsText) {
    const std::string prices = writeFile("prices.csv", kPrices);
    Outcome outcome = run(runFormulas(prices, {"  ProbeArgs(0, close, U, \"\", 0) ", "ProbeArgs(0,high,U,\"\",0)"}));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    // Blanks around a formula are dropped; a heading with commas or quotes is quoted.
    EXPECT_EQ(outcome.out,
              "Date,\"ProbeArgs(0, close, U, \"\"\"\", 0)\",\"ProbeArgs(0,high,U,\"\"\"\",0)\"\n"
              "2024-01-02,1.5,2\n2024-01-03,2.5,3\n2024-01-04,3.5,4\n");
}

TEST_F(ZpkhostTest, AnInnerCallHandsOnItsOutputWithTheRangeItsFunctionReported) {
    // BrevanePeriod's range starts some bars into the sample; Probe copies its Series over the
    // range it receives, so the copy must be empty exactly where BrevanePeriod is.
    Outcome outcome = run(runFormulas(samplePrices(),
                                      {"BrevanePeriod(close)", "ProbeArgs(0, BrevanePeriod(close), U, \"\", 0)"},
                                      {"@Probe", "@Brevane"}));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    std::vector<std::string> period = column(outcome.out, 1);
    EXPECT_EQ(column(outcome.out, 2), period);
    ASSERT_FALSE(period.empty());
    EXPECT_EQ(period.front(), "") << "the period needs some bars before its first value";
    EXPECT_NE(period.back(), "");
}

TEST_F(ZpkhostTest, FormulasOverAllThreeLibrariesAndTheirFunctionsWithoutArguments) {
    // Functions are found in whichever module has them; a function without arguments may be
    // written with or without its parentheses, also inside another call.
    Outcome outcome = run(runFormulas(samplePrices(),
                                      {"ChannelHigh(close, 1, 0)", "MyMov(BrevanePeriod(close), 10, Exponential)",
                                       "AmbrelFunc", "MyMov(AmbrelFunc(), 5, S)", "SumArrays(\"HL\")"},
                                      {"@Brevane", "@ZENOBAR", "@Ambrel"}));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    std::vector<std::string> lines = linesOf(outcome.out);
    EXPECT_EQ(lines.front(), "Date,\"ChannelHigh(close, 1, 0)\",\"MyMov(BrevanePeriod(close), 10, Exponential)\","
                             "AmbrelFunc,\"MyMov(AmbrelFunc(), 5, S)\",\"SumArrays(\"\"HL\"\")\"");
    // On the last bar every call has a value: the moving averages over the sample's bars from bar
    // 1 on, the look-ahead signal its 0 of the last bar.
    std::vector<std::string> last = fieldsOf(lines.back());
    ASSERT_EQ(last.size(), 6u) << lines.back();
    for (std::size_t c = 1; c < last.size(); ++c) EXPECT_NE(last[c], "") << "column " << c << ": " << lines.back();
    EXPECT_EQ(last[3], "0");
}

struct BadFormulaCase {
    const char *what;
    std::string formula;
    const char *message;
};

TEST_F(ZpkhostTest, AFormulaThatDoesNotFitIsNamedWithWhatIsWrongAndExitStatus2) {
    const std::string prices = writeFile("prices.csv", kPrices);
    // A second copy of Probe under another name: its function is then in two modules.
    std::filesystem::copy_file(modulePath("Probe"), dir_ / ("Twin" + std::filesystem::path(modulePath("Probe")).extension().string()));
    const std::string twin = (dir_ / ("Twin" + std::filesystem::path(modulePath("Probe")).extension().string())).string();
    const BadFormulaCase cases[] = {
        {"unknown function", "Nope(close)", "Nope(close): no function Nope in the modules given (Probe)"},
        {"unknown module", "Other.ProbeArgs(0, close, U, \"\", 0)", "no module called Other was given (modules: Probe)"},
        {"too many arguments", "ProbeArgs(0, close, U, \"\", 0, 1)",
         "6 arguments, but ProbeArgs takes 5 (ProbeArgs(Offset, Series, Scale, Label, Minus))"},
        {"missing arguments", "ProbeArgs(0, close)", "ProbeArgs(0, close): arguments Scale, Label, Minus missing"},
        {"an argument twice", "ProbeArgs(0, close, U, \"\", 0, offset=1)", "argument Offset is given twice"},
        {"a name no argument has", "ProbeArgs(0, close, U, \"\", Colour=1)", "ProbeArgs has no argument Colour"},
        {"a position after a name", "ProbeArgs(Offset=0, close, U, \"\", 0)", "an argument without a name follows a named one"},
        {"a number for a data array", "ProbeArgs(0, 5, U, \"\", 0)",
         "argument Series takes a data array: a price series (open, high, low, close, volume, oi) or a call, but '5' is a number"},
        {"a word that is no series nor function", "ProbeArgs(0, median, U, \"\", 0)",
         "argument Series: 'median' is no price series (open, high, low, close, volume, oi), and as a function: no function median"},
        {"a text for a number", "ProbeArgs(\"1\", close, U, \"\", 0)", "argument Offset takes a number, but '1' is a text"},
        {"a word for a text", "ProbeArgs(0, close, U, abc, 0)", "argument Label takes a text in quotes, but 'abc' is a word"},
        {"a call for a number", "ProbeArgs(ProbeArgs(0, close, U, \"\", 0), close, U, \"\", 0)",
         "argument Offset takes a number, but 'ProbeArgs(0, close, U, \"\", 0)' is a call"},
        {"a number that does not parse", "ProbeArgs(1.5x, close, U, \"\", 0)", "argument Offset: '1.5x' is not a number"},
        {"a choice the argument does not offer", "ProbeArgs(0, close, Thousand, \"\", 0)",
         "argument Scale: 'Thousand' is none of its choices (Unit, U, Ten, T, Hundred, k, K)"},
        {"a parenthesis never closed", "ProbeArgs(0, close, U, \"\", 0", "ends before the ')' of ProbeArgs (at column 29)"},
        {"something after the call", "ProbeArgs(0, close, U, \"\", 0) + 1", "has '+' after the end of the call (at column 31)"},
        {"a text never closed", "ProbeArgs(0, close, U, \"abc, 0)", "has a text that is never closed (at column 24)"},
        {"not a call", "42", "must start with a function name (at column 1)"},
        {"empty", "", "is empty"},
    };
    for (const BadFormulaCase &c : cases) {
        Outcome outcome = run(runFormulas(prices, {c.formula}));
        EXPECT_EQ(outcome.status, 2) << c.what;
        EXPECT_EQ(outcome.out, "") << c.what;
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << c.what << ": stderr is '" << outcome.err << "'";
        EXPECT_EQ(linesOf(outcome.err).size(), 1u) << c.what << ": stderr is '" << outcome.err << "'";
    }

    // The same function in two modules: ambiguous until the module is named.
    Outcome outcome = run(runFormulas(prices, {"ProbeArgs(0, close, U, \"\", 0)"}, {"@Probe", twin}));
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.err.find("function ProbeArgs is ambiguous: Probe.ProbeArgs, Twin.ProbeArgs (write the one "
                               "meant as Module.Function)"),
              std::string::npos)
        << outcome.err;
    outcome = run(runFormulas(prices, {"Twin.ProbeArgs(0, close, U, \"\", 0)"}, {"@Probe", twin}));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
}

TEST_F(ZpkhostTest, AFailedInnerCallFailsTheRunWithItsMessage) {
    const std::string prices = writeFile("prices.csv", kPrices);
    Outcome outcome = run(runFormulas(prices, {"ProbeArgs(0, close, U, \"\", 0)",
                                               "ProbeArgs(0, ProbeArgs(0, close, U, \"fail:too small\", 0), U, \"\", 0)"}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "ProbeArgs(0, close, U, \"fail:too small\", 0) failed: too small\n");
}

}  // namespace
}  // namespace zpk::test
