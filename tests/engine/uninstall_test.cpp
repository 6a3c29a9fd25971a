// Uninstalling from hand-written records on a real (emulated or Wine)
// Windows: what an installation did is undone, what the user changed is
// kept, a record that does not read as one changes nothing.
#include "engine/EngineTestEnv.h"
#include "engine/Uninstall.h"
#include "engine/UninstallRecord.h"

#include "common/Effects.h"
#include "platform/Emulation.h"
#include "platform/FileSystem.h"

namespace {

using enginetest::EngineEnv;
using plat::RegRoot;

const std::string kMachineKey = "Software\\UninstTest";

class UninstallTest : public EngineEnv {
  protected:
    void SetUp() override {
        EngineEnv::SetUp();
#ifdef _WIN32
        app_ = scratch_ + "App\\";
#else
        app_ = "C:\\Apps\\UninstTest\\";
#endif
        Folder(app_);
    }
    void TearDown() override {
        plat::RegKey key;
        if (key.open(RegRoot::CurrentUser, kMachineKey, plat::RegAccess::All) == 0) {
            key.deleteValue("Kept");
            key.close();
            setup::DirectEffects().DeleteRegistryKey(RegRoot::CurrentUser, kMachineKey + "\\Sub");
            setup::DirectEffects().DeleteRegistryKey(RegRoot::CurrentUser, kMachineKey);
        }
        EngineEnv::TearDown();
    }

    // What an installation does, done here and written to the journal.
    void Folder(const std::string& path) {
        plat::createFolder(path);
        journal_ += "Folder=" + path + "\r\n";
    }
    void File(const std::string& path, const std::string& bytes) {
        testenv::WriteFile(path, bytes);
        const std::optional<plat::DirEntry> entry = plat::statPath(path);
        ASSERT_TRUE(entry);
        journal_ += "File=" + path + "|" + std::to_string(entry->size) + "|" +
                    std::to_string(entry->writeTime) + "\r\n";
    }
    void Key(const std::string& key) {
        if (!plat::regKeyExists(RegRoot::CurrentUser, key))
            journal_ += "Key=HKEY_CURRENT_USER|" + key + "\r\n";
        ASSERT_EQ(0u, setup::DirectEffects().CreateRegistryKey(RegRoot::CurrentUser, key));
    }
    void Value(const std::string& key, const std::string& name, const std::string& text) {
        const std::string old = RegistryString(RegRoot::CurrentUser, key, name);
        journal_ += "Value=HKEY_CURRENT_USER|" + key + "|" + name + "|" +
                    (old.starts_with("<no ") ? "none|" : "sz|" + old) + "\r\n";
        SetRegistryString(RegRoot::CurrentUser, key, name, text);
    }
    void WriteRecord(const std::string& extra = "") {
        testenv::WriteFile(app_ + "Deinst.ins", "[Installed]\r\n" + journal_ + extra);
    }
    setup::UninstallResult Run() {
        return setup::Uninstall(setup::DirectEffects(), app_);
    }

