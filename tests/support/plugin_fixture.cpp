#include "plugin_fixture.hpp"

#include <cstdlib>
#include <stdexcept>

namespace zpk::test {

std::string modulePath(const std::string &name) {
    std::string dir = ZPK_MODULE_DIR;
    if (const char *overridden = std::getenv("ZPK_MODULE_DIR")) {
        dir = overridden;
    }
    return dir + "/" + name + ZPK_MODULE_SUFFIX;
}

host::Plugin loadPlugin(const std::string &name) {
    std::string error;
    auto plugin = host::Plugin::load(modulePath(name), error);
    if (!plugin) {
        throw std::runtime_error(error);
    }
    return std::move(*plugin);
}

CallRecords::CallRecords(std::size_t outputBars)
    : outputValues_(outputBars, floatFromBits(kUntouchedBits)) {
    fillPattern(prices, 0x5A);
    fillPattern(data, 0x5B);
    fillPattern(numeric, 0x5C);
    fillPattern(strings, 0x5D);
    fillPattern(custom, 0x5E);
    fillPattern(result, 0x5F);
    data.count = 0;
    numeric.count = 0;
    strings.count = 0;
    custom.count = 0;
    output_ = DataArrayRec{outputValues_.data(), 0x5F5F5F5F, 0x5F5F5F5F};
    result.data = &output_;
    std::memcpy(errorTextBefore_, result.errorText, TextFieldSize);
    refreshRecords();
}

Series &CallRecords::priceSeries(char letter) {
    switch (letter) {
    case 'O': return open_;
    case 'H': return high_;
    case 'L': return low_;
    case 'C': return close_;
    case 'V': return volume_;
    case 'I': return series7_;
    default: throw std::invalid_argument("no price series with that letter");
    }
}

void CallRecords::setPrice(char letter, Series series) {
    priceSeries(letter) = std::move(series);
    refreshRecords();
}

void CallRecords::setPrices(Series open, Series high, Series low, Series close, Series volume,
                            Series series7) {
    open_ = std::move(open);
    high_ = std::move(high);
    low_ = std::move(low);
    close_ = std::move(close);
    volume_ = std::move(volume);
    series7_ = std::move(series7);
    refreshRecords();
}

void CallRecords::addData(Series series) {
    dataSeries_.push_back(std::move(series));
    data.count = static_cast<int32>(dataSeries_.size());
    refreshRecords();
}

void CallRecords::refreshRecords() {
    prices.open = open_.record();
    prices.high = high_.record();
    prices.low = low_.record();
    prices.close = close_.record();
    prices.volume = volume_.record();
    prices.series7 = series7_.record();
    dataRecords_.clear();
    for (Series &s : dataSeries_) {
        dataRecords_.push_back(s.record());
    }
    for (std::size_t k = 0; k < dataRecords_.size() && k < MaxArgs; ++k) {
        data.args[k] = &dataRecords_[k];
    }
}

int32 CallRecords::call(CalcFunction function) {
    inputCopies_.clear();
    for (Series *s : {&open_, &high_, &low_, &close_, &volume_, &series7_}) {
        inputCopies_.push_back(s->values);
    }
    for (Series &s : dataSeries_) {
        inputCopies_.push_back(s.values);
    }
    return function(&prices, &data, &numeric, &strings, &custom, &result);
}

bool CallRecords::errorTextUntouched() const {
    return std::memcmp(errorTextBefore_, result.errorText, TextFieldSize) == 0;
}

bool CallRecords::errorTextPadded(const std::string &message) const {
    if (message.size() >= TextFieldSize) return false;
    if (std::memcmp(result.errorText, message.c_str(), message.size()) != 0) return false;
    for (std::size_t i = message.size(); i < TextFieldSize - 1; ++i) {
        if (result.errorText[i] != '\0') return false;
    }
    return true;
}

bool CallRecords::outputUntouchedFrom(std::size_t from) const {
    for (std::size_t i = from; i < outputValues_.size(); ++i) {
        if (bitsOf(outputValues_[i]) != kUntouchedBits) return false;
    }
    return true;
}

static bool sameFloats(const std::vector<float> &a, const std::vector<float> &b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

bool CallRecords::inputsUnchanged() const {
    std::size_t k = 0;
    for (const Series *s : {&open_, &high_, &low_, &close_, &volume_, &series7_}) {
        if (!sameFloats(inputCopies_.at(k++), s->values)) return false;
    }
    for (const Series &s : dataSeries_) {
        if (!sameFloats(inputCopies_.at(k++), s.values)) return false;
    }
    return true;
}

}  // namespace zpk::test
