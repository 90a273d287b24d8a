#include "formula.hpp"

#include "input_error.hpp"
#include "text.hpp"

namespace zpk::host {

namespace {

bool isWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWordChar(char c) { return isWordStart(c) || isDigit(c); }

// A recursive-descent reader over one formula.
class FormulaReader {
public:
    explicit FormulaReader(std::string_view formula) : formula_(formula) {}

    FormulaCall readWhole() {
        skipBlanks();
        if (atEnd()) fail("is empty");
        if (!isWordStart(peek())) fail("must start with a function name");
        FormulaCall call = readCall(readWord());
        skipBlanks();
        if (!atEnd()) fail(std::string("has '") + peek() + "' after the end of the call");
        return call;
    }

private:
    bool atEnd() const { return at_ >= formula_.size(); }
    char peek() const { return formula_[at_]; }

    void skipBlanks() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t')) ++at_;
    }

    [[noreturn]] void fail(const std::string &what) const { failAt(at_, what); }
    [[noreturn]] void failAt(std::size_t at, const std::string &what) const {
        throw InputError("formula '" + std::string(formula_) + "' " + what + " (at column " +
                         std::to_string(at + 1) + ")");
    }

    struct Word {
        std::string text;
        std::size_t start;
    };

    Word readWord() {
        const std::size_t start = at_;
        while (!atEnd() && isWordChar(peek())) ++at_;
        return Word{std::string(formula_.substr(start, at_ - start)), start};
    }

    // A call whose (possibly qualified) name starts with `first`.
    FormulaCall readCall(Word first) {
        FormulaCall call;
        call.column = first.start + 1;
        call.function = first.text;
        if (!atEnd() && peek() == '.') {
            ++at_;
            if (atEnd() || !isWordStart(peek())) fail("needs a function name after '.'");
            call.module = first.text;
            call.function = readWord().text;
        }
        std::size_t end = at_;
        skipBlanks();
        if (!atEnd() && peek() == '(') {
            ++at_;
            readArguments(call);
            end = at_;
        } else {
            at_ = end;
        }
        call.text = std::string(trimmed(formula_.substr(first.start, end - first.start)));
        return call;
    }

    void readArguments(FormulaCall &call) {
        skipBlanks();
        if (!atEnd() && peek() == ')') {
            ++at_;
            return;
        }
        while (true) {
            call.args.push_back(readArgument());
            skipBlanks();
            if (atEnd()) fail("ends before the ')' of " + call.function);
            if (peek() == ')') {
                ++at_;
                return;
            }
            if (peek() != ',') fail(std::string("has '") + peek() + "' where ',' or ')' should be");
            ++at_;
        }
    }

    FormulaArgument readArgument() {
        skipBlanks();
        if (atEnd()) fail("ends where an argument should be");
        FormulaArgument argument;
        if (isWordStart(peek())) {
            const std::size_t start = at_;
            Word word = readWord();
            skipBlanks();
            if (!atEnd() && peek() == '=') {
                ++at_;
                argument.name = word.text;
                argument.value = readValue();
                return argument;
            }
            at_ = start;
        }
        argument.value = readValue();
        return argument;
    }

    FormulaValue readValue() {
        skipBlanks();
        if (atEnd()) fail("ends where a value should be");
        const char c = peek();
        if (c == '"' || c == '\'') return readText();
        if (isDigit(c) || c == '+' || c == '-' || c == '.') return readNumber();
        if (isWordStart(c)) return readWordOrCall();
        fail(std::string("has '") + c + "' where a value should be");
    }

    FormulaValue readText() {
        FormulaValue value;
        value.kind = FormulaValue::Kind::Text;
        value.column = at_ + 1;
        const char quote = peek();
        const std::size_t start = at_++;
        while (true) {
            if (atEnd()) failAt(start, "has a text that is never closed");
            const char c = formula_[at_++];
            if (c != quote) {
                value.text += c;
            } else if (!atEnd() && peek() == quote) {
                value.text += quote;
                ++at_;
            } else {
                return value;
            }
        }
    }

    FormulaValue readNumber() {
        FormulaValue value;
        value.kind = FormulaValue::Kind::Number;
        value.column = at_ + 1;
        const std::size_t start = at_;
        if (peek() == '+' || peek() == '-') ++at_;
        // Digits, a point, an exponent: whether they make a number is the number reader's call.
        while (!atEnd() && (isWordChar(peek()) || peek() == '.' ||
                            ((peek() == '+' || peek() == '-') &&
                             (formula_[at_ - 1] == 'e' || formula_[at_ - 1] == 'E')))) {
            ++at_;
        }
        value.text = std::string(formula_.substr(start, at_ - start));
        return value;
    }

    FormulaValue readWordOrCall() {
        FormulaValue value;
        value.column = at_ + 1;
        const std::size_t start = at_;
        Word word = readWord();
        const std::size_t afterWord = at_;
        skipBlanks();
        const bool isCall = !atEnd() && (peek() == '(' || (at_ == afterWord && peek() == '.'));
        at_ = afterWord;
        if (isCall) {
            value.kind = FormulaValue::Kind::Call;
            value.call = std::make_shared<FormulaCall>(readCall(Word{word.text, start}));
            value.text = value.call->text;
        } else {
            value.kind = FormulaValue::Kind::Word;
            value.text = word.text;
        }
        return value;
    }

    std::string_view formula_;
    std::size_t at_ = 0;
};

}  // namespace

FormulaCall parseFormula(std::string_view formula) {
    return FormulaReader(formula).readWhole();
}

}  // namespace zpk::host
