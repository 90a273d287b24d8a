#include "heap_tally.hpp"

#include <cstdlib>
#include <new>

namespace zpkbench {
namespace {

// Per thread, so that the benchmark library's own threads (if any) never mix in.
thread_local std::size_t allocatedBytes = 0;
thread_local bool counting = false;

void *allocate(std::size_t size) {
    if (counting) {
        allocatedBytes += size;
    }
    void *p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

void *allocateOrNull(std::size_t size) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

}  // namespace

HeapTally::HeapTally() : start_(allocatedBytes), outerCounting_(counting) { counting = true; }

HeapTally::~HeapTally() { counting = outerCounting_; }

std::size_t HeapTally::bytes() const { return allocatedBytes - start_; }

}  // namespace zpkbench

void *operator new(std::size_t size) { return zpkbench::allocate(size); }
void *operator new[](std::size_t size) { return zpkbench::allocate(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    return zpkbench::allocateOrNull(size);
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
    return zpkbench::allocateOrNull(size);
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }
