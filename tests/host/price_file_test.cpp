// Price files as they come from the real world: read by zpkhost run and shown back through Probe,
// whose ProbeArgs(0, SERIES, U, "", 0) is SERIES itself over SERIES' valid range, so that each
// series' values and range can be read off the output.
#include "zpkhost_runner.hpp"

#include <string>
#include <vector>

namespace zpk::test {
namespace {

std::vector<std::string> echo(const std::string &prices, const std::vector<std::string> &series) {
    std::vector<std::string> args = {"run", "--module", "@Probe", "--prices", prices};
    for (const std::string &name : series) args.push_back("ProbeArgs(0, " + name + ", U, \"\", 0)");
    return args;
}

struct PriceFileCase {
    const char *what;
    std::string content;
    std::vector<std::string> series;  // the series to echo
    std::string expected;             // zpkhost's CSV
};

TEST_F(ZpkhostTest, PriceFilesInTheFormsTheyComeIn) {
    const std::string echoClose = "Date,\"ProbeArgs(0, close, U, \"\"\"\", 0)\"\n";
    const PriceFileCase cases[] = {
        {"semicolons with decimal commas, a byte order mark, CRLF, names in any case and order, "
         "MM/DD/YYYY dates, \"Open Interest\" for OpenInterest",
         "\xEF\xBB\xBF" "close;DATE;Open Interest;high;Low;open;VOLUME\r\n"
         "101,25;1/2/2024;7;102;100;100,5;1000\r\n"
         "102,5;01/03/2024;8;103;101;101;1100\r\n",
         {"close", "oi"},
         "Date,\"ProbeArgs(0, close, U, \"\"\"\", 0)\",\"ProbeArgs(0, oi, U, \"\"\"\", 0)\"\n"
         "2024-01-02,101.25,7\n2024-01-03,102.5,8\n"},
        {"YYYYMMDD dates, newest first: the bars are turned round",
         "Date,Open,High,Low,Close,Volume\n"
         "20240105,3,3,3,3,30\n20240104,2,2,2,2,20\n20240103,1,1,1,1,10\n",
         {"close"},
         echoClose + "2024-01-03,1\n2024-01-04,2\n2024-01-05,3\n"},
        {"quoted fields, one of them holding the separator",
         "\"Date\",\"Open\",\"High\",\"Low\",\"Close\",\"Volume\",\"Note\"\n"
         "\"2024-01-02\",\"1\",\"2\",\"0.5\",\"1.5\",\"10\",\"a, b\"\n",
         {"close"},
         echoClose + "2024-01-02,1.5\n"},
        {"blank cells at the start of Volume and the end of OpenInterest: their ranges start and "
         "end there",
         "Date,Open,High,Low,Close,Volume,OpenInterest\n"
         "2024-01-02,1,1,1,1,,5\n2024-01-03,2,2,2,2,,6\n2024-01-04,3,3,3,3,30,7\n"
         "2024-01-05,4,4,4,4,40,\n",
         {"volume", "oi"},
         "Date,\"ProbeArgs(0, volume, U, \"\"\"\", 0)\",\"ProbeArgs(0, oi, U, \"\"\"\", 0)\"\n"
         "2024-01-02,,5\n2024-01-03,,6\n2024-01-04,30,7\n2024-01-05,40,\n"},
        {"no Volume column at all", "Date,Open,High,Low,Close\n2024-01-02,1,2,0.5,1.5\n", {"close"},
         echoClose + "2024-01-02,1.5\n"},
        {"February 29th of leap years, 2000 among them",
         "Date,Open,High,Low,Close\n02/29/2000,1,1,1,1\n2024-02-29,2,2,2,2\n", {"close"},
         echoClose + "2000-02-29,1\n2024-02-29,2\n"},
    };
    for (const PriceFileCase &c : cases) {
        const std::string prices = writeFile("prices.csv", c.content);
        Outcome outcome = run(echo(prices, c.series));
        EXPECT_EQ(outcome.status, 0) << c.what << ": " << outcome.err;
        EXPECT_EQ(outcome.err, "") << c.what;
        EXPECT_EQ(outcome.out, c.expected) << c.what;
    }
}

struct BadPriceFileCase {
    const char *what;
    std::string content;
    std::string series;
    const char *message;  // what the one line on stderr must hold
};

TEST_F(ZpkhostTest, PriceFileFaultsAreNamedWithTheirLine) {
    const std::string header = "Date,Open,High,Low,Close,Volume\n";
    const BadPriceFileCase cases[] = {
        {"a blank cell between values", header + "2024-01-02,1,1,1,1,10\n2024-01-03,2,2,2,2,\n2024-01-04,3,3,3,3,30\n",
         "close", "prices.csv line 3: the Volume cell is blank between Volume values"},
        {"a blank price between values", header + "2024-01-02,1,1,1,1,10\n2024-01-03,2,2,2,,20\n2024-01-04,3,3,3,3,30\n",
         "close", "prices.csv line 3: the Close cell is blank between Close values"},
        {"a month that does not exist", header + "2024-01-02,1,1,1,1,10\n2024-13-01,2,2,2,2,20\n", "close",
         "prices.csv line 3: Date '2024-13-01' is not a date (YYYY-MM-DD, YYYYMMDD or MM/DD/YYYY)"},
        {"a day the month does not have", header + "02/30/2024,1,1,1,1,10\n", "close",
         "prices.csv line 2: Date '02/30/2024' is not a date"},
        {"February 29th of a year that is no leap year", header + "2023-02-29,1,1,1,1,10\n", "close",
         "prices.csv line 2: Date '2023-02-29' is not a date"},
        {"February 29th of a century that is no leap year", header + "19000229,1,1,1,1,10\n", "close",
         "prices.csv line 2: Date '19000229' is not a date"},
        {"a date out of order", header + "2024-01-02,1,1,1,1,10\n2024-01-04,2,2,2,2,20\n2024-01-03,3,3,3,3,30\n",
         "close", "prices.csv line 4: Date 2024-01-03 breaks the order of the rising dates before it"},
        {"a date twice", header + "2024-01-02,1,1,1,1,10\n2024-01-02,2,2,2,2,20\n", "close",
         "prices.csv line 3: Date 2024-01-02 repeats the date before it"},
        {"volume named, but the file has none", "Date,Open,High,Low,Close\n2024-01-02,1,2,0.5,1.5\n", "volume",
         "volume names the volumes, but the price file has no Volume column"},
    };
    for (const BadPriceFileCase &c : cases) {
        const std::string prices = writeFile("prices.csv", c.content);
        Outcome outcome = run(echo(prices, {c.series}));
        EXPECT_EQ(outcome.status, 2) << c.what;
        EXPECT_EQ(outcome.out, "") << c.what;
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << c.what << ": stderr is '" << outcome.err << "'";
        EXPECT_EQ(linesOf(outcome.err).size(), 1u) << c.what << ": stderr is '" << outcome.err << "'";
    }
}

}  // namespace
}  // namespace zpk::test
