// Register lines, the [Register] section, the uninstall entry and file
// associations, on the emulated registry and under Wine on the real one.
#include <utility>

#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "platform/Emulation.h"
#include "system/RegistryEntries.h"

namespace {

using enginetest::EngineEnv;
using plat::RegRoot;

class RegistryEntriesTest : public EngineEnv {
  protected:
    // Loads a script; the Wine prefix is shared by the whole test program, so
    // every test names keys of its own.
    void Load(const std::string& text) {
        const std::string path = scratch_ + "install.ins";
        testenv::WriteFile(path, text);
        engine_.LoadScript(path);
    }
    static std::optional<uint32_t> Dword(RegRoot root, const std::string& key,
                                         const std::string& name) {
        plat::RegKey k;
        uint32_t value = 0;
        if (k.open(root, key, plat::RegAccess::Read) != 0 || k.queryDword(name, value) != 0)
            return std::nullopt;
        return value;
    }
    setup::TFileHandler copier_;
    setup::TScriptInstall engine_{nullptr, copier_};
};

TEST_F(RegistryEntriesTest, RegisterLinesWriteEachKindOfValue) {
    Load("[Project]\r\nName=RegLines\r\nRegistryNode=SetupTestNode\r\n[BASE]\r\n");
    const std::string key = "Software\\SetupTest\\Lines";
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Key=hello");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Count=#dw:$1F");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Negative=#dw:-5");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Prefix=#dw:12ab");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Zero=#dw:");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Label=#sz:abc");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Hash=#abc");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Bare");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Long=" + std::string(300, 'x'));

    EXPECT_EQ("hello", RegistryString(RegRoot::CurrentUser, key + "\\Key", ""));
    EXPECT_EQ(31u, Dword(RegRoot::CurrentUser, key, "Count"));
    EXPECT_EQ(static_cast<uint32_t>(-5), Dword(RegRoot::CurrentUser, key, "Negative"));
    EXPECT_EQ(12u, Dword(RegRoot::CurrentUser, key, "Prefix"));
    EXPECT_EQ(0u, Dword(RegRoot::CurrentUser, key, "Zero"));
    EXPECT_EQ("abc", RegistryString(RegRoot::CurrentUser, key, "Label"));
    EXPECT_EQ("#abc", RegistryString(RegRoot::CurrentUser, key, "Hash"));
    EXPECT_EQ("", RegistryString(RegRoot::CurrentUser, key + "\\Bare", ""));
    EXPECT_EQ(std::string(255, 'x'), RegistryString(RegRoot::CurrentUser, key + "\\Long", ""));
    EXPECT_EQ(9u, LogLines("REG ").size());
    EXPECT_EQ(1u, LogLines("REG HKEY_CURRENT_USER | Software\\SetupTest\\Lines | Count | "
                           "REG_DWORD | 31")
                      .size());
    EXPECT_TRUE(LogLines("MSG").empty());

    // The obsolete notation lies below the project's node, after a message.
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "Settings\\Window=1");
    EXPECT_EQ(
        "1", RegistryString(RegRoot::CurrentUser, "SOFTWARE\\SetupTestNode\\Settings\\Window", ""));
    ASSERT_EQ(1u, LogLines("MSG").size());
    EXPECT_NE(std::string::npos,
              LogLines("MSG")[0].find("veraltete Angabe:\\r\\n[BASE]\\r\\nSettings\\Window=1"));
}

