// Test support: load a built plug-in the way the host does (by path, entry points by name) and
// build the six records of a calculation call, pre-filled with byte patterns so that a test can
// see every byte a call wrote.
#ifndef ZPK_TESTS_PLUGIN_FIXTURE_HPP
#define ZPK_TESTS_PLUGIN_FIXTURE_HPP

#include "plugin.hpp"
#include "zpk/zpk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zpk::test {

// Where the built module `name` (Ambrel, Brevane, ZENOBAR) lies: the folder the build put it in,
// or ZPK_MODULE_DIR when set (for runs where the build folder is seen under another path).
std::string modulePath(const std::string &name);

// Loads the module `name` and fails the test if it does not load.
host::Plugin loadPlugin(const std::string &name);

// The export `name` of `plugin`, cast to `Fn`; fails the test if it is missing.
template <class Fn>
Fn entryPoint(const host::Plugin &plugin, const char *name) {
    void *address = plugin.module().symbol(name);
    EXPECT_NE(address, nullptr) << name << " is not exported";
    return reinterpret_cast<Fn>(address);
}

inline std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float floatFromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Fills a record with a repeating byte, so that untouched bytes can be recognised afterwards.
template <class Record>
void fillPattern(Record &record, unsigned char byte = 0xA5) {
    std::memset(static_cast<void *>(&record), byte, sizeof record);
}

template <class Record>
bool sameBytes(const Record &a, const Record &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The output value the host leaves in entries a call must not write.
constexpr std::uint32_t kUntouchedBits = 0x7FA5A5A5;  // a quiet NaN no computation produces

// One series owned by the test, with its valid range.
struct Series {
    std::vector<float> values;
    int32 firstValid = 0;
    int32 lastValid = -1;

    Series() = default;
    // Values at bars 0.. with the range first..last.
    Series(std::vector<float> v, int32 first, int32 last)
        : values(std::move(v)), firstValid(first), lastValid(last) {}
    // Values at bars 0.., all of them valid.
    explicit Series(std::vector<float> v)
        : values(std::move(v)), firstValid(0), lastValid(static_cast<int32>(values.size()) - 1) {}

    DataArrayRec record() { return DataArrayRec{values.empty() ? nullptr : values.data(), firstValid, lastValid}; }
};

// The six records of one call. Everything the library must not depend on (hostData, series6,
// argument entries beyond count, the output range, errorText) holds a byte pattern.
class CallRecords {
public:
    explicit CallRecords(std::size_t outputBars);

    void setPrices(Series open, Series high, Series low, Series close, Series volume,
                   Series series7 = Series());
    // Sets one price series by its letter (O, H, L, C, V, I).
    void setPrice(char letter, Series series);

    void addData(Series series);
    void addNumber(float value) { numeric.args[numeric.count++] = value; }
    void addText(const char *text) { strings.args[strings.count++] = text; }
    void addCustom(int32 id) { custom.args[custom.count++] = id; }

    int32 call(CalcFunction function);

    // The output entries as written (untouched ones keep kUntouchedBits).
    const std::vector<float> &output() const { return outputValues_; }
    std::uint32_t outputBits(std::size_t bar) const { return bitsOf(outputValues_.at(bar)); }
    int32 firstValid() const { return output_.firstValid; }
    int32 lastValid() const { return output_.lastValid; }
    std::string errorText() const { return std::string(result.errorText); }
    bool errorTextUntouched() const;
    // The error text holds `message`, then NUL up to byte 99 (the padded form of the text copy).
    bool errorTextPadded(const std::string &message) const;
    // True if no output entry at `from` or later was written.
    bool outputUntouchedFrom(std::size_t from) const;
    bool outputUntouched() const { return outputUntouchedFrom(0); }
    // True if every price series and data argument still holds what the test put there.
    bool inputsUnchanged() const;

    PriceDataRec prices;
    DataArgs data;
    NumericArgs numeric;
    StringArgs strings;
    CustomArgs custom;
    ResultRec result;

private:
    Series &priceSeries(char letter);
    void refreshRecords();

    Series open_, high_, low_, close_, volume_, series6_, series7_;
    std::vector<Series> dataSeries_;
    std::vector<DataArrayRec> dataRecords_;
    std::vector<std::vector<float>> inputCopies_;
    std::vector<float> outputValues_;
    DataArrayRec output_;
    char errorTextBefore_[TextFieldSize];
};

}  // namespace zpk::test

#endif
