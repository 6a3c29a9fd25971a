#include "engine/CopyQuestions.h"

#include "common/FileInfo.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace setup {

const std::string CompareToolPath = "C:\\Programme\\wincmd\\TOTALCMD.EXE";

namespace {

std::string OverwriteText(const CopyQuestion& q) {
    const std::string reason = q.kind == CopyQuestion::Kind::DestNewer
                                   ? "\rist j\xFCnger!"
                                   : "\rhat eine andere Dateigr\xF6\xDF"
                                     "e.";
    return q.dest + reason + "\r\r" + "Soll die vorhandene Datei vom\r  " +
           FormatFileTime(q.destTime) + " (" + FormatThousands(q.destSize) +
           " Bytes)\rdurch diejenige vom\r  " + FormatFileTime(q.sourceTime) + " (" +
           FormatThousands(q.sourceSize) +
           " Bytes)\r\xFC"
           "berschrieben werden?";
}

std::string PlaceholderText(const CopyQuestion& q) {
    return q.dest + "\r" + "vom " + FormatFileTime(q.destTime) +
           "\rkann nicht aktualisiert werden, weil\r" + q.source + "\r" + "vom " +
           FormatFileTime(q.sourceTime) + "\rlediglich eine Platzhalterdatei ist.";
}

// The answer of an overwrite dialog: Yes (and any other button) copies.
CopyAnswer OverwriteAnswer(int button) {
    switch (button) {
    case IdCancel:
        return CopyAnswer::Cancel;
    case IdNo:
        return CopyAnswer::Skip;
    case IdAll:
        return CopyAnswer::CopyAll;
    default:
        return CopyAnswer::Copy;
    }
}

} // namespace

CopyAnswer AskCopyQuestion(const CopyQuestion& question) {
    switch (question.kind) {
    case CopyQuestion::Kind::AskAlways:
        return OverwriteAnswer(
            AskOverwrite(question.dest + " j\xFCnger!\rTrotzdem kopieren?", false));
    case CopyQuestion::Kind::DestNewer:
    case CopyQuestion::Kind::DestOtherSize:
        for (;;) {
            const int button =
                AskOverwrite(OverwriteText(question), plat::fileExists(CompareToolPath));
            if (button != IdRetry) return OverwriteAnswer(button);
            LaunchCompareTool(question.source, question.dest);
        }
    case CopyQuestion::Kind::Placeholder:
        return AskIgnoreCancel(PlaceholderText(question)) == IdIgnore ? CopyAnswer::Skip
                                                                      : CopyAnswer::Cancel;
    case CopyQuestion::Kind::NothingFound:
        return ReportNotCopied("from: " + question.source + "\r" + question.mask) == IdCancel
                   ? CopyAnswer::Cancel
                   : CopyAnswer::Skip;
    }
    return DefaultCopyAnswer(question);
}

void LaunchCompareTool(const std::string& source, const std::string& dest) {
    if (!plat::fileExists(CompareToolPath)) {
        InfoMessage(ActiveForm, CompareToolPath + "\rnicht gefunden.");
        return;
    }
    plat::startProgram("\"" + CompareToolPath + "\" \"" + ExtractFilePath(source) + "\" \"" +
                           ExtractFilePath(dest) + "\"",
                       "");
}

} // namespace setup