TEST_F(RegistryEntriesTest, DwordsBeyondThirtyTwoBitsAreNotWritten) {
    Load("[Project]\r\nName=RegRange\r\n[BASE]\r\n");
    const std::string key = "Software\\SetupTest\\Range";
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\AllBits=#dw:$FFFFFFFF");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Max=#dw:4294967295");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Min=#dw:-2147483648");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Big=#dw:$100000000");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Huge=#dw:99999999999999999999999");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Low=#dw:-2147483649");
    EXPECT_EQ(0xFFFFFFFFu, Dword(RegRoot::CurrentUser, key, "AllBits"));
    EXPECT_EQ(0xFFFFFFFFu, Dword(RegRoot::CurrentUser, key, "Max"));
    EXPECT_EQ(0x80000000u, Dword(RegRoot::CurrentUser, key, "Min"));
    EXPECT_EQ(std::nullopt, Dword(RegRoot::CurrentUser, key, "Big"));
    EXPECT_EQ(std::nullopt, Dword(RegRoot::CurrentUser, key, "Huge"));
    EXPECT_EQ(std::nullopt, Dword(RegRoot::CurrentUser, key, "Low"));
    EXPECT_EQ(3u, LogLines("MSG Info | SetRegistryInteger(1):").size());
}

TEST_F(RegistryEntriesTest, RegisterCondKeepsAnExistingKey) {
    Load("[Project]\r\nName=RegCond\r\n[BASE]\r\nRegisterCond=1\r\n");
    const std::string key = "Software\\SetupTest\\Cond";
    SetRegistryString(RegRoot::CurrentUser, key + "\\Old", "", "before");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\Old=after");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + key + "\\New=fresh");
    EXPECT_EQ("before", RegistryString(RegRoot::CurrentUser, key + "\\Old", ""));
    EXPECT_EQ("fresh", RegistryString(RegRoot::CurrentUser, key + "\\New", ""));

    // A path without a backslash after its first character names no value.
    EXPECT_EQ(0,
              setup::SetRegistryString(setup::DirectEffects(), RegRoot::CurrentUser, "Name", "x"));
    EXPECT_EQ(
        0, setup::SetRegistryString(setup::DirectEffects(), RegRoot::CurrentUser, "\\Name", "x"));
    EXPECT_EQ(1u, LogLines("REG ").size());
}

TEST_F(RegistryEntriesTest, RegisterSectionStopsAtTheFirstGap) {
    Load("[Project]\r\nName=RegSection\r\n[Register]\r\n"
         "R1=SetupTest.Doc\\shell\\open\\command=%WDIR%view.exe\r\n"
         "R3=SetupTest.Never=x\r\n");
    setup::RegisterClassesSection(engine_.Context());
    const std::string command =
        RegistryString(RegRoot::ClassesRoot, "SetupTest.Doc\\shell\\open\\command", "");
    EXPECT_EQ("view.exe", command.substr(command.size() - 8));
    EXPECT_FALSE(plat::regKeyExists(RegRoot::ClassesRoot, "SetupTest.Never"));

    Load("[Project]\r\nName=RegSection\r\n[Register]\r\nR1=SetupTest.Bare\r\n");
    setup::RegisterClassesSection(engine_.Context());
    EXPECT_TRUE(plat::regKeyExists(RegRoot::ClassesRoot, "SetupTest.Bare"));
}

