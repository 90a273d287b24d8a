// zpk_bench: every benchmark in one run, then the table of nanoseconds per bar and ratios.
#include "benchmarks.hpp"
#include "result_table.hpp"

#include <benchmark/benchmark.h>

#include <iostream>

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    zpkbench::registerBrevaneBenchmarks();
    zpkbench::registerZenobarBenchmarks();
    zpkbench::TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printTable(std::cout);
    benchmark::Shutdown();
    return 0;
}
