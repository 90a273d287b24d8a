#include "channel_sweep.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

namespace brevane {
namespace {

using Bar = std::int64_t;

// The depth of a bar's window, as the walk takes it: a bar beyond the period array has period 0.
int32 depthOfBar(const float32 *periods, std::size_t periodCount, const LookBackLengths &lengths,
                 Bar bar) {
    const auto index = static_cast<std::size_t>(bar);
    return lookBackDepth(lengths, index < periodCount ? periods[index] : 0.0f);
}

int32 deepestWindow(const DataArrayRec &series, const float32 *periods, std::size_t periodCount,
                    const LookBackLengths &lengths) {
    int32 deepest = 1;
    for (Bar bar = series.firstValid; bar <= series.lastValid; ++bar) {
        deepest = std::max(deepest, depthOfBar(periods, periodCount, lengths, bar));
    }
    return deepest;
}

// The index of the lowest set bit of a non-zero word, by de Bruijn multiplication (standard C++,
// the same on every target).
class LowestBit {
public:
    constexpr LowestBit() : index_() {
        for (int bit = 0; bit < 64; ++bit) {
            index_[((std::uint64_t{1} << bit) * kDeBruijn) >> 58] = static_cast<unsigned char>(bit);
        }
    }
    int operator()(std::uint64_t word) const { return index_[((word & (~word + 1)) * kDeBruijn) >> 58]; }

private:
    static constexpr std::uint64_t kDeBruijn = 0x03F79D71B4CB0A89u;
    unsigned char index_[64];
};
constexpr LowestBit kLowestBit;

// Bars of a ring of a power-of-two size (at least 64), each set or clear, with a summary bit for
// every word of 64 bars: the first set bar of a stretch is found in a few word operations.
class BarBits {
public:
    explicit BarBits(std::size_t capacity)
        : mask_(capacity - 1), words_(capacity / 64), summary_((words_.size() + 63) / 64) {}

    void set(Bar bar) {
        const std::size_t word = slot(bar) / 64;
        words_[word] |= std::uint64_t{1} << (slot(bar) % 64);
        summary_[word / 64] |= std::uint64_t{1} << (word % 64);
    }
    void clear(Bar bar) {
        const std::size_t word = slot(bar) / 64;
        words_[word] &= ~(std::uint64_t{1} << (slot(bar) % 64));
        if (words_[word] == 0) {
            summary_[word / 64] &= ~(std::uint64_t{1} << (word % 64));
        }
    }

    // The first set bar from `first` to `last` (at most the ring's size apart), or last + 1.
    Bar firstSetFrom(Bar first, Bar last) const {
        const std::size_t from = slot(first);
        const std::size_t to = slot(last);
        if (from <= to) {
            return barAt(first, from, firstSetSlot(from, to));
        }
        // The stretch wraps around the end of the ring.
        const std::size_t end = mask_;
        const std::size_t inTail = firstSetSlot(from, end);
        if (inTail <= end) {
            return barAt(first, from, inTail);
        }
        const Bar wrapped = first + static_cast<Bar>(end - from) + 1;  // the bar of slot 0
        return barAt(wrapped, 0, firstSetSlot(0, to));
    }

private:
    std::size_t slot(Bar bar) const { return static_cast<std::size_t>(bar) & mask_; }

    // The bar of slot `found`, counted from `bar` in slot `from`; a slot past the stretch stays past.
    static Bar barAt(Bar bar, std::size_t from, std::size_t found) {
        return bar + static_cast<Bar>(found - from);
    }

    // The first set slot from `from` to `to` (from <= to), or a slot beyond `to`.
    std::size_t firstSetSlot(std::size_t from, std::size_t to) const {
        const std::size_t word = from / 64;
        const std::uint64_t here = words_[word] & (~std::uint64_t{0} << (from % 64));
        if (here != 0) {
            return std::min(word * 64 + static_cast<std::size_t>(kLowestBit(here)), to + 1);
        }
        for (std::size_t next = word + 1; next * 64 <= to; next = (next / 64 + 1) * 64) {
            const std::uint64_t words = summary_[next / 64] & (~std::uint64_t{0} << (next % 64));
            if (words != 0) {
                const std::size_t found = (next / 64) * 64 + static_cast<std::size_t>(kLowestBit(words));
                return std::min(found * 64 + static_cast<std::size_t>(kLowestBit(words_[found])), to + 1);
            }
        }
        return to + 1;
    }

    std::size_t mask_;
    std::vector<std::uint64_t> words_;
    std::vector<std::uint64_t> summary_;
};

// The candidates that a window's walk may still keep. Two rules hold between the bars pushed so far:
//  - every candidate replaces each later candidate (it would take over the running value from it);
//  - every bar that is not a candidate has a newer pushed bar that it does not replace (or is a
//    NaN, which replaces nothing).
// So the candidate the walk keeps over bars `oldest` .. the newest bar pushed, met newest first, is
// the first candidate at or after `oldest`: it replaces every later candidate, and every other bar
// there keeps its place against a newer bar, and so against the candidate that newer bar loses to
// (the walk's order is a total one on non-NaN floats, equal values included).
//
// The candidates form a stack, newest on top: a pushed bar removes from the top those that do not
// replace it. They are also the set bars of a ring of bits, where the first candidate at or after
// a bar is found in constant time whatever the shape of the prices. A window never spans more bars
// than the deepest one, so bars live in rings of a power-of-two size above that, indexed by bar.
class CandidateStack {
public:
    CandidateStack(Extreme extreme, std::size_t capacity)
        : extreme_(extreme), mask_(capacity - 1), stack_(capacity), value_(capacity), bits_(capacity) {}

