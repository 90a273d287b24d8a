// zpkhost info and the one-function form of zpkhost run (MODULE FUNCTION NAME=VALUE...), on the
// sample prices of examples/ and on small price files the tests write.
#include "zpkhost_runner.hpp"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace zpk::test {
namespace {

const std::string kSample = samplePrices();

// ---- info ----------------------------------------------------------------------------------

TEST_F(ZpkhostTest, InfoPrintsAmbrelsRegistrationTable) {
    // Ambrel's notice and its one-row function table.
    Outcome outcome = run({"info", modulePath("Ambrel")});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out,
              "Copyright: Ambrel indicator library. Copyright (c) 2026 the ZPK developers.\n"
              "Interface version: 1\n"
              "Functions: 1\n"
              "\n"
              "Function 0: AmbrelFunc\n"
              "  Description: Ambrel Function\n"
              "  Arguments: 0\n");
}

TEST_F(ZpkhostTest, InfoListsArgumentsInDeclaredOrderWithCustomStringsAndIds) {
    // Probe's table (tests/host/probe): types interleaved, two custom texts differing in case, and
    // a description in Windows-1252 printed in UTF-8 (\xD7 as U+00D7, \x96 as U+2013).
    Outcome outcome = run({"info", modulePath("Probe")});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out,
              "Copyright: Probe test library: echoes its arguments.\n"
              "Interface version: 1\n"
              "Functions: 1\n"
              "\n"
              "Function 0: ProbeArgs\n"
              "  Description: Series \xC3\x97 Scale + Offset \xE2\x80\x93 Minus + length of Label\n"
              "  Arguments: 5\n"
              "    0: Numeric Offset\n"
              "    1: DataArray Series\n"
              "    2: Custom Scale\n"
              "         Unit = 1\n"
              "         U = 1\n"
              "         Ten = 10\n"
              "         T = 10\n"
              "         Hundred = 100\n"
              "         k = 1000\n"
              "         K = 1024\n"
              "    3: String Label\n"
              "    4: Numeric Minus\n");
}

// ---- run: Ambrel on the sample and on a small file -----------------------------------------

struct SampleBar {
    std::string date;
    float close;
};

std::vector<SampleBar> readSampleBars(const std::string &path) {
    std::vector<std::string> lines = linesOf(readText(path));
    std::vector<std::string> header = fieldsOf(lines.at(0));
    std::size_t dateColumn = 0, closeColumn = 0;
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (header[i] == "Date") dateColumn = i;
        if (header[i] == "Close") closeColumn = i;
    }
    std::vector<SampleBar> bars;
    for (std::size_t l = 1; l < lines.size(); ++l) {
        std::vector<std::string> fields = fieldsOf(lines[l]);
        bars.push_back({fields.at(dateColumn), std::strtof(fields.at(closeColumn).c_str(), nullptr)});
    }
    return bars;
}

TEST_F(ZpkhostTest, RunAmbrelFuncMarksEveryBarOfTheSampleByTheNextClose) {
    std::vector<SampleBar> bars = readSampleBars(kSample);
    ASSERT_GE(bars.size(), 1000u) << "the sample has about 2,000 bars";

    Outcome outcome = run({"run", modulePath("Ambrel"), "AmbrelFunc", "--prices", kSample});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    std::vector<std::string> rows = linesOf(outcome.out);
    ASSERT_EQ(rows.size(), bars.size() + 1);
    EXPECT_EQ(rows[0], "Date,AmbrelFunc");

    // The host numbers the first row bar 1, so AmbrelFunc's range 1..N covers every row: a row
    // compares its close with the next one; the last row has no next one and holds 0.
    const std::size_t last = bars.size() - 1;
    for (std::size_t i = 0; i <= last; ++i) {
        std::string expected = "0";
        if (i < last) {
            expected = bars[i].close < bars[i + 1].close   ? "1"
                       : bars[i].close > bars[i + 1].close ? "-1"
                                                           : "0";
        }
        ASSERT_EQ(rows[i + 1], bars[i].date + "," + expected) << "row " << i;
    }
}

