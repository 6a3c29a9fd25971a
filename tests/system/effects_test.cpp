// The effects of a whole run pass through the run's Effects: a decorator that
// notes each call and passes it on to the machine sees every folder, file,
// move, registry value and shortcut the log reports.
#include <algorithm>
#include <string>
#include <vector>

#include "common/Effects.h"
#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "platform/FileSystem.h"

namespace {

// Notes "<what> <path>" of each change, then lets the machine do it.
class NotingEffects final : public setup::Effects {
  public:
    std::vector<std::string> changes;
    int reads = 0;

    bool FileExists(const std::string& path) override {
        ++reads;
        return direct_.FileExists(path);
    }
    bool FolderExists(const std::string& path) override {
        ++reads;
        return direct_.FolderExists(path);
    }
    std::optional<uint32_t> Attributes(const std::string& path) override {
        ++reads;
        return direct_.Attributes(path);
    }
    bool Entry(const std::string& path, plat::DirEntry& entry) override {
        ++reads;
        return direct_.Entry(path, entry);
    }
    std::optional<std::string> RegistryString(plat::RegRoot root, const std::string& key,
                                              const std::string& name) override {
        ++reads;
        return direct_.RegistryString(root, key, name);
    }
    bool RegistryKeyExists(plat::RegRoot root, const std::string& key) override {
        ++reads;
        return direct_.RegistryKeyExists(root, key);
    }
    bool CanReplace(const std::string& path) override {
        ++reads;
        return direct_.CanReplace(path);
    }
    std::optional<setup::RegistryValue> ReadRegistryValue(plat::RegRoot root,
                                                          const std::string& key,
                                                          const std::string& name) override {
        ++reads;
        return direct_.ReadRegistryValue(root, key, name);
    }
    uint32_t CreateFolder(const std::string& path) override {
        changes.push_back("folder " + path);
        return direct_.CreateFolder(path);
    }
    std::unique_ptr<setup::PendingFile>
    BeginFile(const std::string& folder, const std::string& extension, uint32_t& error) override {
        std::unique_ptr<setup::PendingFile> file = direct_.BeginFile(folder, extension, error);
        return file ? std::make_unique<Noted>(std::move(file), changes) : nullptr;
    }
    void RemoveStaleFiles(const std::string& folder) override { direct_.RemoveStaleFiles(folder); }
    bool MoveFile(const std::string& from, const std::string& to, bool replace) override {
        changes.push_back("move " + from + " " + to);
        return direct_.MoveFile(from, to, replace);
    }
    bool DeleteFile(const std::string& path) override {
        changes.push_back("delete " + path);
        return direct_.DeleteFile(path);
    }
    bool RemoveFolder(const std::string& path) override {
        changes.push_back("rmdir " + path);
        return direct_.RemoveFolder(path);
    }
    bool DeleteFileAtRestart(const std::string& path) override {
        changes.push_back("delete at restart " + path);
        return direct_.DeleteFileAtRestart(path);
    }
    bool SetAttributes(const std::string& path, uint32_t attributes) override {
        changes.push_back("attributes " + path);
        return direct_.SetAttributes(path, attributes);
    }
    uint32_t SetWriteTime(const std::string& path, plat::FileTime time) override {
        changes.push_back("time " + path);
        return direct_.SetWriteTime(path, time);
    }
    setup::RegistryWrite SetRegistryString(plat::RegRoot root, const std::string& key,
                                           const std::string& name,
                                           const std::string& value) override {
        changes.push_back("reg " + key + "|" + name);
        return direct_.SetRegistryString(root, key, name, value);
    }
    setup::RegistryWrite SetRegistryDword(plat::RegRoot root, const std::string& key,
                                          const std::string& name, uint32_t value) override {
        changes.push_back("reg " + key + "|" + name);
        return direct_.SetRegistryDword(root, key, name, value);
    }
    uint32_t CreateRegistryKey(plat::RegRoot root, const std::string& key) override {
        changes.push_back("key " + key);
        return direct_.CreateRegistryKey(root, key);
    }
    uint32_t WriteRegistryValue(plat::RegRoot root, const std::string& key, const std::string& name,
                                const setup::RegistryValue& value) override {
        changes.push_back("reg " + key + "|" + name);
        return direct_.WriteRegistryValue(root, key, name, value);
    }
    uint32_t DeleteRegistryValue(plat::RegRoot root, const std::string& key,
                                 const std::string& name) override {
        changes.push_back("unreg " + key + "|" + name);
        return direct_.DeleteRegistryValue(root, key, name);
    }
    uint32_t DeleteRegistryKey(plat::RegRoot root, const std::string& key) override {
        changes.push_back("unkey " + key);
        return direct_.DeleteRegistryKey(root, key);
    }
    int32_t CreateShortcut(const setup::ShortcutSpec& spec, uint16_t hotKey,
                           std::string& error) override {
        changes.push_back("link " + spec.LinkFile);
        return direct_.CreateShortcut(spec, hotKey, error);
    }
    int AddFontResource(const std::string& file) override {
        changes.push_back("font " + file);
        return direct_.AddFontResource(file);
    }
    uint32_t RemoveFontResource(const std::string& file) override {
        changes.push_back("unfont " + file);
        return direct_.RemoveFontResource(file);
    }
    uint32_t CreateScalableFontResource(const std::string& fotFile, const std::string& fontFile,
                                        const std::string& folder) override {
        changes.push_back("fot " + fotFile);
        return direct_.CreateScalableFontResource(fotFile, fontFile, folder);
    }
    void BroadcastFontChange() override { changes.push_back("broadcast fonts"); }
    void BroadcastWinIniChange() override { changes.push_back("broadcast winini"); }
    bool StartProgram(const std::string& commandLine, const std::string& folder) override {
        changes.push_back("start " + commandLine);
        return direct_.StartProgram(commandLine, folder);
    }
    bool ShellExecute(const std::string& verb, const std::string& file,
                      const std::string& parameters, uintptr_t owner) override {
        changes.push_back("shell " + verb + " " + file);
        return direct_.ShellExecute(verb, file, parameters, owner);
    }