TEST_F(RegistryEntriesTest, UninstallEntryWithGroups) {
    Load("[Project]\r\nName=RegUninst\r\nBytes=0x1388\r\n" // read as the space check reads it
         "Instit=Institut\r\n"
         "[VIEWER]\r\nName=SetupTestViewer\r\nUIcon=%DIR%viewer.exe\r\n"
         "GroupReg=U\\Software\\SetupTest\\Groups\r\n"
         "[PLAIN]\r\n");
    engine_.SetTargetDir("C:\\Apps\\Viewer");
    engine_.Context().groupList = {"C:\\Start\\Group", "C:\\Start\\Other"};
    setup::WriteUninstallEntry(
        engine_.Context(), enginetest::PartAt(engine_.Context(), "VIEWER", "C:\\Apps\\Viewer\\"),
        "C:\\Apps\\Viewer\\un.exe");

    const std::string key =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\SetupTestViewer";
    EXPECT_EQ("SetupTestViewer", RegistryString(RegRoot::LocalMachine, key, "DisplayName"));
    EXPECT_EQ("C:\\Apps\\Viewer\\un.exe",
              RegistryString(RegRoot::LocalMachine, key, "UninstallString"));
    // Windows reads the size in KiB: 5000 bytes are 5 KiB (rounded up).
    EXPECT_EQ(5u, Dword(RegRoot::LocalMachine, key, "EstimatedSize"));
    EXPECT_EQ("Institut", RegistryString(RegRoot::LocalMachine, key, "Publisher"));
    EXPECT_EQ("C:\\Apps\\Viewer\\", RegistryString(RegRoot::LocalMachine, key, "InstallLocation"));
    EXPECT_EQ("C:\\Apps\\Viewer\\viewer.exe",
              RegistryString(RegRoot::LocalMachine, key, "DisplayIcon"));
    EXPECT_EQ("C:\\Start\\Other",
              RegistryString(RegRoot::CurrentUser, "Software\\SetupTest\\Groups\\ProgGroup", "2"));
    const auto reg = LogLines("REG ");
    ASSERT_EQ(8u, reg.size());
    EXPECT_NE(std::string::npos, reg[0].find("| DisplayName |"));
    EXPECT_NE(std::string::npos, reg[5].find("| DisplayIcon |"));

    // A part without Name is entered under its section name, not into the
    // Uninstall key itself.
    setup::WriteUninstallEntry(engine_.Context(),
                               enginetest::PartAt(engine_.Context(), "PLAIN", "C:\\Apps\\Viewer\\"),
                               "un.exe");
    EXPECT_EQ("PLAIN",
              RegistryString(RegRoot::LocalMachine,
                             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PLAIN",
                             "DisplayName"));

    // Whole KiB stay as they are; a byte more is a KiB more; no Bytes is 0.
    const std::string plain = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PLAIN";
    for (const auto& [bytes, kib] : {std::pair{"2048", 2u}, {"2049", 3u}, {"0", 0u}}) {
        Load(std::string("[Project]\r\nName=RegUninst\r\nBytes=") + bytes + "\r\n[PLAIN]\r\n");
        setup::WriteUninstallEntry(
            engine_.Context(), enginetest::PartAt(engine_.Context(), "PLAIN", "C:\\Apps\\Viewer\\"),
            "un.exe");
        EXPECT_EQ(kib, Dword(RegRoot::LocalMachine, plain, "EstimatedSize")) << bytes;
    }
}

TEST_F(RegistryEntriesTest, KeysTheRegistryRefusesAreSaidAndLoggedAsWritten) {
    Load("[Project]\r\nName=RegRefused\r\n[BASE]\r\n");
    // A key name over 255 characters: a message, no REG line, no parent keys.
    const std::string parent = "Software\\SetupTestLong";
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\" + parent + "\\" + std::string(256, 'k') + "\\Val=#sz:x");
    const auto messages = LogLines("MSG");
    ASSERT_EQ(1u, messages.size());
    EXPECT_NE(std::string::npos, messages[0].find("SetRegistryString(1):")) << messages[0];
    EXPECT_TRUE(LogLines("REG ").empty());
    EXPECT_FALSE(plat::regKeyExists(RegRoot::CurrentUser, parent));

    // Doubled backslashes: the key written is the one logged.
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("BASE", ""),
                        "U\\Software\\\\\\SetupTestDoubled\\\\Val=#sz:x");
    EXPECT_EQ("x", RegistryString(RegRoot::CurrentUser, "Software\\SetupTestDoubled", "Val"));
    EXPECT_EQ(1u,
              LogLines("REG HKEY_CURRENT_USER | Software\\SetupTestDoubled | Val | REG_SZ").size());
}