TEST_F(ZpkhostTest, RunFindsColumnsByNameInAnyCaseAndOrder) {
    // Closes 10, 11, 11, 9, 12 give 1, 0, -1, 1 (higher, equal, lower, higher) and 0 at the last
    // bar. The extra column is ignored, the blank line skipped, spaces around fields trimmed.
    std::string prices = writeFile("mixed.csv",
                                   "volume,CLOSE,Extra,date,High, low ,OPEN\n"
                                   "100,10,x,2024-03-01,10,10,10\n"
                                   "100, 11 ,x,2024-03-04,11,11,11\n"
                                   "\n"
                                   "100,11,x,2024-03-05,11,11,11\n"
                                   "100,9,x,2024-03-06,9,9,9\r\n"
                                   "100,12,x,2024-03-07,12,12,12\n");
    Outcome outcome = run({"run", modulePath("Ambrel"), "ambrelfunc", "--prices", prices});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out, "Date,AmbrelFunc\n2024-03-01,1\n2024-03-04,0\n2024-03-05,-1\n"
                           "2024-03-06,1\n2024-03-07,0\n");
}

// ---- run: arguments through Probe ----------------------------------------------------------

constexpr const char *kProbePrices =
    "Date,Open,High,Low,Close,Volume,OpenInterest\n"
    "2024-01-02,1,2,0.5,1.5,10,100\n"
    "2024-01-03,2,3,1.5,2.5,20,200\n"
    "2024-01-04,3,4,2.5,3.5,30,300\n";

// Probe's output: Series * Scale + Offset - Minus + length(Label), computed as the library does
// (the series and numbers as floats, the arithmetic in double, the result stored as a float).
float probeValue(float series, int scale, float offset, float minus, std::size_t labelLength) {
    return static_cast<float>(series * static_cast<double>(scale) + offset - minus +
                              static_cast<double>(labelLength));
}

struct ProbeCase {
    const char *what;
    std::vector<std::string> assignments;
    std::vector<float> series;  // the price series the case names, bars 0..2 of kProbePrices
    int scale;                  // the id of the custom string given
    float offset, minus;
    std::size_t labelLength;
};

TEST_F(ZpkhostTest, RunPassesEveryArgumentInTheRecordOfItsTypeInDeclaredOrder) {
    const std::vector<float> close = {1.5f, 2.5f, 3.5f};
    const std::vector<float> openInterest = {100, 200, 300};
    const std::vector<float> high = {2, 3, 4};
    const ProbeCase cases[] = {
        {"declared order", {"Offset=2.25", "Series=close", "Scale=Ten", "Label=abc", "Minus=0.5"},
         close, 10, 2.25f, 0.5f, 3},
        {"names and choices in any case and order",
         {"minus=0.5", "LABEL=abc", "scale=t", "series=CLOSE", "offset=2.25"}, close, 10, 2.25f, 0.5f, 3},
        {"open interest as series7", {"Offset=0", "Series=oi", "Scale=U", "Label=", "Minus=0"},
         openInterest, 1, 0, 0, 0},
        {"exact spelling of a custom string wins: k", {"Offset=0", "Series=high", "Scale=k", "Label=", "Minus=0"},
         high, 1000, 0, 0, 0},
        {"exact spelling of a custom string wins: K", {"Offset=0", "Series=high", "Scale=K", "Label=", "Minus=0"},
         high, 1024, 0, 0, 0},
        {"no exact spelling: any case", {"Offset=0", "Series=high", "Scale=HUNDRED", "Label=", "Minus=0"},
         high, 100, 0, 0, 0},
        {"a text in UTF-8 passed in Windows-1252: one byte for the sign",
         {"Offset=0", "Series=close", "Scale=U", "Label=\xC3\x97", "Minus=0"}, close, 1, 0, 0, 1},
        {"signs, exponents and digits a float rounds",
         {"Offset=+0.1", "Series=close", "Scale=Unit", "Label=a b=c", "Minus=-1e-3"}, close, 1, 0.1f, -1e-3f, 5},
    };
    std::string prices = writeFile("probe.csv", kProbePrices);
    for (const ProbeCase &c : cases) {
        std::vector<std::string> args = {"run", modulePath("Probe"), "ProbeArgs", "--prices", prices};
        args.insert(args.end(), c.assignments.begin(), c.assignments.end());
        Outcome outcome = run(args);
        ASSERT_EQ(outcome.status, 0) << c.what << ": " << outcome.err;
        EXPECT_EQ(outcome.err, "") << c.what;
        std::vector<std::string> rows = linesOf(outcome.out);
        ASSERT_EQ(rows.size(), 4u) << c.what;
        EXPECT_EQ(rows[0], "Date,ProbeArgs") << c.what;
        for (std::size_t bar = 0; bar < 3; ++bar) {
            std::vector<std::string> fields = fieldsOf(rows[bar + 1]);
            ASSERT_EQ(fields.size(), 2u) << c.what << ", bar " << bar;
            // Printed so that it reads back as exactly the float the function stored.
            float expected = probeValue(c.series[bar], c.scale, c.offset, c.minus, c.labelLength);
            EXPECT_EQ(bitsOf(std::strtof(fields[1].c_str(), nullptr)), bitsOf(expected))
                << c.what << ", bar " << bar << ": " << fields[1] << " against " << expected;
        }
    }
}

