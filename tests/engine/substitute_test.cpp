// Path variables of script values and of macro-file lines.
#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "script/Substitute.h"

#include "common/Paths.h"
#include "common/RegistryAccess.h"
#include "platform/Registry.h"

namespace {

using enginetest::EngineEnv;
using setup::TFileHandler;
using setup::TScriptInstall;

class SubstituteTest : public EngineEnv {
  protected:
    TFileHandler copier_;
    TScriptInstall engine_{nullptr, copier_};

    // The expanded text and whether every variable had a value.
    std::pair<std::string, bool> Sub(std::string value, const std::string* dir = nullptr) {
        const bool ok = setup::Substitute(value, dir);
        return {value, ok};
    }
};

TEST_F(SubstituteTest, FolderVariables) {
    const std::string windows = setup::WindowsFolder();
    const std::string programs = setup::ReadRegistryString(
        "M\\Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "C:\\Programs");
    const std::string dir = "D:\\Apps\\X\\";
    EXPECT_EQ(std::make_pair(windows + "fonts", true), Sub("%WDIR%\\fonts"));
    EXPECT_EQ(std::make_pair(windows + "system\\a.dll", true), Sub("%SDIR%\\a.dll"));
    EXPECT_EQ(std::make_pair(setup::SystemFolder() + "b", true), Sub("%sdir32%b"));
    EXPECT_EQ(std::make_pair(programs + "\\Qorv\\XXX", true), Sub("%PDIR%\\Qorv\\XXX"));
    EXPECT_EQ(std::make_pair(dir + "bin", true), Sub("%Dir%\\bin", &dir));
    // Names are matched case-insensitively, the rest keeps its case.
    EXPECT_EQ(std::make_pair("x" + dir + "Y", true), Sub("x%dir%Y", &dir));
    for (const char* name : {"%SMDIR%", "%SPDIR%", "%SMDIRA%", "%SPDIRA%"}) {
        const auto [value, ok] = Sub(name);
        EXPECT_TRUE(ok) << name;
        EXPECT_FALSE(value.empty()) << name;
        EXPECT_EQ(std::string::npos, value.find('%')) << name;
    }
}

TEST_F(SubstituteTest, PercentSignsThatAreNoVariables) {
    const std::string dir = "C:\\T\\";
    // An unknown name stays; its closing "%" opens the next variable.
    EXPECT_EQ(std::make_pair("%ABC" + dir + "x", true), Sub("%ABC%DIR%x", &dir));
    EXPECT_EQ(std::make_pair(std::string("%ABC%def"), true), Sub("%ABC%def"));
    // A doubled percent sign stays doubled; a "%" at the end ends the scan.
    EXPECT_EQ(std::make_pair(std::string("100%% %DIR"), true), Sub("100%% %DIR"));
    EXPECT_EQ(std::make_pair(std::string("abc%"), true), Sub("abc%"));
    EXPECT_EQ(std::make_pair(std::string(""), true), Sub(""));
    // Inserted text is never scanned again.
    const std::string tricky = "C:\\%WDIR%\\";
    EXPECT_EQ(std::make_pair(tricky + "z", true), Sub("%DIR%z", &tricky));
}

TEST_F(SubstituteTest, DirWithoutAFolderFails) {
    EXPECT_EQ(std::make_pair(std::string("tools"), false), Sub("%DIR%tools"));
    const std::string empty;
    EXPECT_EQ(std::make_pair(std::string("\\a"), false), Sub("%DIR%\\a", &empty));
    // The run goes on after a missing value.
    const auto [value, ok] = Sub("%DIR%\\%WDIR%");
    EXPECT_FALSE(ok);
    EXPECT_EQ("\\" + setup::WindowsFolder(), value);
}

TEST_F(SubstituteTest, MacroLineVariables) {
    engine_.SetTargetDir("C:\\Tools\\App");
    const std::string file = "D:\\Medium\\Macros\\start.bat";
    auto macro = [&](std::string line) {
        setup::SubstituteMacroLine(line, file, engine_.TargetDir());
        return line;
    };
    EXPECT_EQ("C:\\Tools\\App", macro("%DIR_%"));
    EXPECT_EQ("\\Tools\\App", macro("%_DIR_%"));
    EXPECT_EQ("C", macro("%DRIVE%"));
    EXPECT_EQ("cd C:\\Tools\\App\\bin", macro("cd %DIR%bin"));
    EXPECT_EQ("C:\\Tools\\App\\ C:\\Tools\\App \\Tools\\App", macro("%dir83% %DIR83_% %_DIR83_%"));
    EXPECT_EQ("D: D:\\Medium\\Macros\\", macro("%CD%: %SELFDIR%"));
    EXPECT_EQ("100% sicher", macro("100%% sicher"));
    // No closing sign: the rest stays; unknown names are left as they were.
    EXPECT_EQ("50% %OTHER% x", macro("50% %OTHER% x"));
    EXPECT_EQ("set %PATH", macro("set %PATH"));
}

TEST_F(SubstituteTest, MacroLineWithASelfNamingVariableStopsGrowing) {
    plat::RegKey key;
    ASSERT_EQ(0u, key.open(plat::RegRoot::CurrentUser, "Software\\TIV_NN\\Selbst",
                           plat::RegAccess::All, true));
    ASSERT_EQ(0u, key.setString("", "%\xA7Selbst% %\xA7Selbst%"));
    key.close();
    const std::string file = "D:\\Medium\\start.bat";
    std::string line;
    for (int i = 0; i < 60; ++i)
        line += "%\xA7Selbst% %DIR% ";
    EXPECT_FALSE(setup::SubstituteMacroLine(line, file, engine_.TargetDir()));
    // One expansion at most beyond the line's limit, and the rest kept as it was.
    EXPECT_LT(line.size(), 300u * 1024u);
    EXPECT_EQ(" %DIR% ", line.substr(line.size() - 7));

    std::string plain = std::string(300000, 'x') + "%DRIVE%";
    engine_.SetTargetDir("C:\\App");
    EXPECT_TRUE(setup::SubstituteMacroLine(plain, file, engine_.TargetDir()));
    EXPECT_EQ(std::string(300000, 'x') + "C", plain);
}

} // namespace
