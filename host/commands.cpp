#include "commands.hpp"

#include "bar_span.hpp"
#include "binding.hpp"
#include "chart.hpp"
#include "check.hpp"
#include "evaluation.hpp"
#include "formula.hpp"
#include "input_error.hpp"
#include "library_set.hpp"
#include "price_file.hpp"
#include "report.hpp"
#include "text.hpp"
#include "whole_file.hpp"

#include <filesystem>
#include <sstream>

namespace zpk::host {

namespace {

// The function called `name` of one module: the one spelt exactly so, else the first that matches
// without regard to letter case, as a user types names.
const FunctionInfo &findFunction(const LoadedLibrary &library, const std::string &name) {
    const std::vector<FunctionInfo> &functions = library.info.functions;
    for (const FunctionInfo &function : functions) {
        if (function.name == name) return function;
    }
    for (const FunctionInfo &function : functions) {
        if (equalsIgnoringCase(function.name, name)) return function;
    }
    std::vector<std::string> names;
    for (const FunctionInfo &function : functions) names.push_back(function.name);
    throw InputError("module '" + library.path + "' has no function '" + name + "' (its functions: " +
                     joinNames(names) + ")");
}

// What a run works on: its modules, its prices and its bound calls.
struct RunPlan {
    LibrarySet libraries;
    PriceTable prices;
    std::vector<BoundCall> calls;
};

// MODULE FUNCTION NAME=VALUE...: one call, headed by the function's name.
void planAssignmentCall(const RunRequest &request, RunPlan &plan) {
    if (request.words.size() < 2) {
        throw InputError("run needs MODULE FUNCTION [NAME=VALUE ...], or --module MODULE and one "
                         "or more formulas");
    }
    const LoadedLibrary &library = plan.libraries.add(request.words[0]);
    const FunctionInfo &function = findFunction(library, request.words[1]);
    plan.prices = readPriceFile(request.pricesPath);
    const std::vector<std::string> assignments(request.words.begin() + 2, request.words.end());
    plan.calls.push_back(bindAssignments(library, function, assignments, plan.prices));
}

// --module MODULE... FORMULA...: one call per formula, functions looked up across the modules.
void planFormulaCalls(const RunRequest &request, RunPlan &plan) {
    if (request.words.empty()) throw InputError("run --module needs one or more formulas");
    std::vector<FormulaCall> formulas;
    for (const std::string &word : request.words) formulas.push_back(parseFormula(word));
    for (const std::string &path : request.modulePaths) plan.libraries.add(path);
    plan.prices = readPriceFile(request.pricesPath);
    for (const FormulaCall &formula : formulas) {
        plan.calls.push_back(bindFormula(formula, plan.libraries, plan.prices));
    }
}

std::string chartTitle(const RunRequest &request, const PriceTable &prices, BarSpan span) {
    return std::filesystem::path(request.pricesPath).filename().string() + "  \xC2\xB7  " +
           isoDate(prices.dateOfBar(span.first)) + " to " + isoDate(prices.dateOfBar(span.last)) + "  \xC2\xB7  " +
           std::to_string(span.count()) + " bars";
}

void writeChart(const RunRequest &request, const RunPlan &plan, BarSpan span,
                const std::vector<Evaluation> &evaluations) {
    std::vector<ChartSeries> series;
    for (std::size_t c = 0; c < plan.calls.size(); ++c) {
        series.push_back(ChartSeries{plan.calls[c].text, &evaluations[c].result});
    }
    writeWholeFile(request.chartPath,
                   renderChart(plan.prices, span, series, chartTitle(request, plan.prices, span)));
}

}  // namespace

ExitStatus showInfo(const InfoRequest &request, std::ostream &out) {
    LoadedLibrary library = loadLibrary(request.modulePath);
    writeLibraryInfo(out, library.info);
    return ExitSuccess;
}

ExitStatus runCalls(const RunRequest &request, std::ostream &out, std::ostream &err) {
    RunPlan plan;
    if (request.modulePaths.empty()) {
        planAssignmentCall(request, plan);
    } else {
        planFormulaCalls(request, plan);
    }
    const BarSpan span =
        request.range.empty() ? allBars(plan.prices) : barsInRange(plan.prices, request.range);

    std::vector<Evaluation> evaluations;
    for (const BoundCall &call : plan.calls) evaluations.push_back(evaluate(call, plan.prices));
    std::vector<OutputColumn> columns;
    bool allSucceeded = true;
    for (std::size_t c = 0; c < plan.calls.size(); ++c) {
        columns.push_back(OutputColumn{&plan.calls[c], &evaluations[c]});
        if (!evaluations[c].succeeded()) {
            err << evaluations[c].failure << '\n';
            allSucceeded = false;
        }
    }

    // Printed only once everything else is done, so that a chart that cannot be written leaves
    // no output behind.
    std::ostringstream table;
    if (request.format == OutputFormat::Json) {
        writeJson(table, request.pricesPath, plan.prices, span, columns);
    } else if (allSucceeded) {
        writeCsv(table, plan.prices, span, columns);
    }
    if (allSucceeded && !request.chartPath.empty()) writeChart(request, plan, span, evaluations);
    out << table.str();
    return allSucceeded ? ExitSuccess : ExitCalculationFailed;
}

ExitStatus checkModules(const CheckRequest &request, std::ostream &out) {
    // Every module is checked before anything is printed: one that does not load stops the run
    // with nothing printed.
    bool allConform = true;
    std::ostringstream lines;
    for (const std::string &path : request.modulePaths) {
        CheckReport report = checkModule(path);
        for (const std::string &violation : report.violations) lines << path << ": " << violation << '\n';
        lines << path << ": " << summaryOf(report) << '\n';
        allConform = allConform && report.violations.empty();
    }
    out << lines.str();
    return allConform ? ExitSuccess : ExitCalculationFailed;
}

}  // namespace zpk::host