TEST_F(ZpkhostTest, RunPrintsFloatsInTheShortestTextThatReadsBack) {
    // close * 1 + 0.1 - 0 + 0 gives the floats nearest 1.6, 2.6, 3.6, which print as such; the
    // floats near a third need eight digits, the shortest text that reads back (%.9g would give
    // 0.333333343, 1.33333337, 2.33333325).
    std::string prices = writeFile("probe.csv", kProbePrices);
    Outcome outcome = run({"run", modulePath("Probe"), "ProbeArgs", "--prices", prices, "Offset=0.1",
                           "Series=close", "Scale=U", "Label=", "Minus=0"});
    EXPECT_EQ(outcome.out, "Date,ProbeArgs\n2024-01-02,1.6\n2024-01-03,2.6\n2024-01-04,3.6\n");
    outcome = run({"run", modulePath("Probe"), "ProbeArgs", "--prices", prices,
                   "Offset=0.333333333333", "Series=close", "Scale=U", "Label=", "Minus=1.5"});
    EXPECT_EQ(outcome.out, "Date,ProbeArgs\n2024-01-02,0.33333334\n2024-01-03,1.3333334\n"
                           "2024-01-04,2.3333333\n");
}

TEST_F(ZpkhostTest, AFailedCallPrintsItsErrorTextAndExits1) {
    std::string prices = writeFile("probe.csv", kProbePrices);
    Outcome outcome = run({"run", modulePath("Probe"), "ProbeArgs", "--prices", prices, "Offset=0",
                           "Series=close", "Scale=U", "Label=fail:Zu gro\xC3\x9F", "Minus=0"});
    // The message went in and came back through Windows-1252 (\xDF).
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "ProbeArgs failed: Zu gro\xC3\x9F\n");
}

// ---- run: plug-ins that break the rules ------------------------------------------------------

TEST_F(ZpkhostTest, ARangeBeyondTheBarsPrintsOnlyTheBarsAndUnwrittenEntriesShowAsNan) {
    // WideRange reports -3..N+5 and leaves the first bar unwritten.
    std::string prices = writeFile("probe.csv", kProbePrices);
    Outcome outcome = run({"run", modulePath("Misfit"), "WideRange", "--prices", prices});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "Date,WideRange\n2024-01-02,nan\n2024-01-03,2.5\n2024-01-04,3.5\n");
}