// A part name with line feeds (the script's lines end at CR) neither breaks the
// registry nor writes keys of its own.
TEST_F(RegistryEntriesTest, LineFeedsInANameInjectNothing) {
    Load("[Project]\r\nName=RegInject\r\n[PART]\r\nName=SetupTestInject]\n"
         "\"DisplayName\"=\"injected\"\n[HKEY_LOCAL_MACHINE\\Software\\SetupTestInjected]\r\n");
    engine_.SetTargetDir("C:\\Apps\\Inject");
    setup::WriteUninstallEntry(engine_.Context(),
                               enginetest::PartAt(engine_.Context(), "PART", "C:\\Apps\\Inject\\"),
                               "un.exe");
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("PART", ""),
                        "M\\Software\\SetupTestValueName\\a\nb=#sz:v");

    EXPECT_FALSE(plat::regKeyExists(RegRoot::LocalMachine, "Software\\SetupTestInjected"));
    EXPECT_EQ("v", RegistryString(RegRoot::LocalMachine, "Software\\SetupTestValueName", "a\nb"));
    std::string problem;
    EXPECT_FALSE(plat::emulationProblem(problem)) << problem;
#ifndef _WIN32
    // The emulated registry cannot hold the key name: refused, and said.
    const auto messages = LogLines("MSG");
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(std::string::npos, messages[0].find("SetRegistryString(1):")) << messages[0];
    // What was written reads back in a fresh process.
    plat::resetEmulation();
    EXPECT_EQ("v", RegistryString(RegRoot::LocalMachine, "Software\\SetupTestValueName", "a\nb"));
#endif
    // Later writes work.
    setup::RegisterLine(engine_.Context(), engine_.Context().Part("PART", ""),
                        "M\\Software\\SetupTestAfter\\Val=#sz:after");
    EXPECT_EQ("after", RegistryString(RegRoot::LocalMachine, "Software\\SetupTestAfter", "Val"));
}

TEST_F(RegistryEntriesTest, AssociationsAskAndRecordTheFirstCommand) {
    Load("[Project]\r\nName=RegAssoc\r\n");
    const std::string deinst = scratch_ + "Deinst.ins";
    const std::string key = ".setuptestnew\\shell\\open\\command";
    engine_.Context().record = std::make_unique<setup::TIni>(deinst);

    // New: written without a question, nothing recorded.
    setup::RegisterExtension(engine_.Context(), "setuptestnew=view.exe %1");
    EXPECT_EQ("view.exe %1", RegistryString(RegRoot::ClassesRoot, key, ""));
    EXPECT_EQ("", engine_.Context().record->ReadString("Extensions", "setuptestnew", ""));
    // Identical: no question.
    setup::RegisterExtension(engine_.Context(), "setuptestnew=view.exe %1");
    EXPECT_TRUE(LogLines("MSG").empty());

    // Different, answered No: unchanged, but the command found is recorded.
    Answers("ersetzen? => No\n");
    setup::RegisterExtension(engine_.Context(), "setuptestnew=other.exe %1");
    EXPECT_EQ("view.exe %1", RegistryString(RegRoot::ClassesRoot, key, ""));
    ASSERT_EQ(1u, LogLines("MSG AskYesNo").size());
    EXPECT_NE(std::string::npos,
              LogLines("MSG AskYesNo")[0].find(
                  "bisherige Verkn\xC3\xBCpfung .setuptestnew: view.exe %1 ersetzen? -> No"));
    engine_.Context().record->SaveFile();
    engine_.Context().record.reset();

    // A second installation replaces it (default Yes) and keeps the first record.
    engine_.Context().record = std::make_unique<setup::TIni>(deinst);
    setup::RegisterExtension(engine_.Context(), "setuptestnew=other.exe %1");
    setup::RegisterExtension(engine_.Context(), "setuptestnew=third.exe %1");
    EXPECT_EQ("third.exe %1", RegistryString(RegRoot::ClassesRoot, key, ""));
    EXPECT_EQ("view.exe %1",
              engine_.Context().record->ReadString("Extensions", "setuptestnew", ""));

    setup::RegisterExtension(engine_.Context(), "setuptestbad");
    EXPECT_EQ(1u,
              LogLines("MSG WarnOkCancel | setuptestbad: Verkn\xC3\xBCpfung fehlerhaft!").size());
}

} // namespace
