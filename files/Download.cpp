// The download step of a part: the files of its web folders (URLDir#) that
// are missing or differ from their local copies in the part's folder.
#include "common/Ansi.h"
#include "common/Error.h"
#include "common/FileInfo.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "engine/ScriptInstall.h"
#include "files/HttpClient.h"

namespace setup {

bool TScriptInstall::DownloadPartFiles(const std::string& partName, const std::string& partFolder) {
    return DownloadSection(partName, partFolder);
}

bool TScriptInstall::DownloadSection(const std::string& section, const std::string& partFolder) {
    bool result = true;
    for (const script::Numbered& entry : PartOf(section).downloads) {
        std::string folderUrl = AnsiLowerCase(entry.value.text);
        if (folderUrl.back() != '/') folderUrl += '/';
        if (!HttpClient) HttpClient = std::make_shared<THttpClient>();

        const std::string text = HttpClient->GetText(folderUrl + texts::ListFileName);
        if (text.empty()) {
            result = false;
            if (WarnOkCancel(MessageOwner(), "Sektion " + section + "\r" + texts::ListFileName +
                                                 texts::NotFound) != IdOk)
                AbortRequested = true;
            break;
        }
        if (!DownloadList(SplitListLines(text), folderUrl, section, partFolder)) result = false;
        if (CheckAbort()) break;
    }
    return result;
}

bool TScriptInstall::DownloadList(const std::vector<std::string>& lines,
                                  const std::string& folderUrl, const std::string& section,
                                  const std::string& partFolder) {
    bool result = true;
    const setup::Owner owner = MessageOwner();
    for (const std::string& line : lines) {
        if (line.empty()) continue;
        const TDownloadLine entry = ParseDownloadLine(line);
        const std::string url = folderUrl + entry.Name;
        ReportStatus(PartOf(section).headLine.Or(section));
        if (!IsContainedName(entry.Name)) {
            // It would be written outside the part's folder.
            result = false;
            if (WarnOkCancel(owner, "Sektion " + section + "\r" + texts::UnsafeName + entry.Name +
                                        "\r" + url + texts::NotCopied) != IdOk) {
                AbortRequested = true;
                break;
            }
            continue;
        }
        const std::string local = TargetDir + partFolder + LocalDownloadName(entry.Name);
        const std::string folder = ExtractFilePath(local);
        // A list line is the server's: a name whose folder cannot be made
        // (a device name, a character the file system refuses) costs that
        // line only.
        std::string folderError;
        try {
            if (!folder.empty()) ForceFoldersShared(folder);
        } catch (const SetupError& e) {
            folderError = e.what();
        }
        if (!folderError.empty()) {
            result = false;
            if (WarnOkCancel(owner, "Sektion " + section + "\r" + folderError + "\r" + url +
                                        texts::NotCopied) != IdOk) {
                AbortRequested = true;
                break;
            }
            continue;
        }

        if (FileDosDate(local) >= entry.Date && FileSize64(local) == entry.Size) continue;

        FileHandler->SetSourceName(url);
        TFileHandler* copier = FileHandler;
        HttpClient->OnWorkBegin = [copier](int64_t maximum) { copier->DownloadWorkBegin(maximum); };
        HttpClient->OnWork = [copier](int64_t count) { copier->DownloadWork(count); };
        if (!HttpClient->DownloadToFile(owner, url, local, entry.Size)) {
            result = false;
            if (AbortRequested) break; // cancelled during the transfer
            if (WarnOkCancel(owner, "Sektion " + section + "\r" + url + texts::NotCopied) != IdOk) {
                AbortRequested = true;
                break;
            }
            continue;
        }
        ++UpdatedCount;
        SetFileDate(local, entry.Date);
    }
    return result;
}

} // namespace setup
