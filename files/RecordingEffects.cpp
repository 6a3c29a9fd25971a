// The recording effects: each change is passed on and written to the journal
// of the run, before the act where the record must hold it should the run be
// killed right after (a copy's File line before the rename that completes it,
// a value's old content before it is replaced, a key before it is created).
#include "files/RecordingEffects.h"

#include "common/Paths.h"
#include "platform/Fonts.h"

namespace setup {

namespace {

// A file being written whose File line (size and time of the finished copy)
// goes to the journal before it takes its destination's place.
class RecordingPendingFile final : public PendingFile {
  public:
    RecordingPendingFile(std::unique_ptr<PendingFile> inner, record::RecordJournal& journal,
                         Effects& effects)
        : inner_(std::move(inner)), journal_(journal), effects_(effects) {}

    bool Write(const void* data, size_t size) override {
        const bool written = inner_->Write(data, size);
        if (written) size_ += size;
        return written;
    }
    int64_t CopyFrom(plat::File& source, uint64_t count, void* buffer,
                     uint64_t bufferSize) override {
        const int64_t copied = inner_->CopyFrom(source, count, buffer, bufferSize);
        if (copied > 0) size_ += static_cast<uint64_t>(copied);
        return copied;
    }
    void Reserve(uint64_t size) override { inner_->Reserve(size); }
    bool Flush() override { return inner_->Flush(); }
    uint32_t LastError() const override { return inner_->LastError(); }
    bool Finish(std::optional<plat::FileTime> creation, plat::FileTime writeTime) override {
        const bool stamped = inner_->Finish(creation, writeTime);
        if (stamped) writeTime_ = writeTime;
        return stamped;
    }
    bool SetAttributes(uint32_t attributes) override { return inner_->SetAttributes(attributes); }
    bool Commit(const std::string& dest) override {
        if (writeTime_) journal_.Append(record::FileLine{dest, size_, *writeTime_});
        const bool committed = inner_->Commit(dest);
        // A copy whose time was not set: recorded as it is in place.
        plat::DirEntry entry;
        if (committed && !writeTime_ && effects_.Entry(dest, entry))
            journal_.Append(record::FileLine{dest, entry.size, entry.writeTime});
        return committed;
    }
    void Discard() override { inner_->Discard(); }

  private:
    std::unique_ptr<PendingFile> inner_;
    record::RecordJournal& journal_;
    Effects& effects_;
    uint64_t size_ = 0;
    std::optional<plat::FileTime> writeTime_;
};

} // namespace

uint32_t RecordingEffects::CreateFolder(const std::string& path) {
    const uint32_t error = inner_.CreateFolder(path);
    if (error == 0 && journal_) journal_->Append(record::FolderLine{AddBackslash(path)});
    return error;
}

std::unique_ptr<PendingFile> RecordingEffects::BeginFile(const std::string& folder,
                                                         const std::string& extension,
                                                         uint32_t& error) {
    std::unique_ptr<PendingFile> file = inner_.BeginFile(folder, extension, error);
    if (!file || !journal_) return file;
    return std::make_unique<RecordingPendingFile>(std::move(file), *journal_, inner_);
}

void RecordingEffects::RecordFileAt(const std::string& path, const std::string& recordAs,
                                    std::optional<plat::FileTime> time) {
    plat::DirEntry entry;
    if (inner_.Entry(path, entry))
        journal_->Append(record::FileLine{recordAs, entry.size, time.value_or(entry.writeTime)});
}

bool RecordingEffects::MoveFile(const std::string& from, const std::string& to, bool replace) {
    // An installed file that moves is recorded where it goes.
    if (journal_ && journal_->HasFile(from)) RecordFileAt(from, to);
    return inner_.MoveFile(from, to, replace);
}

uint32_t RecordingEffects::SetWriteTime(const std::string& path, plat::FileTime time) {
    const bool recorded = journal_ && journal_->HasFile(path);
    if (recorded) RecordFileAt(path, path, time);
    const uint32_t error = inner_.SetWriteTime(path, time);
    // The line written before holds a time the file did not get.
    if (recorded && error != 0) RecordFileAt(path, path);
    return error;
}

void RecordingEffects::RecordMissingKeys(plat::RegRoot root, const std::string& key) {
    if (key.empty() || inner_.RegistryKeyExists(root, key)) return;
    bool missing = false;
    for (size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
        const std::string level = key.substr(0, end);
        if (!level.empty() && level.back() != '\\') {
            missing = missing || !inner_.RegistryKeyExists(root, level);
            if (missing) journal_->Append(record::KeyLine{root, level});
        }
        if (end == std::string::npos) break;
    }
}

void RecordingEffects::RecordValue(plat::RegRoot root, const std::string& key,
                                   const std::string& name) {
    if (!journal_) return;
    RecordMissingKeys(root, key);
    journal_->Append(record::ValueLine{root, key, name, inner_.ReadRegistryValue(root, key, name)});
}

RegistryWrite RecordingEffects::SetRegistryString(plat::RegRoot root, const std::string& key,
                                                  const std::string& name,
                                                  const std::string& value) {
    RecordValue(root, key, name);
    return inner_.SetRegistryString(root, key, name, value);
}

RegistryWrite RecordingEffects::SetRegistryDword(plat::RegRoot root, const std::string& key,
                                                 const std::string& name, uint32_t value) {
    RecordValue(root, key, name);
    return inner_.SetRegistryDword(root, key, name, value);
}

uint32_t RecordingEffects::WriteRegistryValue(plat::RegRoot root, const std::string& key,
                                              const std::string& name, const RegistryValue& value) {
    RecordValue(root, key, name);
    return inner_.WriteRegistryValue(root, key, name, value);
}

uint32_t RecordingEffects::CreateRegistryKey(plat::RegRoot root, const std::string& key) {
    if (journal_) RecordMissingKeys(root, key);
    return inner_.CreateRegistryKey(root, key);
}

int32_t RecordingEffects::CreateShortcut(const ShortcutSpec& spec, uint16_t hotKey,
                                         std::string& error) {
    if (journal_) journal_->Append(record::LinkLine{spec.LinkFile});
    return inner_.CreateShortcut(spec, hotKey, error);
}

int RecordingEffects::AddFontResource(const std::string& file) {
    if (journal_) {
        std::string name = plat::fontResourceName(file);
        if (name.empty()) {
            name = ExtractFileName(file);
            if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
                name.resize(dot);
        }
        journal_->Append(record::FontLine{file, name});
    }
    return inner_.AddFontResource(file);
}

} // namespace setup
