// RecordingEffects: the effects of a run passed on to other effects (the
// machine, a plan) with every change written to the record of the run as it
// happens, so that an uninstaller finds what the run did even when it was
// killed half way. Without a journal every call is only passed on.
#pragma once

#include <memory>
#include <string>

#include "common/Effects.h"
#include "files/InstallRecord.h"

namespace setup {

class RecordingEffects final : public Effects {
  public:
    explicit RecordingEffects(Effects& inner) : inner_(inner) {}

    // The journal the changes go to; null: none (passed on only).
    void SetJournal(record::RecordJournal* journal) { journal_ = journal; }
    record::RecordJournal* Journal() const { return journal_; }
    Effects& Inner() const { return inner_; }
    Effects* Decorated() override { return &inner_; }

    bool FileExists(const std::string& path) override { return inner_.FileExists(path); }
    bool FolderExists(const std::string& path) override { return inner_.FolderExists(path); }
    std::optional<uint32_t> Attributes(const std::string& path) override {
        return inner_.Attributes(path);
    }
    bool Entry(const std::string& path, plat::DirEntry& entry) override {
        return inner_.Entry(path, entry);
    }
    std::optional<std::string> RegistryString(plat::RegRoot root, const std::string& key,
                                              const std::string& name) override {
        return inner_.RegistryString(root, key, name);
    }
    bool RegistryKeyExists(plat::RegRoot root, const std::string& key) override {
        return inner_.RegistryKeyExists(root, key);
    }
    bool CanReplace(const std::string& path) override { return inner_.CanReplace(path); }
    std::optional<RegistryValue> ReadRegistryValue(plat::RegRoot root, const std::string& key,
                                                   const std::string& name) override {
        return inner_.ReadRegistryValue(root, key, name);
    }

    uint32_t CreateFolder(const std::string& path) override;
    std::unique_ptr<PendingFile> BeginFile(const std::string& folder, const std::string& extension,
                                           uint32_t& error) override;
    void RemoveStaleFiles(const std::string& folder) override { inner_.RemoveStaleFiles(folder); }
    bool MoveFile(const std::string& from, const std::string& to, bool replace) override;
    bool DeleteFile(const std::string& path) override { return inner_.DeleteFile(path); }
    // Removals undo what was recorded: nothing to record.
    bool RemoveFolder(const std::string& path) override { return inner_.RemoveFolder(path); }
    bool DeleteFileAtRestart(const std::string& path) override {
        return inner_.DeleteFileAtRestart(path);
    }
    uint32_t DeleteRegistryValue(plat::RegRoot root, const std::string& key,
                                 const std::string& name) override {
        return inner_.DeleteRegistryValue(root, key, name);
    }
    uint32_t DeleteRegistryKey(plat::RegRoot root, const std::string& key) override {
        return inner_.DeleteRegistryKey(root, key);
    }
    // Attributes are no part of a record line: passed on only.
    bool SetAttributes(const std::string& path, uint32_t attributes) override {
        return inner_.SetAttributes(path, attributes);
    }
    uint32_t SetWriteTime(const std::string& path, plat::FileTime time) override;

    RegistryWrite SetRegistryString(plat::RegRoot root, const std::string& key,
                                    const std::string& name, const std::string& value) override;
    RegistryWrite SetRegistryDword(plat::RegRoot root, const std::string& key,
                                   const std::string& name, uint32_t value) override;
    uint32_t CreateRegistryKey(plat::RegRoot root, const std::string& key) override;
    uint32_t WriteRegistryValue(plat::RegRoot root, const std::string& key, const std::string& name,
                                const RegistryValue& value) override;

    int32_t CreateShortcut(const ShortcutSpec& spec, uint16_t hotKey, std::string& error) override;
    int AddFontResource(const std::string& file) override;
    uint32_t RemoveFontResource(const std::string& file) override {
        return inner_.RemoveFontResource(file);
    }
    uint32_t CreateScalableFontResource(const std::string& fotFile, const std::string& fontFile,
                                        const std::string& folder) override {
        return inner_.CreateScalableFontResource(fotFile, fontFile, folder);
    }
    void BroadcastFontChange() override { inner_.BroadcastFontChange(); }
    void BroadcastWinIniChange() override { inner_.BroadcastWinIniChange(); }
    bool StartProgram(const std::string& commandLine, const std::string& folder) override {
        return inner_.StartProgram(commandLine, folder);
    }
    bool ShellExecute(const std::string& verb, const std::string& file,
                      const std::string& parameters, uintptr_t owner) override {
        return inner_.ShellExecute(verb, file, parameters, owner);
    }

  private:
    // Key lines for the levels of key that do not exist yet, parent first.
    void RecordMissingKeys(plat::RegRoot root, const std::string& key);
    // Key lines as needed, then the Value line with what the value is now.
    void RecordValue(plat::RegRoot root, const std::string& key, const std::string& name);
    // A File line for path with its size and the given (or its own) write time.
    void RecordFileAt(const std::string& path, const std::string& recordAs,
                      std::optional<plat::FileTime> time = std::nullopt);

    Effects& inner_;
    record::RecordJournal* journal_ = nullptr;
};

} // namespace setup