    std::string app_;
    std::string journal_;
};

TEST_F(UninstallTest, UndoesFilesFoldersValuesAndKeysAndPutsBackReplacedValues) {
    SetRegistryString(RegRoot::CurrentUser, kMachineKey, "Kept", "before");
    Folder(app_ + "Sub\\");
    File(app_ + "a.txt", "alpha");
    File(app_ + "Sub\\b.txt", "beta");
    Key(kMachineKey);
    Key(kMachineKey + "\\Sub");
    Value(kMachineKey + "\\Sub", "New", "x");
    Value(kMachineKey, "Kept", "first run");
    // A second run into the same folder: the value from before the first stays.
    Value(kMachineKey, "Kept", "second run");
    File(app_ + "a.txt", "alpha, again");
    WriteRecord();

    const setup::UninstallResult result = Run();
    EXPECT_EQ(0, result.status);
    EXPECT_TRUE(result.kept.empty());
    EXPECT_FALSE(plat::folderExists(app_));
    EXPECT_EQ("before", RegistryString(RegRoot::CurrentUser, kMachineKey, "Kept"));
    EXPECT_EQ("<no key>", RegistryString(RegRoot::CurrentUser, kMachineKey + "\\Sub", "New"));
    // The key existed before: it stays with its value.
    EXPECT_TRUE(plat::regKeyExists(RegRoot::CurrentUser, kMachineKey));
    EXPECT_EQ(1u, LogLines("RESTORE").size()) << Log();
    const std::vector<std::string> unreg = LogLines("UNREG");
    EXPECT_EQ((std::vector<std::string>{
                  "UNREG HKEY_CURRENT_USER | " + kMachineKey + "\\Sub | New",
                  "UNREG HKEY_CURRENT_USER | " + kMachineKey + "\\Sub | ",
              }),
              unreg);
    EXPECT_EQ(1u, LogLines("DELETE " + app_ + "Deinst.ins").size());
    const std::vector<std::string> deleted = LogLines("DELETE " + app_ + "Sub\\");
    EXPECT_EQ(
        (std::vector<std::string>{"DELETE " + app_ + "Sub\\b.txt", "DELETE " + app_ + "Sub\\"}),
        deleted);
}

TEST_F(UninstallTest, AChangedFileIsKeptWithTheRecordAndItsFolder) {
    File(app_ + "a.txt", "alpha");
    File(app_ + "changed.txt", "as installed");
    WriteRecord();
    testenv::WriteFile(app_ + "changed.txt", "the user's own text");

    const setup::UninstallResult result = Run();
    EXPECT_EQ(3, result.status);
    ASSERT_EQ(1u, result.kept.size());
    EXPECT_EQ(app_ + "changed.txt", result.kept[0]);
    EXPECT_FALSE(plat::fileExists(app_ + "a.txt"));
    EXPECT_EQ("the user's own text", testenv::ReadFile(app_ + "changed.txt"));
    EXPECT_TRUE(plat::fileExists(app_ + "Deinst.ins"));
    EXPECT_EQ(1u, LogLines("FILE 2 | " + app_ + "changed.txt").size());
    EXPECT_NE(std::string::npos, setup::UninstallReport(result).find(app_ + "changed.txt"));
}

TEST_F(UninstallTest, NoToTheQuestionChangesNothing) {
    File(app_ + "a.txt", "alpha");
    WriteRecord();
    Answers("entfernen? => No\n");
    EXPECT_EQ(1, Run().status);
    EXPECT_TRUE(plat::fileExists(app_ + "a.txt"));
    EXPECT_TRUE(plat::fileExists(app_ + "Deinst.ins"));
}

TEST_F(UninstallTest, AMissingOrDamagedRecordRemovesNothing) {
    File(app_ + "a.txt", "alpha");
    EXPECT_EQ(2, Run().status);
    EXPECT_TRUE(plat::fileExists(app_ + "a.txt"));

    const std::string damaged[] = {
        std::string("\x7F"
                    "ELF\x01\x02\0\0garbage\x9C\xFF\r\n",
                    18),
        "[Installed]\r\n" + journal_ + "File=" + app_ + "b.txt|12|not a time\r\n",
        "[Installed]\r\n" + journal_ + "Value=HKEY_NOWHERE|k|n|none|\r\n",
        "[Installed]\r\n" + journal_ + "Dance=" + app_ + "\r\n",
        "[Pathes]\r\nP1=relative\\folder\r\n",
        "",
    };
    for (const std::string& text : damaged) {
        testenv::WriteFile(app_ + "Deinst.ins", text);
        const setup::UninstallResult result = Run();
        EXPECT_EQ(2, result.status) << text;
        EXPECT_FALSE(result.problem.empty());
        EXPECT_TRUE(plat::fileExists(app_ + "a.txt")) << text;
        EXPECT_TRUE(plat::fileExists(app_ + "Deinst.ins")) << text;
    }
    EXPECT_TRUE(LogLines("MSG").empty()) << "no question for a record that cannot be used";
}

TEST_F(UninstallTest, ALastLineCutShortByAKilledRunIsLeftOut) {
    File(app_ + "a.txt", "alpha");
    WriteRecord("File=" + app_ + "b.txt|12|1234");
    const setup::UninstallResult result = Run();
    EXPECT_EQ(0, result.status);
    EXPECT_FALSE(plat::folderExists(app_));
}

TEST_F(UninstallTest, AKeyThatGotOtherValuesStaysAndStaleCopiesGo) {
    Key(kMachineKey);
    Value(kMachineKey, "Ours", "1");
    File(app_ + "a.txt", "alpha");
    WriteRecord();
    SetRegistryString(RegRoot::CurrentUser, kMachineKey, "Theirs", "2");
    // A copy that a killed run left half written beside its destination.
    testenv::WriteFile(app_ + "~setup3999999_1.tmp", "half");

    EXPECT_EQ(0, Run().status);
    EXPECT_EQ("2", RegistryString(RegRoot::CurrentUser, kMachineKey, "Theirs"));
    EXPECT_EQ("<no value>", RegistryString(RegRoot::CurrentUser, kMachineKey, "Ours"));
    plat::RegKey key;
    ASSERT_EQ(0u, key.open(RegRoot::CurrentUser, kMachineKey, plat::RegAccess::All));
    key.deleteValue("Theirs");
}

TEST_F(UninstallTest, OlderRecordsPutBackAssociationsAndRemoveTheirFolders) {
    const std::string command = ".uninsttest\\shell\\open\\command";
    SetRegistryString(RegRoot::ClassesRoot, command, "", "new.exe \"%1\"");
    plat::createFolder(app_ + "Old\\");
    testenv::WriteFile(app_ + "Deinst.ins", "[Pathes]\r\nP1=" + app_ + "\r\nP2=" + app_ +
                                                "Old\\\r\n[Extensions]\r\nuninsttest=old.exe "
                                                "%1\r\n");
    EXPECT_EQ(0, Run().status);
    EXPECT_EQ("old.exe %1", RegistryString(RegRoot::ClassesRoot, command, ""));
    EXPECT_FALSE(plat::folderExists(app_));
    EXPECT_EQ(1u, LogLines("RESTORE HKEY_CLASSES_ROOT\\" + command + "\\ | old.exe %1").size())
        << Log();
}

TEST_F(UninstallTest, JournalLinesOfEveryKindReadBack) {
    const auto line = [](const char* kind, const std::string& fields) {
        return setup::ParseJournalLine(kind, fields);
    };
    const auto value = line("Value", "HKEY_LOCAL_MACHINE|A%7CB%25|n%0D%0Ax|binary|00ff10");
    ASSERT_TRUE(value);
    EXPECT_EQ("A|B%", value->key);
    EXPECT_EQ("n\r\nx", value->name);
    ASSERT_TRUE(value->before);
    EXPECT_EQ(std::string("\x00\xff\x10", 3), value->before->data);
    const auto dword = line("Value", "HKEY_CURRENT_USER|k||dword|258");
    ASSERT_TRUE(dword && dword->before);
    EXPECT_EQ(plat::RegType::Dword, dword->before->type);
    EXPECT_EQ(std::string("\x02\x01\0\0", 4), dword->before->data);
    const auto other = line("Value", "HKEY_CURRENT_USER|k|n|other:7|6100");
    ASSERT_TRUE(other && other->before);
    EXPECT_EQ(7u, static_cast<uint32_t>(other->before->type));
    EXPECT_FALSE(line("Value", "HKEY_CURRENT_USER|k|n|dword|x1"));
    EXPECT_FALSE(line("Value", "HKEY_CURRENT_USER|k|n|binary|0"));
    EXPECT_FALSE(line("File", "C:\\a|1"));
    EXPECT_FALSE(line("Link", "relative.lnk"));
    EXPECT_TRUE(line("Font", "C:\\Windows\\Fonts\\a.ttf|A Font"));
}

// Values of every kind are put back as they were, also after the registry
// was read again from its file.
TEST_F(UninstallTest, RegistryValuesOfEveryKindArePutBack) {
    setup::Effects& fx = setup::DirectEffects();
    const setup::RegistryValue values[] = {
        {plat::RegType::ExpandString, "%SystemRoot%\\x"},
        {plat::RegType::Binary, std::string("\x00\x01\xfe", 3)},
        {static_cast<plat::RegType>(7), std::string("a\0b\0\0", 5)},
        {plat::RegType::Dword, std::string("\x78\x56\x34\x12", 4)},
    };
    for (size_t i = 0; i < std::size(values); ++i)
        ASSERT_EQ(0u, fx.WriteRegistryValue(RegRoot::CurrentUser, kMachineKey + "\\Sub",
                                            "v" + std::to_string(i), values[i]));
    plat::resetEmulation();
    plat::RegKey key;
    ASSERT_EQ(0u, key.open(RegRoot::CurrentUser, kMachineKey + "\\Sub", plat::RegAccess::All));
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(values[i].type, key.valueType("v" + std::to_string(i)));
    std::string text;
    EXPECT_EQ(0u, key.queryString("v0", text));
    EXPECT_EQ("%SystemRoot%\\x", text);
    uint32_t number = 0;
    EXPECT_EQ(0u, key.queryDword("v3", number));
    EXPECT_EQ(0x12345678u, number);

    EXPECT_EQ(plat::kErrDirNotEmpty, fx.DeleteRegistryKey(RegRoot::CurrentUser, kMachineKey));
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(0u, fx.DeleteRegistryValue(RegRoot::CurrentUser, kMachineKey + "\\Sub",
                                             "v" + std::to_string(i)));
    EXPECT_EQ(0u, fx.DeleteRegistryKey(RegRoot::CurrentUser, kMachineKey + "\\Sub"));
    EXPECT_EQ(plat::kErrFileNotFound,
              fx.DeleteRegistryKey(RegRoot::CurrentUser, kMachineKey + "\\Sub"));
}

} // namespace
