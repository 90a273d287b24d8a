// How the benchmarks are registered in rows of one table, and the reporter that prints the usual
// output and then the table: nanoseconds per bar (medians when repeated), ratios and heap bytes.
#ifndef ZPK_BENCH_RESULT_TABLE_HPP
#define ZPK_BENCH_RESULT_TABLE_HPP

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace zpkbench {

using Computation = std::function<void()>;

// A row that compares the literal form of a computation with its fast one.
void addPair(const std::string &row, Computation literal, Computation fast);

// A row of one computation; with a reference row, the table shows the time as a multiple of the
// reference's time (the one-pass functions against a plain copy). A computation that does the
// reference's work `units` times over (SumArrays: once per letter) also shows the multiple per
// `unit`.
void addSingle(const std::string &row, Computation compute, const std::string &reference = "",
               int units = 1, const std::string &unit = "");

// A line of text between the rows of the table.
void addHeading(const std::string &heading);

class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override;
    void printTable(std::ostream &out) const;

private:
    struct Measured {
        double nsPerBar = 0;
        double heapBytes = 0;
        bool median = false;
    };
    std::map<std::string, Measured> measured_;  // by benchmark name: row/literal, row/fast, row
};

}  // namespace zpkbench

#endif
