// TFileHandler: the installer's file copier. It compares an existing
// destination with the source by date and size, recognises 24-byte
// placeholder files, leaves its questions (replace a newer or different
// file? go on without a placeholder's file?) to the OnQuestion callback of
// the run, copies in 1 MiB blocks while pumping window messages, stamps the
// copy with the source's date and keeps the byte and file counters behind the
// progress display and the final statistics. A copy is written to a temporary
// file beside the destination and replaces it only when complete, so a failed
// or cancelled copy leaves the previous destination as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "files/CopyDecisions.h"
#include "common/Effects.h"
#include "platform/FileSystem.h"

namespace setup {

// Results of the copy operations.
enum class CopyResult : uint8_t {
    Done,      // copied, or not copied by decision of the mode or the user
    NotCopied, // failure, placeholder
    Abort,     // the user cancelled, or AbortRequested is set
};

// What became of a file, as OnFileDone reports it; the log's FILE lines and
// the project's file list keep it as a number (FileKindNumber).
enum class FileKind : uint8_t {
    Failed,    // 0: not copied (a failure, or a placeholder source)
    Cancelled, // 1: by the user or the abort request
    Skipped,   // 2: up to date, kept or declined
    Copied,    // 3
};
constexpr int FileKindNumber(FileKind kind) {
    return static_cast<int>(kind);
}

class TFileHandler {
  public:
    // One read and one write per block of this size.
    static constexpr std::size_t BufferSize = 1048577;

    TFileHandler();
    ~TFileHandler();
    TFileHandler(const TFileHandler&) = delete;
    TFileHandler& operator=(const TFileHandler&) = delete;

    // Counters; they only grow until ResetCounters.
    int32_t FilesSkipped = 0; // identical, declined or placeholder
    int32_t FilesCopied = 0;
    int64_t BytesCopied = 0;
    int64_t BytesSkipped = 0;
    int64_t CurrentBytes = 0; // the file in progress, block by block
    int64_t BytesDownloaded = 0;
    int32_t MissingSources = 0; // CountSkipped patterns that matched nothing

    // Paths of the file in progress.
    std::string SourceName;
    std::string DestName;

    // Events; unassigned ones are skipped. OnFileDone (DestName naming the
    // file it is about) is always followed by OnProgress.
    std::function<void()> OnProgress;
    std::function<void()> OnFileStart;
    std::function<void(const std::string& folder)> OnFolderCreated;
    std::function<void(FileKind kind)> OnFileDone;
    // Answers the copier's questions; unassigned, DefaultCopyAnswer answers.
    CopyDecider OnQuestion;

    // Copies one file according to mode (which a CopyAll answer sets to
    // Copy); the copy's last-write time is the later of the source's and
    // minTime.
    CopyResult CopyFile(const std::string& source, const std::string& dest, plat::FileTime minTime,
                        CopyMode& mode);
    // CopyFile with a DOS date-time (0 = none) as the minimum time and a copy
    // of mode. Raises SilentAbort when the copy buffer cannot be had.
    CopyResult CopyOneFile(const std::string& source, const std::string& dest, int32_t dosTime,
                           CopyMode mode);
    // Copies the files sourceFolder + mask (not folders, not system files)
    // into destFolder, which is created when something is found; count grows
    // by the files done. Files that are not copied are reported and the others
    // go on; an abort stops. Nothing found: asked about when reportMissing
    // (NotCopied, or Abort when the answer is Cancel), else Done.
    CopyResult CopyFiles(const std::string& sourceFolder, const std::string& destFolder,
                         const std::string& mask, int32_t dosTime, bool reportMissing, int& count,
                         CopyMode mode);
    // CopyFiles on sourceFolder and every sub-folder below it, sub-folders in
    // sorted order. With reportMissing, a walk that copied nothing gives
    // NotCopied.
    CopyResult CopyTree(const std::string& sourceFolder, const std::string& destFolder,
                        const std::string& mask, int32_t dosTime, bool reportMissing, int& count,
                        CopyMode mode);
    // Creates folder and its missing parents (OnFolderCreated for each, parent
    // first). Raises SetupError when a folder cannot be created; false when the
    // path has no creatable parent.
    bool ForceFolders(const std::string& folder);

