#include "files/FileHandler.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "common/Error.h"
#include "common/FileInfo.h"
#include "common/FileLists.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "common/Effects.h"
#include "platform/Process.h"
#include "platform/System.h"

namespace setup {

namespace {

// The granularity of FAT time stamps in file-time units (2 seconds).
constexpr int64_t FatTick = 20000000;
constexpr uint64_t PlaceholderSize = 24;
// Steps of the block copy: at most this long, at most this large.
constexpr uint64_t SlowStepMs = 100;
constexpr uint64_t MaxStep = uint64_t{16} << 20;
constexpr char PlaceholderSignature[8] = {'D', 'U', 'M', 'M', 'Y', '$', '#', '$'};

int64_t Signed(plat::FileTime t) {
    return static_cast<int64_t>(t);
}

// The real file's size recorded in a placeholder file; nullopt when path is
// not a placeholder.
std::optional<int64_t> PlaceholderContentSize(const std::string& path) {
    plat::File f;
    if (!f.open(path, plat::OpenMode::Read)) return std::nullopt;
    auto size = f.size();
    if (!size || *size != PlaceholderSize) return std::nullopt;
    unsigned char data[PlaceholderSize];
    if (f.read(data, sizeof data) != static_cast<int64_t>(sizeof data)) return std::nullopt;
    if (std::memcmp(data, PlaceholderSignature, sizeof PlaceholderSignature) != 0)
        return std::nullopt;
    uint64_t recorded = 0;
    for (int i = 7; i >= 0; --i)
        recorded = (recorded << 8) | data[16 + i];
    return static_cast<int64_t>(recorded);
}

// Attributes a file gets when the archive bit is added (NORMAL stands alone).
uint32_t WithArchive(uint32_t attributes) {
    return (attributes & ~(plat::kAttrNormal | plat::kAttrDirectory)) | plat::kAttrArchive;
}

} // namespace

TFileHandler::TFileHandler() = default;
TFileHandler::~TFileHandler() = default;

char* TFileHandler::Buffer() {
    if (!buffer_) {
        try {
            buffer_ = std::make_unique_for_overwrite<char[]>(BufferSize);
        } catch (const std::bad_alloc&) {
            throw SilentAbort();
        }
    }
    return buffer_.get();
}

void TFileHandler::FireProgress() {
    if (OnProgress) OnProgress();
}

void TFileHandler::FireFileDone(FileKind kind) {
    log::Line("FILE", {std::to_string(FileKindNumber(kind)), DestName});
    if (OnFileDone) OnFileDone(kind);
    FireProgress();
}

CopyAnswer TFileHandler::Ask(const CopyQuestion& question) {
    return OnQuestion ? OnQuestion(question) : DefaultCopyAnswer(question);
}

void TFileHandler::SetFileNames(const std::string& source, const std::string& dest) {
    SourceName = source;
    DestName = dest;
    if (OnFileStart) OnFileStart();
}

void TFileHandler::SetSourceName(const std::string& source) {
    SourceName = source;
    if (OnFileStart) OnFileStart();
}

void TFileHandler::ResetCounters() {
    FilesSkipped = 0;
    FilesCopied = 0;
    BytesCopied = 0;
    BytesSkipped = 0;
    CurrentBytes = 0;
    BytesDownloaded = 0;
    MissingSources = 0;
    FireProgress();
    SourceName.clear();
    DestName.clear();
}

int64_t TFileHandler::ProcessedBytes() const {
    return BytesCopied + BytesSkipped + CurrentBytes + BytesDownloaded;
}

void TFileHandler::DownloadWorkBegin(int64_t /*maximum*/) {
    lastDownloadPosition_ = 0;
}

void TFileHandler::DownloadWork(int64_t count) {
    BytesDownloaded += count - lastDownloadPosition_;
    lastDownloadPosition_ = count;
    FireProgress();
}

void TFileHandler::AddCopied(int32_t files, int64_t bytes) {
    // The events see the bytes in CurrentBytes only, so that ProcessedBytes
    // never counts them twice.
    CurrentBytes = bytes;
    FilesCopied += files;
    FireFileDone(FileKind::Copied);
    BytesCopied += bytes;
    CurrentBytes = 0;
}

void TFileHandler::RefuseFile(const std::string& source, const std::string& dest) {
    SetFileNames(source, dest);
    CurrentBytes = 0;
    FireFileDone(FileKind::Failed);
}

void TFileHandler::CountSkipped(const std::string& pattern, const std::string& destFolder) {
    // One decision for every file it is about, each under its own name.
    int32_t found = 0;
    plat::DirSearch search;
    if (search.first(pattern)) {
        do {
            const plat::DirEntry& e = search.entry();
            if (e.name == "." || e.name == "..") continue;
            ++found;
            SetFileNames(ExtractFilePath(pattern) + e.name, destFolder + e.name);
            CurrentBytes = static_cast<int64_t>(e.size);
            ++FilesSkipped;
            FireFileDone(FileKind::Skipped);
            BytesSkipped += CurrentBytes;
            CurrentBytes = 0;
        } while (search.next());
    }
    if (found == 0) {
        ++MissingSources;
        InfoMessage(ActiveForm, "Nicht gefunden:\r" + pattern);
    }
}

int TFileHandler::CompareFileEntries(const std::string& sourcePath, const plat::DirEntry& source,
                                     plat::DirEntry& dest) {
    const int64_t destSize = static_cast<int64_t>(dest.size);
    int64_t contentSize = static_cast<int64_t>(source.size);
    int verdict = 1;
    if (source.size == PlaceholderSize) {
        if (auto recorded = PlaceholderContentSize(sourcePath)) {
            contentSize = *recorded;
            verdict = 2;
        }
    }
    CurrentBytes = contentSize;
    if (contentSize != destSize) return verdict;
    if (dest.writeTime == source.writeTime) return 0;
    // FAT keeps times in 2-second steps, rounded up: a destination on such a
    // step at most 2 s after the source is the same file copied to FAT.
    const int64_t ahead = Signed(dest.writeTime) - Signed(source.writeTime);
    if (Signed(dest.writeTime) % FatTick == 0 && ahead > 0 && ahead <= FatTick) {
        if (verdict == 2) return 0;
        dest.writeTime = source.writeTime - 10;
    }
    return verdict;
}

CopyResult TFileHandler::NotCopied(FileKind kind, CopyResult result) {
    CurrentBytes = 0;
    FireFileDone(kind);
    return result;
}

void TFileHandler::SkipFile(const plat::DirEntry& source, const plat::DirEntry& dest, int64_t size,
                            FileKind kind) {
    CurrentBytes = size;
    ++FilesSkipped;
    FireFileDone(kind);
    BytesSkipped += size;
    CurrentBytes = 0;
    CheckAbort();
    if (dest.writeTime == 0) return;
    if (!(dest.attributes & plat::kAttrArchive))
        effects_->SetAttributes(DestName, WithArchive(dest.attributes));
    // A destination on FAT carries the source's time rounded to 2 seconds:
    // give it the exact time so that the next comparison sees it as equal.
    const int64_t diff = Signed(dest.writeTime) - Signed(source.writeTime);
    if (diff != 0 && Signed(dest.writeTime) % FatTick == 0 && diff >= -FatTick && diff <= FatTick &&
        source.size == dest.size)
        effects_->SetWriteTime(DestName, source.writeTime);
}

CopyResult TFileHandler::CopyFile(const std::string& source, const std::string& dest,
                                  plat::FileTime minTime, CopyMode& mode) {
    CurrentBytes = 0;
    SetFileNames(source, dest);
    // Copies of a killed run are cleared from every folder the copier works in,
    // also where it finds nothing to copy.
    effects_->RemoveStaleFiles(ExtractFilePath(dest));
    auto src = plat::statPath(source);
    if (!src || (src->attributes & plat::kAttrDirectory))
        return NotCopied(FileKind::Failed, CopyResult::NotCopied);
    // The destination as the run's effects see it (a plan: after its changes).
    plat::DirEntry dst{};
    bool found = effects_->Entry(dest, dst);
    if (!found) {
        if (const std::optional<uint32_t> attributes = effects_->Attributes(dest)) {
            dst.attributes = *attributes;
            found = true;
        }
    }
    int64_t sourceSize = static_cast<int64_t>(src->size);

    // A destination that stays: kept (skipped), or not updated because the
    // user cancelled or only a placeholder was there to copy.
    auto skip = [&](CopyResult result) {
        const FileKind kind = result == CopyResult::Abort       ? FileKind::Cancelled
                              : result == CopyResult::NotCopied ? FileKind::Failed
                                                                : FileKind::Skipped;
        SkipFile(*src, dst, sourceSize, kind);
        return result;
    };
    auto question = [&](CopyQuestion::Kind kind) {
        CopyQuestion q;
        q.kind = kind;
        q.source = source;
        q.dest = dest;
        q.sourceTime = src->writeTime;
        q.destTime = dst.writeTime;
        q.sourceSize = static_cast<uint64_t>(sourceSize);
        q.destSize = dst.size;
        return q;
    };
    // Replace the destination? Copy and CopyAll go on to the copy.
    auto overwrite = [&](CopyQuestion::Kind kind) -> std::optional<CopyResult> {
        switch (Ask(question(kind))) {
        case CopyAnswer::Cancel:
            return skip(CopyResult::Abort);
        case CopyAnswer::Skip:
            return skip(CopyResult::Done);
        case CopyAnswer::CopyAll:
            mode = CopyMode::Copy;
            return std::nullopt;
        case CopyAnswer::Copy:
            return std::nullopt;
        }
        return std::nullopt;
    };

    switch (mode) {
    case CopyMode::AskAlways:
        if (auto kept = overwrite(CopyQuestion::Kind::AskAlways)) return *kept;
        break;
    case CopyMode::Keep:
        return skip(CopyResult::Done);
    case CopyMode::CompareAsk:
    case CopyMode::CompareCopy:
        switch (CompareFileEntries(source, *src, dst)) {
        case 0:
            sourceSize = CurrentBytes;
            return skip(CopyResult::Done);
        case 2:
            if (Ask(question(CopyQuestion::Kind::Placeholder)) == CopyAnswer::Skip)
                return skip(CopyResult::NotCopied);
            return NotCopied(FileKind::Cancelled, CopyResult::Abort);
        default:
            if (Signed(dst.writeTime) < Signed(src->writeTime) || dst.size == 0 ||
                mode == CopyMode::CompareCopy)
                break;
            if (auto kept = overwrite(Signed(dst.writeTime) > Signed(src->writeTime)
                                          ? CopyQuestion::Kind::DestNewer
                                          : CopyQuestion::Kind::DestOtherSize))
                return *kept;
            break;
        }
        break;
    case CopyMode::Copy:
        break;
    }
    return CopyContents(*src, found ? &dst : nullptr, minTime);
}

CopyResult TFileHandler::CopyContents(const plat::DirEntry& source, const plat::DirEntry* dest,
                                      plat::FileTime minTime) {
    CurrentBytes = 0;
    plat::File in;
    if (!in.open(SourceName, plat::OpenMode::Read))
        return NotCopied(FileKind::Failed, CopyResult::NotCopied);
    if (source.size == PlaceholderSize && IsPlaceholderFile(SourceName))
        return NotCopied(FileKind::Failed, CopyResult::NotCopied);

    // The destination is replaced only by a complete copy. One that cannot be
    // written (read-only, or locked by a running program) is refused before
    // any byte is copied.
    if (dest) {
        if (dest->attributes & plat::kAttrReadOnly)
            return NotCopied(FileKind::Failed, CopyResult::NotCopied);
        if (!effects_->CanReplace(DestName))
            return NotCopied(FileKind::Failed, CopyResult::NotCopied);
    }
    uint32_t error = 0;
    const std::unique_ptr<PendingFile> out =
        effects_->BeginFile(ExtractFilePath(DestName), ".tmp", error);
    if (!out) return NotCopied(FileKind::Failed, CopyResult::NotCopied);

    // Room for a large copy is taken at once where the file system can: the
    // copy lies together on the disk. A full disk is still found by the copy.
    if (source.size > BufferSize) out->Reserve(source.size);

    // Block by block: one read and one write (or one copy inside the kernel
    // where the system offers it), then progress, the abort flag and messages.
    // In large files kernel copies grow while a step is quick and shrink when
    // one is slow, so that progress and Cancel still come at least ten times a
    // second.
    char* buffer = Buffer();
    uint64_t step = BufferSize;
    const bool growing = source.size > MaxStep;
    for (;;) {
        const uint64_t started = plat::tickCount();
        const int64_t copied = out->CopyFrom(in, step, buffer, BufferSize);
        if (copied == 0) break;
        const uint64_t took = plat::tickCount() - started;
        if (growing && copied == static_cast<int64_t>(step) && took < SlowStepMs / 4 &&
            step < MaxStep)
            step = std::min(step * 2, MaxStep);
        else if (took > SlowStepMs && step > BufferSize)
            step /= 2;
        if (copied > 0) CurrentBytes += copied;
        FireProgress();
        if (copied < 0) {
            // Disk full or a read error: the previous destination stays.
            out->Discard();
            CurrentBytes = 0;
            ReportNotCopied(SourceName);
            return NotCopied(FileKind::Failed, CopyResult::NotCopied);
        }
        if (AbortRequested) {
            out->Discard();
            return NotCopied(FileKind::Cancelled, CopyResult::Abort);
        }
        CheckAbort();
    }
    in.close();

    // Stamp and mark the copy before it takes the destination's place; it
    // keeps the replaced file's creation time and attributes.
    const plat::FileTime stamp =
        Signed(minTime) > Signed(source.writeTime) ? minTime : source.writeTime;
    std::optional<plat::FileTime> creation;
    if (dest && dest->creationTime != 0) creation = dest->creationTime;
    out->Finish(creation, stamp);
    // A new file carries the archive bit already; hidden and system bits of
    // the file it replaces are kept.
    if (dest && (dest->attributes & (plat::kAttrHidden | plat::kAttrSystem)))
        out->SetAttributes(WithArchive(dest->attributes));
    if (!out->Commit(DestName)) return NotCopied(FileKind::Failed, CopyResult::NotCopied);

    ++FilesCopied;
    FireFileDone(FileKind::Copied);
    BytesCopied += CurrentBytes;
    CurrentBytes = 0;
    return CopyResult::Done;
}

CopyResult TFileHandler::CopyOneFile(const std::string& source, const std::string& dest,
                                     int32_t dosTime, CopyMode mode) {
    Buffer();
    plat::FileTime minTime = dosTime != 0 ? DosTimeToFileTime(dosTime).first : 0;
    return CopyFile(source, dest, minTime, mode);
}

CopyResult TFileHandler::CopyFiles(const std::string& sourceFolder, const std::string& destFolder,
                                   const std::string& mask, int32_t dosTime, bool reportMissing,
                                   int& count, CopyMode mode) {
    const std::string from = AddBackslash(sourceFolder);
    const std::string to = AddBackslash(destFolder);

    // The names are taken first so that files this call creates (also in a
    // destination inside the source folder) are never picked up.
    std::vector<std::string> names;
    plat::DirSearch search;
    if (search.first(from + mask)) {
        do {
            const plat::DirEntry& e = search.entry();
            if (e.attributes & (plat::kAttrDirectory | plat::kAttrSystem | 0x08)) continue;
            if (e.name == "." || e.name == "..") continue;
            names.push_back(e.name);
        } while (search.next());
    }
    if (names.empty()) {
        if (!reportMissing) return CopyResult::Done;
        CopyQuestion question;
        question.kind = CopyQuestion::Kind::NothingFound;
        question.source = from;
        question.dest = to;
        question.mask = mask;
        return Ask(question) == CopyAnswer::Cancel ? CopyResult::Abort : CopyResult::NotCopied;
    }

    ForceFolders(to);
    CopyResult result = CopyResult::Done;
    Buffer();
    plat::FileTime minTime = dosTime != 0 ? DosTimeToFileTime(dosTime).first : 0;
    for (const std::string& name : names) {
        const CopyResult r =
            AbortRequested ? CopyResult::Abort : CopyFile(from + name, to + name, minTime, mode);
        if (r == CopyResult::NotCopied) {
            InfoMessage(ActiveForm,
                        "from: " + from + "\r" + "to: " + to + "\r" + name + " not copied");
            result = CopyResult::NotCopied;
        } else if (r == CopyResult::Abort) {
            result = CopyResult::Abort;
            break;
        } else {
            ++count;
        }
    }
    return result;
}

CopyResult TFileHandler::CopyTree(const std::string& sourceFolder, const std::string& destFolder,
                                  const std::string& mask, int32_t dosTime, bool reportMissing,
                                  int& count, CopyMode mode) {
    std::string from = sourceFolder;
    std::string to = destFolder;
    EnsureBackslash(from);
    EnsureBackslash(to);
    const int before = count;

    CopyResult result = CopyFiles(from, to, mask, dosTime, false, count, mode);
    TFileList subfolders = CreateSubfolderList(from);
    for (const FileListEntry& sub : subfolders) {
        const CopyResult r =
            CopyTree(from + sub.name, to + sub.name, mask, dosTime, false, count, mode);
        if (r != CopyResult::Done) result = r;
    }
    if (reportMissing && count == before) result = CopyResult::NotCopied;
    return result;
}

namespace {

// The length of the part of a path that no folder creation can make: "C:",
// or "\\server\share" of a network path (the server and its share are no
// folders to create).
size_t RootLength(const std::string& path) {
    if (path.rfind("\\\\", 0) != 0) return 2;
    const size_t server = path.find('\\', 2);
    if (server == std::string::npos) return path.size();
    return std::min(path.find('\\', server + 1), path.size());
}

} // namespace

bool TFileHandler::ForceFolders(const std::string& folder) {
    std::string path = folder;
    if (!path.empty() && path.back() == '\\') path.pop_back();
    if (path.size() <= RootLength(path) || effects_->FolderExists(path)) return true;
    auto pos = path.find_last_of('\\');
    std::string parent = pos == std::string::npos ? std::string() : path.substr(0, pos);
    if (parent.size() < path.size() && ForceFolders(parent)) {
        if (const uint32_t error = effects_->CreateFolder(path); error != 0) {
            // Another program may have made it meanwhile.
            if (!effects_->FolderExists(path))
                throw SetupError(path + "\rkann nicht angelegt werden (" + std::to_string(error) +
                                 ")");
            return true;
        }
        log::Line("FOLDER", {path});
        if (OnFolderCreated) OnFolderCreated(path);
        return true;
    }
    return false;
}

TFileHandler& SharedFileHandler() {
    static TFileHandler shared;
    return shared;
}

bool ForceFoldersShared(const std::string& folder) {
    return SharedFileHandler().ForceFolders(folder);
}

CopyResult CopyFileShared(const std::string& source, const std::string& dest, int32_t dosTime,
                          CopyMode mode, std::function<void()> onProgress) {
    TFileHandler& copier = SharedFileHandler();
    struct Unbind {
        TFileHandler& c;
        ~Unbind() { c.OnProgress = nullptr; }
    } unbind{copier};
    copier.OnProgress = std::move(onProgress);
    return copier.CopyOneFile(source, dest, dosTime, mode);
}

FileCount CountFiles(const std::string& pattern, bool reportMissing) {
    FileCount found;
    plat::DirSearch search;
    if (search.first(pattern)) {
        do {
            const plat::DirEntry& e = search.entry();
            if (e.name == "." || e.name == "..") continue;
            ++found.count;
            found.bytes += static_cast<int64_t>(e.size);
        } while (search.next());
    }
    if (reportMissing && found.count == 0) InfoMessage(ActiveForm, "Nicht gefunden:\r" + pattern);
    return found;
}

std::pair<plat::FileTime, uint32_t> DosTimeToFileTime(int32_t dosTime) {
    if (auto t = DosDateToFileTime(dosTime)) return {*t, 0};
    return {0, plat::kErrInvalidParameter};
}

uint32_t SetFileTimes(const std::string& path, plat::FileTime writeTime) {
    plat::File f;
    if (!f.open(path, plat::OpenMode::Write)) return f.lastError();
    if (!f.setTimes(std::nullopt, std::nullopt, writeTime)) return f.lastError();
    return 0;
}

bool IsPlaceholderFile(const std::string& path) {
    return PlaceholderContentSize(path).has_value();
}

} // namespace setup
