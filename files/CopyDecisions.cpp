#include "files/CopyDecisions.h"

#include <utility>

namespace setup {

CopyMode CopyModeFromNumber(int32_t number) {
    switch (number) {
    case 0:
        return CopyMode::AskAlways;
    case 2:
        return CopyMode::Keep;
    case 3:
    case 4:
        return CopyMode::CompareAsk;
    case 6:
        return CopyMode::CompareCopy;
    default: // 1, 5, 7 and above
        return CopyMode::Copy;
    }
}

CopyAnswer DefaultCopyAnswer(const CopyQuestion& question) {
    switch (question.kind) {
    case CopyQuestion::Kind::Placeholder:
        return CopyAnswer::Cancel;
    case CopyQuestion::Kind::NothingFound:
        return CopyAnswer::Skip;
    default:
        return CopyAnswer::Copy;
    }
}

CopyDecisions::CopyDecisions(CopyDecider ask) : ask_(std::move(ask)) {}

void CopyDecisions::StartRun() {
    all_ = false;
}

CopyMode CopyDecisions::DefaultMode() const {
    return all_ ? CopyMode::Copy : CopyMode::CompareAsk;
}

CopyMode CopyDecisions::ModeForOverride(int32_t fileOverride) const {
    return fileOverride == 0 ? DefaultMode() : CopyMode::CompareCopy;
}

CopyAnswer CopyDecisions::Decide(const CopyQuestion& question) {
    const CopyAnswer answer = ask_ ? ask_(question) : DefaultCopyAnswer(question);
    // Only the overwrite questions offer "All".
    const bool overwrite = question.kind != CopyQuestion::Kind::Placeholder &&
                           question.kind != CopyQuestion::Kind::NothingFound;
    if (answer == CopyAnswer::CopyAll && overwrite) all_ = true;
    return answer;
}

} // namespace setup
