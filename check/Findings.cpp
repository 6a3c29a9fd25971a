#include "check/Findings.h"

namespace setup::check {

std::string_view CodeName(Code code) {
    switch (code) {
    case Code::UnknownSection:
        return "unknown-section";
    case Code::UnknownKey:
        return "unknown-key";
    case Code::NumberingGap:
        return "numbering-gap";
    case Code::BadValue:
        return "bad-value";
    case Code::UnknownVariable:
        return "unknown-variable";
    case Code::MissingSource:
        return "missing-source";
    case Code::MissingPart:
        return "missing-part";
    case Code::Encoding:
        return "encoding";
    case Code::UnsafeTarget:
        return "unsafe-target";
    }
    return "bad-value";
}

Severity DefaultSeverity(Code code) {
    switch (code) {
    case Code::UnknownSection:
    case Code::UnknownKey:
    case Code::NumberingGap:
    case Code::Encoding:
        return Severity::Warning;
    default:
        return Severity::Error;
    }
}

std::string FormatFinding(const Finding& f) {
    return f.file + ":" + std::to_string(f.line) + ": " +
           (f.severity == Severity::Error ? "error" : "warning") + ": " + f.text + " [" +
           std::string(CodeName(f.code)) + "]";
}

Summary Summarize(const std::vector<Finding>& findings) {
    Summary s;
    for (const Finding& f : findings)
        (f.severity == Severity::Error ? s.errors : s.warnings)++;
    return s;
}

std::string FormatReport(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings)
        out += FormatFinding(f) + "\n";
    const Summary s = Summarize(findings);
    out += std::to_string(s.errors) + " errors, " + std::to_string(s.warnings) + " warnings\n";
    return out;
}

} // namespace setup::check
