// What zpkhost run prints and writes: CSV or JSON on stdout, the bars of --range only, and files
// (the chart) written only by a run that succeeded.
#include "zpkhost_runner.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace zpk::test {
namespace {

namespace fs = std::filesystem;

// A path as a JSON string holds it (Windows paths have backslashes).
std::string inJson(const std::string &path) {
    std::string escaped;
    for (char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

constexpr const char *kPrices =
    "Date,Open,High,Low,Close,Volume\n"
    "2024-01-02,1,2,0.5,1.5,10\n"
    "2024-01-03,2,3,1.5,2.5,20\n"
    "2024-01-04,3,4,2.5,3.5,30\n"
    "2024-01-05,4,5,3.5,4.5,40\n";

TEST_F(ZpkhostTest, JsonHasOneObjectPerCallWithItsRangeStatusAndValues) {
    // Volume has blank cells at the start, so the echo of volume reports bars 3..4 (bar 1 is the
    // first row), the label a"b adds 3; WideRange reports -3..9 and leaves its first bar unwritten, which JSON shows as
    // null (NaN has no JSON form).
    const std::string prices = writeFile("prices.csv",
                                         "Date,Open,High,Low,Close,Volume\n"
                                         "2024-01-02,1,2,0.5,1.5,\n"
                                         "2024-01-03,2,3,1.5,2.5,\n"
                                         "2024-01-04,3,4,2.5,3.5,30\n"
                                         "2024-01-05,4,5,3.5,4.5,40\n");
    Outcome outcome = run({"run", "--prices", prices, "--module", "@Probe", "--module", "@Misfit", "--format", "json",
                           "--range", "2024-01-03:", "ProbeArgs(0, volume, U, \"a\"\"b\", 0)", "WideRange"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.out,
              "{\n"
              "  \"prices\": \"" + inJson(prices) + "\",\n"
              "  \"dates\": [\"2024-01-03\", \"2024-01-04\", \"2024-01-05\"],\n"
              "  \"calls\": [\n"
              "    {\n"
              "      \"call\": \"ProbeArgs(0, volume, U, \\\"a\\\"\\\"b\\\", 0)\",\n"
              "      \"function\": \"ProbeArgs\",\n"
              "      \"module\": \"" + inJson(modulePath("Probe")) + "\",\n"
              "      \"status\": 0,\n"
              "      \"range\": {\"firstValid\": 3, \"lastValid\": 4, \"from\": \"2024-01-04\", \"to\": \"2024-01-05\"},\n"
              "      \"values\": [null, 33, 43]\n"
              "    },\n"
              "    {\n"
              "      \"call\": \"WideRange\",\n"
              "      \"function\": \"WideRange\",\n"
              "      \"module\": \"" + inJson(modulePath("Misfit")) + "\",\n"
              "      \"status\": 0,\n"
              "      \"range\": {\"firstValid\": -3, \"lastValid\": 9, \"from\": \"2024-01-02\", \"to\": \"2024-01-05\"},\n"
              "      \"values\": [2.5, 3.5, 4.5]\n"
              "    }\n"
              "  ]\n"
              "}\n");
}

TEST_F(ZpkhostTest, JsonShowsAFailedCallWithItsStatusAndMessageAndExits1) {
    const std::string prices = writeFile("prices.csv", kPrices);
    Outcome outcome = run({"run", "--prices", prices, "--module", "@Probe", "--format", "JSON", "--range", ":2024-01-02",
                           "ProbeArgs(0, close, U, \"fail:no\", 0)"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "ProbeArgs(0, close, U, \"fail:no\", 0) failed: no\n");
    EXPECT_NE(outcome.out.find("      \"status\": 1,\n"
                               "      \"error\": \"ProbeArgs(0, close, U, \\\"fail:no\\\", 0) failed: no\",\n"
                               "      \"range\": {\"firstValid\": 0, \"lastValid\": -1, \"from\": null, \"to\": null},\n"
                               "      \"values\": [null]\n"),
              std::string::npos)
        << outcome.out;
}

struct RangeCase {
    const char *range;
    std::vector<std::string> dates;  // the rows printed
};

TEST_F(ZpkhostTest, RangePrintsTheBarsBetweenItsDatesInAnyDateForm) {
    const RangeCase cases[] = {
        {"2024-01-03:2024-01-04", {"2024-01-03", "2024-01-04"}},
        {"20240104:", {"2024-01-04", "2024-01-05"}},
        {":01/02/2024", {"2024-01-02"}},
        {"2023-12-01:2024-01-02", {"2024-01-02"}},
        {"2024-01-03:2024-01-03", {"2024-01-03"}},
        {":", {"2024-01-02", "2024-01-03", "2024-01-04", "2024-01-05"}},
    };
    const std::string prices = writeFile("prices.csv", kPrices);
    for (const RangeCase &c : cases) {
        Outcome outcome = run({"run", "@Ambrel", "AmbrelFunc", "--prices", prices, "--range", c.range});
        ASSERT_EQ(outcome.status, 0) << c.range << ": " << outcome.err;
        std::vector<std::string> lines = linesOf(outcome.out);
        ASSERT_EQ(lines.size(), c.dates.size() + 1) << c.range << "\n" << outcome.out;
        // The values are those of the whole run: the range only chooses what is printed.
        for (std::size_t i = 0; i < c.dates.size(); ++i) {
            EXPECT_EQ(lines[i + 1], c.dates[i] + (c.dates[i] == "2024-01-05" ? ",0" : ",1")) << c.range;
        }
    }
}

struct BadOptionCase {
    std::vector<std::string> options;
    const char *message;
};

TEST_F(ZpkhostTest, ABadRangeOrFormatIsNamedAndExits2) {
    const std::string prices = writeFile("prices.csv", kPrices);
    const BadOptionCase cases[] = {
        {{"--range", "2024-01-03"}, "--range 2024-01-03 is not of the form FROM:TO (either may be empty)"},
        {{"--range", "2024-01-32:"}, "--range 2024-01-32:: '2024-01-32' is not a date (YYYY-MM-DD, YYYYMMDD or MM/DD/YYYY)"},
        {{"--range", "2024-01-04:2024-01-03"}, "--range 2024-01-04:2024-01-03 ends before it starts"},
        {{"--range", "2025-01-01:"},
         "--range 2025-01-01: holds no bar of the price file (its bars run from 2024-01-02 to 2024-01-05)"},
        {{"--format", "xml"}, "--format: xml not in {csv,json}"},
    };
    for (const BadOptionCase &c : cases) {
        std::vector<std::string> args = {"run", "@Ambrel", "AmbrelFunc", "--prices", prices};
        args.insert(args.end(), c.options.begin(), c.options.end());
        Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, 2) << c.message;
        EXPECT_EQ(outcome.out, "") << c.message;
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << "stderr is '" << outcome.err << "'";
        EXPECT_EQ(linesOf(outcome.err).size(), 1u) << "stderr is '" << outcome.err << "'";
    }
}

TEST_F(ZpkhostTest, AChartIsWrittenOnlyByARunThatSucceeded) {
    const std::string prices = writeFile("prices.csv", kPrices);
    const std::string chart = pathIn("chart.svg");
    Outcome failed = run({"run", "--prices", prices, "--module", "@Probe", "--chart", chart,
                          "ProbeArgs(0, close, U, \"\", 0)", "ProbeArgs(0, close, U, \"fail:no\", 0)"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_FALSE(fs::exists(chart));

    // A chart that cannot be written leaves nothing printed either.
    Outcome unwritable = run({"run", "--prices", prices, "--module", "@Probe", "--chart",
                              pathIn("no such folder/chart.svg"), "ProbeArgs(0, close, U, \"\", 0)"});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_EQ(unwritable.out, "");
    EXPECT_NE(unwritable.err.find("cannot write '"), std::string::npos) << unwritable.err;

    // An existing file is replaced whole, and no temporary file stays behind.
    writeFile("chart.svg", "old");
    Outcome written = run({"run", "--prices", prices, "--module", "@Probe", "--chart", chart,
                           "ProbeArgs(0, close, U, \"\", 0)"});
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(readText(chart).rfind("<?xml", 0), 0u);
    std::size_t files = 0;
    for (const fs::directory_entry &entry : fs::directory_iterator(dir_)) {
        files += entry.path().filename().string().rfind("chart.svg", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(files, 1u);
}

}  // namespace
}  // namespace zpk::test