    // Compares the directory entries of source and destination and sets
    // CurrentBytes to the source's content size (a placeholder's recorded
    // size). 0 identical, 1 different, 2 placeholder that does not match.
    // A destination on a FAT 2-second boundary up to 2 s after the source
    // with the same size is identical for a placeholder, and older (dest's
    // writeTime becomes the source's minus 10 units) for an ordinary file.
    int CompareFileEntries(const std::string& sourcePath, const plat::DirEntry& source,
                           plat::DirEntry& dest);

    // Counts the files matching pattern as skipped, each under the name
    // destFolder + its name ("Nicht gefunden" when there is none, counted in
    // MissingSources).
    void CountSkipped(const std::string& pattern, const std::string& destFolder);
    // Counts files as copied (files written by other means).
    void AddCopied(int32_t files, int64_t bytes);
    // A file refused before any copy (a device name, a folder that is not
    // there): the names are set and the file is done as Failed.
    void RefuseFile(const std::string& source, const std::string& dest);
    // Set the names and fire OnFileStart.
    void SetFileNames(const std::string& source, const std::string& dest);
    void SetSourceName(const std::string& source);
    // Zeroes every counter and CurrentBytes, fires OnProgress, clears the names.
    void ResetCounters();
    // BytesCopied + BytesSkipped + CurrentBytes + BytesDownloaded.
    int64_t ProcessedBytes() const;

    // Where the copier's writes go (temporary file, rename, times,
    // attributes, folders): the machine itself unless the run says otherwise.
    void SetEffects(Effects& effects) { effects_ = &effects; }
    Effects& CurrentEffects() const { return *effects_; }

    // Handlers for the HTTP client's work events: the count is the client's
    // running total for the current transfer.
    void DownloadWorkBegin(int64_t maximum);
    void DownloadWork(int64_t count);

  private:
    void FireProgress();
    void FireFileDone(FileKind kind);
    CopyAnswer Ask(const CopyQuestion& question);
    // Bookkeeping of a file that is not copied; see the implementation.
    void SkipFile(const plat::DirEntry& source, const plat::DirEntry& dest, int64_t size,
                  FileKind kind);
    // A copy that did not happen: OnFileDone with kind, no bytes; returns result.
    CopyResult NotCopied(FileKind kind, CopyResult result);
    // Writes the copy of SourceName and lets it replace DestName (dest: its
    // entry, null when there is none).
    CopyResult CopyContents(const plat::DirEntry& source, const plat::DirEntry* dest,
                            plat::FileTime minTime);
    char* Buffer();

    std::unique_ptr<char[]> buffer_;
    Effects* effects_ = &DirectEffects();
    int64_t lastDownloadPosition_ = 0;
};

// The process-wide copier without owner (font installation, downloads),
// created on first use.
TFileHandler& SharedFileHandler();
bool ForceFoldersShared(const std::string& folder);
// CopyOneFile on the shared copier with onProgress bound to its OnProgress for
// the duration of the call.
CopyResult CopyFileShared(const std::string& source, const std::string& dest, int32_t dosTime,
                          CopyMode mode, std::function<void()> onProgress);

// Number and total size of the entries matching pattern (any attributes);
// with reportMissing, "Nicht gefunden:\r" + pattern is shown when there is none.
struct FileCount {
    int32_t count = 0;
    int64_t bytes = 0;
};
FileCount CountFiles(const std::string& pattern, bool reportMissing = false);
// A DOS date-time (local) as a UTC file time; time 0 and the error code when
// it is not a valid date.
std::pair<plat::FileTime, uint32_t> DosTimeToFileTime(int32_t dosTime);
// Sets only the last-write time; 0 or the error code.
uint32_t SetFileTimes(const std::string& path, plat::FileTime writeTime);
// A file of exactly 24 bytes that begins with "DUMMY$#$".
bool IsPlaceholderFile(const std::string& path);

} // namespace setup
