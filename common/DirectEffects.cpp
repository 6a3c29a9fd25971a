// The effects of a run carried out on the machine through the platform layer.
#include "common/Effects.h"

#include "common/TempFile.h"
#include "platform/Fonts.h"
#include "platform/Process.h"
#include "platform/ShellLink.h"

namespace setup {

namespace {

class DirectPendingFile final : public PendingFile {
  public:
    TempFile temp;
    bool Write(const void* data, size_t size) override {
        return temp.file().write(data, size) == static_cast<int64_t>(size);
    }
    int64_t CopyFrom(plat::File& source, uint64_t count, void* buffer,
                     uint64_t bufferSize) override {
        return temp.file().copyFrom(source, count, buffer, bufferSize);
    }
    void Reserve(uint64_t size) override { temp.file().reserve(size); }
    bool Flush() override { return temp.file().flush(); }
    uint32_t LastError() const override { return const_cast<TempFile&>(temp).file().lastError(); }
    bool Finish(std::optional<plat::FileTime> creation, plat::FileTime writeTime) override {
        const bool stamped = temp.file().setTimes(creation, std::nullopt, writeTime);
        temp.file().close();
        return stamped;
    }
    bool SetAttributes(uint32_t attributes) override {
        return plat::setAttributes(temp.path(), attributes);
    }
    bool Commit(const std::string& dest) override { return temp.ReplaceInto(dest); }
    void Discard() override { temp.Discard(); }
};

template <typename Write>
RegistryWrite WriteValue(plat::RegRoot root, const std::string& key, Write write) {
    plat::RegKey regKey;
    RegistryWrite result;
    result.keyError = regKey.open(root, key, plat::RegAccess::All, true);
    if (result.keyError == 0) result.valueError = write(regKey);
    return result;
}

class Direct final : public Effects {
  public:
    bool FileExists(const std::string& path) override { return plat::fileExists(path); }
    bool CanReplace(const std::string& path) override {
        plat::File file;
        return file.open(path, plat::OpenMode::Write);
    }
    bool FolderExists(const std::string& path) override { return plat::folderExists(path); }
    std::optional<uint32_t> Attributes(const std::string& path) override {
        return plat::getAttributes(path);
    }
    bool Entry(const std::string& path, plat::DirEntry& entry) override {
        plat::DirSearch search;
        if (!search.first(path)) return false;
        do {
            if ((search.entry().attributes & plat::kAttrDirectory) == 0) {
                entry = search.entry();
                return true;
            }
        } while (search.next());
        return false;
    }
    std::optional<std::string> RegistryString(plat::RegRoot root, const std::string& key,
                                              const std::string& name) override {
        plat::RegKey regKey;
        std::string value;
        if (regKey.open(root, key, plat::RegAccess::Read) != 0 ||
            regKey.queryString(name, value) != 0)
            return std::nullopt;
        return value;
    }
    bool RegistryKeyExists(plat::RegRoot root, const std::string& key) override {
        return plat::regKeyExists(root, key);
    }
    std::optional<RegistryValue> ReadRegistryValue(plat::RegRoot root, const std::string& key,
                                                   const std::string& name) override {
        plat::RegKey regKey;
        RegistryValue value;
        if (regKey.open(root, key, plat::RegAccess::Read) != 0 ||
            regKey.queryValue(name, value.type, value.data) != 0)
            return std::nullopt;
        return value;
    }

    uint32_t CreateFolder(const std::string& path) override {
        if (plat::createFolder(path)) return 0;
        const uint32_t error = plat::lastError();
        return error != 0 ? error : plat::kErrPathNotFound;
    }
    std::unique_ptr<PendingFile> BeginFile(const std::string& folder, const std::string& extension,
                                           uint32_t& error) override {
        auto file = std::make_unique<DirectPendingFile>();
        if (!file->temp.Create(folder, extension)) {
            error = file->temp.file().lastError();
            if (error == 0) error = plat::kErrPathNotFound;
            return nullptr;
        }
        error = 0;
        return file;
    }
    void RemoveStaleFiles(const std::string& folder) override { TempFile::RemoveStale(folder); }
    bool MoveFile(const std::string& from, const std::string& to, bool replace) override {
        return plat::moveFile(from, to, replace);
    }
    bool DeleteFile(const std::string& path) override { return plat::deleteFile(path); }
    bool RemoveFolder(const std::string& path) override { return plat::removeFolder(path); }
    bool DeleteFileAtRestart(const std::string& path) override {
        return plat::deleteFileAtRestart(path);
    }
    bool SetAttributes(const std::string& path, uint32_t attributes) override {
        return plat::setAttributes(path, attributes);
    }
    uint32_t SetWriteTime(const std::string& path, plat::FileTime time) override {
        plat::File file;
        if (!file.open(path, plat::OpenMode::Write)) return file.lastError();
        if (!file.setTimes(std::nullopt, std::nullopt, time)) return file.lastError();
        return 0;
    }

