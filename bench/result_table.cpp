#include "result_table.hpp"

#include "heap_tally.hpp"
#include "price_series.hpp"

#include <cstdio>
#include <memory>
#include <utility>

namespace zpkbench {
namespace {

enum class RowKind { Heading, Pair, Single };

struct Row {
    RowKind kind;
    std::string name;
    std::string reference;
    int units = 1;
    std::string unit;
};

// The rows in the order they were added; filled while registering, before any benchmark runs.
std::vector<Row> &rows() {
    static std::vector<Row> list;
    return list;
}

// Registers `name`: one call of `compute` per iteration, and the heap bytes one call obtains.
void registerComputation(const std::string &name, Computation compute) {
    auto shared = std::make_shared<Computation>(std::move(compute));
    benchmark::RegisterBenchmark(name.c_str(), [shared](benchmark::State &state) {
        std::size_t heapBytes;
        {
            HeapTally tally;
            (*shared)();
            heapBytes = tally.bytes();
        }
        for (auto _ : state) {
            (*shared)();
            benchmark::ClobberMemory();
        }
        state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                                static_cast<std::int64_t>(kBars));
        state.counters["heap_bytes"] = static_cast<double>(heapBytes);
    })->Unit(benchmark::kMillisecond);
}

std::string literalName(const std::string &row) { return row + "/literal"; }
std::string fastName(const std::string &row) { return row + "/fast"; }

std::string bytesText(double bytes) {
    char text[32];
    if (bytes >= 1024.0 * 1024.0) {
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
    } else if (bytes >= 1024.0) {
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
    } else {
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    }
    return text;
}

std::string number(double value, const char *format) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string nsText(double ns) { return number(ns, ns < 10.0 ? "%.3f" : ns < 100.0 ? "%.2f" : "%.0f"); }

}  // namespace

void addPair(const std::string &row, Computation literal, Computation fast) {
    rows().push_back(Row{RowKind::Pair, row, ""});
    registerComputation(literalName(row), std::move(literal));
    registerComputation(fastName(row), std::move(fast));
}

void addSingle(const std::string &row, Computation compute, const std::string &reference, int units,
               const std::string &unit) {
    rows().push_back(Row{RowKind::Single, row, reference, units, unit});
    registerComputation(row, std::move(compute));
}

void addHeading(const std::string &heading) { rows().push_back(Row{RowKind::Heading, heading, ""}); }

void TableReporter::ReportRuns(const std::vector<Run> &runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
        if (run.error_occurred) continue;
        const bool median = run.run_type == Run::RT_Aggregate;
        if (median && run.aggregate_name != "median") continue;
        Measured &m = measured_[run.run_name.function_name];
        if (m.median && !median) continue;  // a median, once there, wins over single repetitions
        const double ns = run.GetAdjustedCPUTime() * 1e9 /
                          benchmark::GetTimeUnitMultiplier(run.time_unit);
        m.nsPerBar = ns / static_cast<double>(kBars);
        const auto heap = run.counters.find("heap_bytes");
        m.heapBytes = heap != run.counters.end() ? static_cast<double>(heap->second) : 0.0;
        m.median = median;
    }
}

void TableReporter::printTable(std::ostream &out) const {
    auto find = [this](const std::string &name) -> const Measured * {
        const auto it = measured_.find(name);
        return it == measured_.end() ? nullptr : &it->second;
    };
    out << "\nCPU time per bar over " << kBars << " bars"
        << (measured_.empty() || !measured_.begin()->second.median ? "" : ", medians of the repetitions")
        << "; heap: bytes obtained by one call\n\n";
    out << "| computation | literal ns/bar | fast ns/bar | literal / fast | heap, literal | heap, fast |\n";
    out << "|---|---:|---:|---:|---:|---:|\n";
    for (const Row &row : rows()) {
        if (row.kind == RowKind::Heading) {
            out << "| **" << row.name << "** | | | | | |\n";
            continue;
        }
        if (row.kind == RowKind::Pair) {
            const Measured *literal = find(literalName(row.name));
            const Measured *fast = find(fastName(row.name));
            if (literal == nullptr || fast == nullptr) continue;
            out << "| " << row.name << " | " << nsText(literal->nsPerBar) << " | " << nsText(fast->nsPerBar)
                << " | " << number(literal->nsPerBar / fast->nsPerBar, "%.1f") << " | "
                << bytesText(literal->heapBytes) << " | " << bytesText(fast->heapBytes) << " |\n";
            continue;
        }
        const Measured *single = find(row.name);
        if (single == nullptr) continue;
        const Measured *reference = row.reference.empty() ? nullptr : find(row.reference);
        std::string ratio;
        if (reference != nullptr) {
            const double multiple = single->nsPerBar / reference->nsPerBar;
            ratio = number(multiple, "%.1f") + " x " + row.reference;
            if (row.units > 1) {
                ratio += ", " + number(multiple / row.units, "%.1f") + " x per " + row.unit;
            }
        }
        out << "| " << row.name << " | | " << nsText(single->nsPerBar) << " | " << ratio << " | | "
            << bytesText(single->heapBytes) << " |\n";
    }
}

}  // namespace zpkbench
