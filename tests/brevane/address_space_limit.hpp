// Lowers the process's address-space limit for one test, so that large scratch allocations fail
// the way they do on a host that has run out of memory. Linux only; where the limit is not enforced
// (emulators pass it by), enforced() is false and the test is skipped.
#ifndef BREVANE_TESTS_ADDRESS_SPACE_LIMIT_HPP
#define BREVANE_TESTS_ADDRESS_SPACE_LIMIT_HPP

#include <cstddef>

#if defined(__linux__)
#include <fstream>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace zpk::test {

class AddressSpaceLimit {
public:
    // Allows `headroom` bytes beyond what the process maps now.
    explicit AddressSpaceLimit(std::size_t headroom) {
        if (getrlimit(RLIMIT_AS, &saved_) != 0) return;
        std::size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        if (pages == 0) return;
        rlimit lowered = saved_;
        lowered.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + headroom;
        if (setrlimit(RLIMIT_AS, &lowered) != 0) return;
        active_ = true;
        void *probe = mmap(nullptr, 2 * headroom, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        enforced_ = probe == MAP_FAILED;
        if (!enforced_) munmap(probe, 2 * headroom);
    }
    ~AddressSpaceLimit() {
        if (active_) setrlimit(RLIMIT_AS, &saved_);
    }
    AddressSpaceLimit(const AddressSpaceLimit &) = delete;
    AddressSpaceLimit &operator=(const AddressSpaceLimit &) = delete;

    bool enforced() const { return enforced_; }

private:
    rlimit saved_{};
    bool active_ = false;
    bool enforced_ = false;
};

}  // namespace zpk::test
#else
namespace zpk::test {
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(std::size_t) {}
    bool enforced() const { return false; }
};
}  // namespace zpk::test
#endif

#endif
