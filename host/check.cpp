#include "check.hpp"

#include "check_support.hpp"
#include "input_error.hpp"

namespace zpk::host {

namespace check {

void Findings::add(const std::string &kind, const std::string &message) {
    auto [at, inserted] = byKind_.emplace(kind, entries_.size());
    if (inserted) {
        entries_.push_back(Entry{message, 1});
    } else {
        ++entries_[at->second].times;
    }
}

std::vector<std::string> Findings::lines() const {
    std::vector<std::string> lines;
    for (const Entry &entry : entries_) {
        lines.push_back(entry.times == 1 ? entry.message
                                         : entry.message + " (and " + std::to_string(entry.times - 1) +
                                               " more like it)");
    }
    return lines;
}

FieldText readField(const char (&field)[TextFieldSize]) {
    const void *nul = std::memchr(field, '\0', TextFieldSize);
    if (nul == nullptr) return FieldText{std::string(field, TextFieldSize), false};
    return FieldText{std::string(field, static_cast<const char *>(nul) - field), true};
}

std::optional<std::string> characterProblem(const std::string &text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool control = byte < 0x20 || byte == 0x7F;
        const bool unassigned = byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
        if (control || unassigned) {
            const char *hex = "0123456789ABCDEF";
            return std::string("holds byte 0x") + hex[byte >> 4] + hex[byte & 0xF] +
                   (control ? ", a control character" : ", which Windows-1252 leaves unassigned");
        }
    }
    return std::nullopt;
}

}  // namespace check

CheckReport checkModule(const std::string &path) {
    std::string why;
    Module module = Module::open(path, why);
    if (!module.isOpen()) throw InputError("cannot load module '" + path + "': " + why);
    check::Findings findings;
    CheckReport report;
    const check::ProtocolResult protocol = check::checkProtocol(module, findings);
    report.functionCount = static_cast<std::size_t>(protocol.functionCount);
    for (const check::DescribedFunction &function : protocol.callable) {
        if (function.argumentsUsable) report.callCount += check::checkCalculation(function, findings);
    }
    report.violations = findings.lines();
    return report;
}

std::string summaryOf(const CheckReport &report) {
    auto counted = [](std::size_t n, const char *word) {
        return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
    };
    const std::string counts =
        "(" + counted(report.functionCount, "function") + ", " + counted(report.callCount, "call") + ")";
    if (report.violations.empty()) return "conforms " + counts;
    const std::size_t n = report.violations.size();
    return std::to_string(n) + (n == 1 ? " rule broken " : " rules broken ") + counts;
}

}  // namespace zpk::host
