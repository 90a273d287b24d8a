// The benchmarks of each library, registered in the order of the table.
#ifndef ZPK_BENCH_BENCHMARKS_HPP
#define ZPK_BENCH_BENCHMARKS_HPP

namespace zpkbench {

void registerBrevaneBenchmarks();
void registerZenobarBenchmarks();

}  // namespace zpkbench

#endif