TEST_F(ZpkhostTest, AStatusOtherThanSuccessOrFailureIsAFailedCall) {
    std::string prices = writeFile("probe.csv", kProbePrices);
    Outcome outcome = run({"run", modulePath("Misfit"), "OddStatus", "--prices", prices});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "OddStatus returned status 7, which is neither success (0) nor failure (1)\n");
}

// ---- bad input -----------------------------------------------------------------------------

struct BadInputCase {
    const char *what;
    std::vector<std::string> args;  // @ambrel, @probe: module paths; @dir: the test's folder
    const char *message;            // what the one line on stderr must say
};

TEST_F(ZpkhostTest, BadInputGetsOneLineNamingWhatIsWrongAndExitStatus2) {
    writeFile("good.csv", "Date,Open,High,Low,Close,Volume\n2024-01-02,1,2,0.5,1.5,10\n2024-01-03,2,3,1.5,2.5,20\n");
    writeFile("short_row.csv",
              "Date,Open,High,Low,Close,Volume\n2024-01-02,1,2,0.5,1.5,10\n2024-01-03,2,3,1.5,2.5\n");
    writeFile("bad_price.csv", "Date,Open,High,Low,Close,Volume\n2024-01-02,1,2,0.5,1.5,10\n"
                               "2024-01-03,2,3,1.5,2.5,20\n2024-01-04,3,1O.5,2.5,3.5,30\n");
    writeFile("huge_price.csv", "Date,Open,High,Low,Close,Volume\n2024-01-02,1,2,0.5,1e39,10\n");
    writeFile("no_close.csv", "Date,Open,High,Low,Volume\n2024-01-02,1,2,0.5,15\n");
    writeFile("close_twice.csv", "Date,Open,High,Low,Close,Volume,close\n2024-01-02,1,2,0.5,1.5,10,1.5\n");
    writeFile("empty.csv", "");
    writeFile("header_only.csv", "Date,Open,High,Low,Close,Volume\n\n");
    const std::vector<std::string> probeRun = {"run", "@probe", "ProbeArgs", "--prices", "@dir/good.csv"};
    auto probe = [&](std::vector<std::string> assignments) {
        std::vector<std::string> args = probeRun;
        args.insert(args.end(), assignments.begin(), assignments.end());
        return args;
    };
    auto ambrel = [](const std::string &prices) {
        return std::vector<std::string>{"run", "@ambrel", "AmbrelFunc", "--prices", "@dir/" + prices};
    };

    const BadInputCase cases[] = {
        {"no command", {}, "zpkhost: A subcommand is required"},
        {"no --prices", {"run", "@ambrel", "AmbrelFunc"}, "zpkhost: --prices is required"},
        {"info: module does not load", {"info", "@dir/none.so"}, "zpkhost: cannot load module '"},
        {"run: module does not load", {"run", "@dir/none.so", "AmbrelFunc", "--prices", "@dir/good.csv"},
         "zpkhost: cannot load module '"},
        {"a file that is no module", {"info", "@dir/good.csv"}, "zpkhost: cannot load module '"},
        {"unknown function", {"run", "@ambrel", "Nope", "--prices", "@dir/good.csv"},
         "has no function 'Nope' (its functions: AmbrelFunc)"},
        {"argument to a function without arguments", {"run", "@ambrel", "AmbrelFunc", "--prices", "@dir/good.csv", "X=1"},
         "zpkhost: AmbrelFunc takes no arguments, but 'X' was given"},
        {"unknown argument name", probe({"Offset=1", "Series=close", "Scale=U", "Label=", "Minus=0", "Colour=red"}),
         "zpkhost: ProbeArgs has no argument 'Colour' (its arguments: Offset, Series, Scale, Label, Minus)"},
        {"missing arguments", probe({"Offset=1", "Series=close", "Scale=U"}),
         "zpkhost: ProbeArgs needs arguments Label, Minus (give each as NAME=VALUE)"},
        {"repeated argument", probe({"Offset=1", "Series=close", "Scale=U", "Label=", "Minus=0", "offset=2"}),
         "zpkhost: argument Offset of ProbeArgs is given twice"},
        {"not NAME=VALUE", probe({"10", "Series=close", "Scale=U", "Label=", "Minus=0"}),
         "zpkhost: '10' is not an argument of the form NAME=VALUE"},
        {"number that does not parse", probe({"Offset=ten", "Series=close", "Scale=U", "Label=", "Minus=0"}),
         "zpkhost: argument Offset of ProbeArgs: 'ten' is not a number"},
        {"number with trailing text", probe({"Offset=1.5x", "Series=close", "Scale=U", "Label=", "Minus=0"}),
         "zpkhost: argument Offset of ProbeArgs: '1.5x' is not a number"},
        {"number beyond a float", probe({"Offset=1e39", "Series=close", "Scale=U", "Label=", "Minus=0"}),
         "zpkhost: argument Offset of ProbeArgs: '1e39' is beyond the range of a 32-bit float"},
        {"no number", probe({"Offset=", "Series=close", "Scale=U", "Label=", "Minus=0"}),
         "zpkhost: argument Offset of ProbeArgs: '' is not a number"},
        {"custom string unknown", probe({"Offset=1", "Series=close", "Scale=Thousand", "Label=", "Minus=0"}),
         "zpkhost: argument Scale of ProbeArgs: 'Thousand' is none of its choices (Unit, U, Ten, T, Hundred, k, K)"},
        {"text Windows-1252 cannot hold", probe({"Offset=1", "Series=close", "Scale=U", "Label=\xE2\x86\x92", "Minus=0"}),
         "zpkhost: argument Label of ProbeArgs: '\xE2\x86\x92' is not UTF-8 text that Windows-1252 can hold"},
        {"series unknown", probe({"Offset=1", "Series=median", "Scale=U", "Label=", "Minus=0"}),
         "zpkhost: argument Series of ProbeArgs: 'median' is not a price series (open, high, low, close, volume, oi)"},
        {"oi without OpenInterest", probe({"Offset=1", "Series=oi", "Scale=U", "Label=", "Minus=0"}),
         "zpkhost: argument Series of ProbeArgs: oi names the open interest, but the price file has no OpenInterest column"},
        {"price file missing", ambrel("missing.csv"), "zpkhost: cannot open price file '"},
        {"row with too few fields", ambrel("short_row.csv"), "short_row.csv line 3: 5 fields where the header has 6"},
        {"non-numeric price", ambrel("bad_price.csv"), "bad_price.csv line 4: High '1O.5' is not a number"},
        {"price beyond a float", ambrel("huge_price.csv"),
         "huge_price.csv line 2: Close '1e39' is beyond the range of a 32-bit float"},
        {"column missing", ambrel("no_close.csv"), "no_close.csv line 1: the header has no Close column"},
        {"column twice", ambrel("close_twice.csv"), "close_twice.csv line 1: the header names column Close twice"},
        {"empty file", ambrel("empty.csv"), "empty.csv: the file is empty"},
        {"header and no rows", ambrel("header_only.csv"), "header_only.csv: no price rows after the header"},
    };
    for (const BadInputCase &c : cases) {
        std::vector<std::string> args;
        for (std::string arg : c.args) {
            if (arg == "@ambrel") arg = modulePath("Ambrel");
            if (arg == "@probe") arg = modulePath("Probe");
            if (arg.rfind("@dir/", 0) == 0) arg = (dir_ / arg.substr(5)).string();
            args.push_back(arg);
        }
        Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, 2) << c.what;
        EXPECT_EQ(outcome.out, "") << c.what;
        EXPECT_NE(outcome.err.find(c.message), std::string::npos)
            << c.what << ": stderr is '" << outcome.err << "'";
        EXPECT_EQ(linesOf(outcome.err).size(), 1u) << c.what << ": stderr is '" << outcome.err << "'";
        EXPECT_EQ(outcome.err.rfind("zpkhost: ", 0), 0u) << c.what << ": stderr is '" << outcome.err << "'";
    }
}

}  // namespace
}  // namespace zpk::test
