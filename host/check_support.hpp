// What the two halves of the checker share: the list of findings, records with guard bytes
// behind them, and the reading of text fields.
#ifndef ZPK_HOST_CHECK_SUPPORT_HPP
#define ZPK_HOST_CHECK_SUPPORT_HPP

#include "module.hpp"
#include "plugin.hpp"
#include "zpk/zpk.h"

#include <cstring>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace zpk::host::check {

// Broken rules, each reported once however many calls broke it: `kind` says which rule and where,
// the message is that of the first call that broke it, and the number of calls is added.
class Findings {
public:
    void add(const std::string &kind, const std::string &message);
    std::vector<std::string> lines() const;

private:
    struct Entry {
        std::string message;
        std::size_t times;
    };
    std::vector<Entry> entries_;
    std::map<std::string, std::size_t> byKind_;
};

// A record of the host with guard bytes behind it, everything filled with one byte first, so
// that every byte a call writes can be seen, also those beyond the record.
template <class Record>
class Guarded {
public:
    static constexpr std::size_t kGuardBytes = 64;

    explicit Guarded(unsigned char fill) : fill_(fill) {
        new (bytes_) Record;
        std::memset(bytes_, fill, sizeof bytes_);
        std::memcpy(before_, bytes_, sizeof(Record));
    }
    Guarded(const Guarded &) = delete;
    Guarded &operator=(const Guarded &) = delete;

    Record *get() { return reinterpret_cast<Record *>(bytes_); }
    const Record &record() const { return *reinterpret_cast<const Record *>(bytes_); }

    bool unchanged() const { return std::memcmp(before_, bytes_, sizeof(Record)) == 0; }
    bool guardIntact() const {
        for (std::size_t i = sizeof(Record); i < sizeof bytes_; ++i) {
            if (bytes_[i] != fill_) return false;
        }
        return true;
    }
    // Whether the bytes from `offset` on, `size` of them, are as they were filled.
    bool bytesUnchanged(std::size_t offset, std::size_t size) const {
        return std::memcmp(before_ + offset, bytes_ + offset, size) == 0;
    }

private:
    alignas(16) unsigned char bytes_[sizeof(Record) + kGuardBytes];
    unsigned char before_[sizeof(Record)];
    unsigned char fill_;
};

// A text field as read by a careful host: its text, and whether a NUL ends it within the field.
struct FieldText {
    std::string text;
    bool terminated;
};
FieldText readField(const char (&field)[TextFieldSize]);

// Why `text` is not a text of single-byte Windows-1252 characters, or nothing when it is.
std::optional<std::string> characterProblem(const std::string &text);

// A function as the protocol described it, with what the calculation checks need.
struct DescribedFunction {
    int32 index = 0;
    FunctionInfo info;           // name, arguments (types and choices); calculate when exported
    bool argumentsUsable = false;  // every argument described, of a known type, within MaxArgs
};

struct ProtocolResult {
    int32 functionCount = 0;                 // as ZPKInfo announced it
    std::vector<DescribedFunction> callable; // the functions whose entry points can be called
};

// Runs the query protocol in the host's order and again in reverse, and checks every answer, the
// failure paths and the exports.
ProtocolResult checkProtocol(const Module &module, Findings &findings);

// Calls `function` with empty, minimal and ordinary price data and every argument variant, each
// call twice with different bytes where the host's records are undefined. Returns the number of
// calls made.
std::size_t checkCalculation(const DescribedFunction &function, Findings &findings);

}  // namespace zpk::host::check

#endif