    // The walk meets the newer of two bars first and keeps it unless the older one replaces it; a
    // NaN replaces nothing, so it is never a candidate.
    void push(Bar bar, float32 value) {
        if (std::isnan(value)) {
            return;
        }
        while (size_ > 0 && !replaces(extreme_, value, value_[slot(top())])) {
            bits_.clear(top());
            --size_;
        }
        stack_[(head_ + size_) & mask_] = static_cast<int32>(bar);
        ++size_;
        value_[slot(bar)] = value;
        bits_.set(bar);
    }

    // The value of the first candidate from `oldest` to `newest` (the newest bar pushed), or null
    // when there is none.
    const float32 *keptFrom(Bar oldest, Bar newest) const {
        const Bar found = bits_.firstSetFrom(oldest, newest);
        return found <= newest ? &value_[slot(found)] : nullptr;
    }

    // Forgets the candidates of bars before `bar`, which no window reaches any more, before their
    // slots serve newer bars.
    void dropBefore(Bar bar) {
        while (size_ > 0 && stack_[head_] < bar) {
            bits_.clear(stack_[head_]);
            head_ = (head_ + 1) & mask_;
            --size_;
        }
    }

private:
    std::size_t slot(Bar bar) const { return static_cast<std::size_t>(bar) & mask_; }
    Bar top() const { return stack_[(head_ + size_ - 1) & mask_]; }

    Extreme extreme_;
    std::size_t mask_;
    std::vector<int32> stack_;    // the candidates' bars, oldest at head_
    std::vector<float32> value_;  // by bar: a candidate's value
    BarBits bits_;                // by bar: set for a candidate
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

// A power of two above the most bars a window spans, the deepest window (and no more bars than the
// series has), with one to spare. Zero if it cannot be had here.
std::size_t stackCapacity(int32 deepest, Bar lastBar) {
    const std::uint64_t needed = static_cast<std::uint64_t>(std::min<Bar>(deepest, lastBar)) + 2;
    std::uint64_t capacity = 64;
    while (capacity < needed) {
        capacity <<= 1;
    }
    if (capacity > std::numeric_limits<std::size_t>::max() / sizeof(int32)) {
        return 0;
    }
    return static_cast<std::size_t>(capacity);
}

void sweepWithStack(const ChannelTwin &twin, const DataArrayRec &series, const float32 *periods,
                    std::size_t periodCount, const LookBackLengths &lengths, int32 deepest,
                    CandidateStack &stack, float32 *out) {
    const Bar firstOffset = series.firstValid;
    for (Bar bar = series.firstValid; bar <= series.lastValid; ++bar) {
        // Offsets j from FS up to the depth, and below the bar: bars bar - FS down to
        // max(bar - depth, 1). Bar 0 is never read.
        const Bar newest = bar - firstOffset;
        if (newest >= 1) {
            stack.push(newest, series.values[newest]);
        }
        const Bar oldest = std::max<Bar>(bar - depthOfBar(periods, periodCount, lengths, bar), 1);
        float32 value = twin.startValue;
        if (oldest <= newest) {
            const float32 *kept = stack.keptFrom(oldest, newest);
            if (kept != nullptr && replaces(twin.extreme, value, *kept)) {
                value = *kept;
            }
        }
        out[static_cast<std::size_t>(bar)] = value;
        // No later window reaches further back than its bar less the deepest depth.
        stack.dropBefore(bar + 1 - deepest);
    }
}

}  // namespace

void sweepChannel(const ChannelTwin &twin, const DataArrayRec &series, const float32 *periods,
                  std::size_t periodCount, const LookBackLengths &lengths, float32 *out) {
    if (series.firstValid > series.lastValid) {
        return;
    }
    const int32 deepest = deepestWindow(series, periods, periodCount, lengths);
    if (series.firstValid > deepest) {
        // No window walks a single offset: every bar keeps the start value.
        std::fill(out + series.firstValid, out + static_cast<std::size_t>(series.lastValid) + 1,
                  twin.startValue);
        return;
    }
    const std::size_t capacity = stackCapacity(deepest, series.lastValid);
    if (capacity != 0) {
        try {
            CandidateStack stack(twin.extreme, capacity);
            sweepWithStack(twin, series, periods, periodCount, lengths, deepest, stack, out);
            return;
        } catch (const std::bad_alloc &) {
        } catch (const std::length_error &) {
        }
    }
    walkChannel(twin, series, periods, periodCount, lengths, out);
}

}  // namespace brevane
