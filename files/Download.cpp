// The download step of a part: the files of its web folders (URLDir#) that
// are missing or differ from their local copies in the part's folder.
#include "common/Ansi.h"
#include "common/Error.h"
#include "common/FileInfo.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "files/Download.h"
#include "files/FileHandler.h"
#include "files/HttpClient.h"

namespace setup {

namespace {

bool DownloadList(RunContext& run, const std::vector<std::string>& lines,
                  const std::string& folderUrl, const std::string& section,
                  const std::string& partFolder);

} // namespace

bool DownloadPartFiles(RunContext& run, const PartInRun& part) {
    const std::string& section = part.name;
    const std::string& partFolder = part.folder;
    bool result = true;
    for (const script::Numbered& entry : part.record->downloads) {
        std::string folderUrl = AnsiLowerCase(entry.value.text);
        if (folderUrl.back() != '/') folderUrl += '/';
        if (!run.http) run.http = std::make_shared<THttpClient>();

        const std::string text = run.http->GetText(folderUrl + texts::ListFileName);
        if (text.empty()) {
            result = false;
            if (WarnOkCancel(run.MessageOwner(), "Sektion " + section + "\r" + texts::ListFileName +
                                                     texts::NotFound) != IdOk)
                AbortRequested = true;
            break;
        }
        if (!DownloadList(run, SplitListLines(text), folderUrl, section, partFolder))
            result = false;
        if (CheckAbort()) break;
    }
    return result;
}

namespace {

bool DownloadList(RunContext& run, const std::vector<std::string>& lines,
                  const std::string& folderUrl, const std::string& section,
                  const std::string& partFolder) {
    bool result = true;
    const setup::Owner owner = run.MessageOwner();
    TFileHandler folderMaker;
    folderMaker.SetEffects(run.effects);
    for (const std::string& line : lines) {
        if (line.empty()) continue;
        const TDownloadLine entry = ParseDownloadLine(line);
        const std::string url = folderUrl + entry.Name;
        run.ReportStatus(run.PartRecord(section).headLine.Or(section));
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
        const std::string local = run.targetDir + partFolder + LocalDownloadName(entry.Name);
        const std::string folder = ExtractFilePath(local);
        // A list line is the server's: a name whose folder cannot be made
        // (a device name, a character the file system refuses) costs that
        // line only.
        std::string folderError;
        try {
            // Made through the run's effects, so that the record of the run
            // has them; [Pathes] names only the folders of the copy.
            if (!folder.empty()) folderMaker.ForceFolders(folder);
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

        // A local copy as new and as large as the server's stays.
        if (plat::DirEntry existing; run.effects.Entry(local, existing) &&
                                     FileTimeToDosDate(existing.writeTime) >= entry.Date &&
                                     static_cast<int64_t>(existing.size) == entry.Size)
            continue;

        run.copier.SetSourceName(url);
        TFileHandler* copier = &run.copier;
        run.http->OnWorkBegin = [copier](int64_t maximum) { copier->DownloadWorkBegin(maximum); };
        run.http->OnWork = [copier](int64_t count) { copier->DownloadWork(count); };
        if (!run.http->DownloadToFile(owner, url, local, entry.Size, run.effects,
                                      DosDateToFileTime(entry.Date))) {
            result = false;
            if (AbortRequested) break; // cancelled during the transfer
            if (WarnOkCancel(owner, "Sektion " + section + "\r" + url + texts::NotCopied) != IdOk) {
                AbortRequested = true;
                break;
            }
            continue;
        }
        ++run.counters.updated;
    }
    return result;
}

} // namespace

} // namespace setup
