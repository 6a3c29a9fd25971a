// Fonts through GDI under Wine: GDI accepts the installed font, an older
// Windows gets its ".FOT" file from GDI, and a font file that another
// program holds open is left as it was.
#include "common/WinInfo.h"
#include "platform/win32/WindowsSupport.h"
#include "system/Fonts.h"
#include "system/FontsTestEnv.h"

namespace {

using fontstest::kNtFonts;

class FontsWin32Test : public fontstest::FontsEnv {};

TEST_F(FontsWin32Test, WineGdiTakesTheFontIntoItsTable) {
    const std::string source = Source("DejaVuSansMono-Oblique.ttf", 0x5A210000);
    // GDI refuses the file while it is no font, and counts it once it is one.
    testenv::WriteFile(fonts_ + "DejaVuSansMono-Oblique.ttf", "keine Schrift");
    ASSERT_TRUE(setup::SetFileDate(fonts_ + "DejaVuSansMono-Oblique.ttf", 0x52210000));
    EXPECT_EQ(0, plat::addFontResource(fonts_ + "DejaVuSansMono-Oblique.ttf"));
    ASSERT_TRUE(
        setup::InstallFontFile(source, "SetupTest GDI", &messages_, setup::FontError, &copier_));
    EXPECT_TRUE(messages_.empty());
    const std::string target = fonts_ + "DejaVuSansMono-Oblique.ttf";
    EXPECT_EQ(1, plat::addFontResource(target));
    if (setup::WindowsVersion() >= setup::Win2000) {
        EXPECT_EQ(
            "DejaVuSansMono-Oblique.ttf",
            RegistryString(plat::RegRoot::LocalMachine, kNtFonts, "SetupTest GDI (TrueType)"));
    }
    plat::deleteFile(fonts_ + "SetupTest GDI.FOT");
}

TEST_F(FontsWin32Test, WineFontHeldOpenIsKept) {
    const std::string target = fonts_ + "DejaVuSerif-BoldItalic.ttf";
    const std::string old = "eine alte Fassung";
    testenv::WriteFile(target, old);
    ASSERT_TRUE(setup::SetFileDate(target, 0x52210000));
    const std::string source = Source("DejaVuSerif-BoldItalic.ttf", 0x5A210000);
    {
        // Open without sharing deletion: the file can be neither renamed nor
        // replaced, so the font is not installed and the old file stays.
        plat::win::FileHandle holder(CreateFileW(plat::win::widen(target).c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_FALSE(setup::InstallFontFile(source, "SetupTest Held", &messages_, setup::FontError,
                                            &copier_));
    }
    EXPECT_EQ(old, testenv::ReadFile(target));
    EXPECT_FALSE(plat::fileExists(fonts_ + "DejaVuSerif-BoldItalic0.ttf"));
    ASSERT_EQ(2u, messages_.size());
    EXPECT_EQ("Umbenennen von " + target + " in \r\n" + fonts_ +
                  "DejaVuSerif-BoldItalic0.ttf\r\ngescheitert",
              messages_[0]);
    EXPECT_EQ(target + " konnte nicht kopiert werden.", messages_[1]);
}

// Wine takes the Windows version of a process from the registry when the
// process starts: the same test program runs the XP part as a child.
TEST_F(FontsWin32Test, WineXpKeepsTheFotFile) {
    std::wstring exe(MAX_PATH, L'\0');
    exe.resize(GetModuleFileNameW(nullptr, exe.data(), MAX_PATH));
    const std::wstring exeName = exe.substr(exe.find_last_of(L'\\') + 1);
    const std::string versionKey = "Software\\Wine\\AppDefaults\\" + plat::win::narrow(exeName);
    SetRegistryString(plat::RegRoot::CurrentUser, versionKey, "Version", "winxp");
    std::wstring command = L"\"" + exe +
                           L"\" --gtest_also_run_disabled_tests "
                           L"--gtest_filter=FontsWin32Test.DISABLED_XpChild";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &process));
    plat::win::FileHandle thread(process.hThread);
    plat::win::FileHandle child(process.hProcess);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.get(), 120000));
    DWORD exitCode = 1;
    GetExitCodeProcess(child.get(), &exitCode);
    plat::RegKey key;
    if (key.open(plat::RegRoot::CurrentUser, versionKey, plat::RegAccess::All) == 0)
        key.deleteValue("Version");
    EXPECT_EQ(0u, exitCode);
}

TEST_F(FontsWin32Test, DISABLED_XpChild) {
    const int version = setup::WindowsVersion();
    ASSERT_TRUE(version >= setup::Win2000 && version <= setup::WinNt5) << version;
    const std::string source = Source("DejaVuSansCondensed-Bold.ttf", 0x5A210000);
    EXPECT_TRUE(
        setup::InstallFontFile(source, "SetupTest XP", &messages_, setup::FontError, &copier_));
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ("DejaVuSansCondensed-Bold.ttf",
              RegistryString(plat::RegRoot::LocalMachine, kNtFonts, "SetupTest XP (TrueType)"));
    EXPECT_TRUE(plat::fileExists(fonts_ + "SetupTest XP.FOT"));
    plat::deleteFile(fonts_ + "SetupTest XP.FOT");
}

} // namespace