    RegistryWrite SetRegistryString(plat::RegRoot root, const std::string& key,
                                    const std::string& name, const std::string& value) override {
        return WriteValue(root, key, [&](plat::RegKey& k) { return k.setString(name, value); });
    }
    RegistryWrite SetRegistryDword(plat::RegRoot root, const std::string& key,
                                   const std::string& name, uint32_t value) override {
        return WriteValue(root, key, [&](plat::RegKey& k) { return k.setDword(name, value); });
    }
    uint32_t CreateRegistryKey(plat::RegRoot root, const std::string& key) override {
        plat::RegKey regKey;
        return regKey.open(root, key, plat::RegAccess::All, true);
    }
    uint32_t WriteRegistryValue(plat::RegRoot root, const std::string& key, const std::string& name,
                                const RegistryValue& value) override {
        const RegistryWrite result = WriteValue(
            root, key, [&](plat::RegKey& k) { return k.setValue(name, value.type, value.data); });
        return result.keyError != 0 ? result.keyError : result.valueError;
    }
    uint32_t DeleteRegistryValue(plat::RegRoot root, const std::string& key,
                                 const std::string& name) override {
        plat::RegKey regKey;
        if (const uint32_t error = regKey.open(root, key, plat::RegAccess::All)) return error;
        return regKey.deleteValue(name);
    }
    uint32_t DeleteRegistryKey(plat::RegRoot root, const std::string& key) override {
        return plat::regDeleteEmptyKey(root, key);
    }

    int32_t CreateShortcut(const ShortcutSpec& spec, uint16_t hotKey, std::string& error) override {
        plat::ShellLink link;
        if (link.create() != 0) return -3;
        error.clear();
        if (link.setPath(spec.Path) != 0) {
            error = "SetPath failed:\r" + spec.Path;
        } else if (link.setDescription(spec.Description) != 0) {
            error = "SetDescription failed:\r" + spec.Description;
        } else if (link.setWorkingDirectory(spec.WorkingDirectory) != 0) {
            error = "SetWorkingDirectory failed:\r" + spec.WorkingDirectory;
        } else if (link.setArguments(spec.Arguments) != 0) {
            error = "SetArguments failed:\r" + spec.Arguments;
        } else if (hotKey != 0 && link.setHotkey(hotKey) != 0) {
            error = "SetHotkey failed";
        } else if (link.setShowCmd(spec.ShowCmd == 0 ? 5 : spec.ShowCmd) != 0) {
            error = "SetShowCmd failed";
        } else if (!spec.IconFile.empty() &&
                   link.setIconLocation(spec.IconFile, spec.IconIndex) != 0) {
            error =
                "SetIconLocation failed:\r" + spec.IconFile + ", " + std::to_string(spec.IconIndex);
        } else if (link.queryPersistFile() != 0) {
            error = "QueryInterface failed";
        }
        if (!error.empty()) return -1;
        return link.save(spec.LinkFile);
    }
    int AddFontResource(const std::string& file) override { return plat::addFontResource(file); }
    uint32_t RemoveFontResource(const std::string& file) override {
        return plat::removeFontResource(file);
    }
    uint32_t CreateScalableFontResource(const std::string& fotFile, const std::string& fontFile,
                                        const std::string& folder) override {
        return plat::createScalableFontResource(fotFile, fontFile, folder);
    }
    void BroadcastFontChange() override { plat::broadcastFontChange(); }
    void BroadcastWinIniChange() override { plat::broadcastWinIniChange(); }
    bool StartProgram(const std::string& commandLine, const std::string& folder) override {
        return plat::startProgram(commandLine, folder);
    }
    bool ShellExecute(const std::string& verb, const std::string& file,
                      const std::string& parameters, uintptr_t owner) override {
        return plat::shellExecute(verb, file, parameters, owner);
    }
};

} // namespace

Effects& DirectEffects() {
    static Direct direct;
    return direct;
}

} // namespace setup
