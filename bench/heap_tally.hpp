// Counting the heap memory a computation obtains: the program replaces the global allocation
// functions, so every allocation of the libraries' code linked into it is seen.
#ifndef ZPK_BENCH_HEAP_TALLY_HPP
#define ZPK_BENCH_HEAP_TALLY_HPP

#include <cstddef>

namespace zpkbench {

// The bytes allocated on this thread between construction and bytes(). The computations keep
// every allocation until they return, so the total is also their peak.
class HeapTally {
public:
    HeapTally();
    ~HeapTally();
    HeapTally(const HeapTally &) = delete;
    HeapTally &operator=(const HeapTally &) = delete;

    std::size_t bytes() const;

private:
    std::size_t start_;
    bool outerCounting_;
};

}  // namespace zpkbench

#endif