    size_t Count(const std::string& prefix) const {
        return static_cast<size_t>(std::count_if(changes.begin(), changes.end(), [&](auto& c) {
            return c.compare(0, prefix.size(), prefix) == 0;
        }));
    }
    bool Has(const std::string& change) const {
        return std::find(changes.begin(), changes.end(), change) != changes.end();
    }

  private:
    // A file written beside its destination: its commit is the change.
    class Noted final : public setup::PendingFile {
      public:
        Noted(std::unique_ptr<setup::PendingFile> file, std::vector<std::string>& changes)
            : file_(std::move(file)), changes_(changes) {}
        bool Write(const void* data, size_t size) override { return file_->Write(data, size); }
        int64_t CopyFrom(plat::File& source, uint64_t count, void* buffer,
                         uint64_t bufferSize) override {
            return file_->CopyFrom(source, count, buffer, bufferSize);
        }
        void Reserve(uint64_t size) override { file_->Reserve(size); }
        bool Flush() override { return file_->Flush(); }
        uint32_t LastError() const override { return file_->LastError(); }
        bool Finish(std::optional<plat::FileTime> creation, plat::FileTime time) override {
            return file_->Finish(creation, time);
        }
        bool SetAttributes(uint32_t attributes) override {
            return file_->SetAttributes(attributes);
        }
        bool Commit(const std::string& dest) override {
            changes_.push_back("write " + dest);
            return file_->Commit(dest);
        }
        void Discard() override { file_->Discard(); }

      private:
        std::unique_ptr<setup::PendingFile> file_;
        std::vector<std::string>& changes_;
    };

    setup::Effects& direct_ = setup::DirectEffects();
};

class EffectsTest : public enginetest::EngineEnv {};

TEST_F(EffectsTest, EveryChangeOfARunGoesThroughTheRunsEffects) {
    testenv::WriteFile(scratch_ + "src\\bin\\tool.exe", "MZ");
    testenv::WriteFile(scratch_ + "src\\bin\\readme.txt", "Ziel: %DIR%");
    testenv::WriteFile(scratch_ + "install.ins",
                       "[Project]\r\nName=SetupTestEffects\r\nGroup=SetupTestEffects\r\n"
                       "Part1=Tool\r\nIPath=src\r\nDelExt=.OLD\r\n"
                       "[Tool]\r\nDir=bin\r\nFile1=tool.exe\r\nFileReadOnly1=1\r\n"
                       "FileMacro1=readme.txt\r\nExecute=tool.exe\r\n"
                       "Register1=U\\Software\\SetupTestEffects\\Folder=%DIR%\r\n"
                       "Extension=setuptesteffects=%DIR%tool.exe \"%1\"\r\n"
                       "UnInst=%DIR%tool.exe /remove\r\n"
                       "[Register]\r\nR1=SetupTestEffects.Key\r\nR2=SetupTestEffects.File=W\r\n");
    // A file of an earlier version that the project no longer ships.
    testenv::WriteFile(scratch_ + "Ziel\\bin\\gone.old", "old");

    Answers("zeigen => No\n"); // no Explorer window in the tests
    NotingEffects effects;
    setup::TFileHandler copier;
    setup::TScriptInstall engine(nullptr, copier, effects);
    engine.LoadScript(scratch_ + "install.ins");
    engine.SetTargetDir(scratch_ + "Ziel");
    ASSERT_TRUE(engine.RunInstallation(nullptr)) << Log();

    const std::string target = engine.TargetDir();
    const std::string bin = target + "bin\\";
    EXPECT_TRUE(effects.Has("write " + bin + "tool.exe"));
    EXPECT_TRUE(effects.Has("attributes " + bin + "tool.exe")); // FileReadOnly1
    EXPECT_TRUE(effects.Has("write " + bin + "readme.txt"));
    EXPECT_TRUE(effects.Has("write " + target + "UNUSED.TXT"));
    EXPECT_TRUE(effects.Has("write " + target + "cf.txt"));
    EXPECT_EQ(1u, effects.Count("move "));
    EXPECT_EQ(1u, effects.Count("key SetupTestEffects.Key"));
    EXPECT_EQ(1u, effects.Count("broadcast winini"));
    EXPECT_GT(effects.reads, 0);

    // What the log reports as done went through the effects, one for one.
    EXPECT_EQ(LogLines("REG ").size(), effects.Count("reg ")) << Log();
    EXPECT_EQ(LogLines("LINK ").size(), effects.Count("link "));
    EXPECT_EQ(1u, effects.Count("link "));
    EXPECT_EQ(LogLines("FOLDER ").size(), effects.Count("folder "));
    EXPECT_EQ(LogLines("MOVE ").size(), effects.Count("move "));
    EXPECT_TRUE(plat::fileExists(bin + "tool.exe"));
    EXPECT_TRUE(plat::fileExists(target + "old\\bin\\gone.old"));
}

} // namespace
