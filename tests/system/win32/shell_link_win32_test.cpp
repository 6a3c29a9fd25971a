// Shortcuts made through the shell link object, read back by Windows' (here
// Wine's) own shell.
#include "engine/EngineTestEnv.h"
#include "platform/FileSystem.h"
#include "platform/win32/WindowsSupport.h"
#include "system/Shortcuts.h"

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

struct LinkFields {
    std::string path, arguments, workingDirectory, description, iconFile;
    int iconIndex = -1;
    int showCmd = -1;
};

// Loads a link file with IShellLinkW; false when it cannot be loaded.
bool ReadLink(const std::string& linkFile, LinkFields& out) {
    CoInitialize(nullptr);
    bool ok = false;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Load(plat::cp1252ToWide(linkFile).c_str(), STGM_READ))) {
                wchar_t buffer[MAX_PATH * 2];
                auto text = [&] { return plat::wideToCp1252(buffer); };
                buffer[0] = 0;
                link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH);
                out.path = text();
                buffer[0] = 0;
                link->GetArguments(buffer, MAX_PATH);
                out.arguments = text();
                buffer[0] = 0;
                link->GetWorkingDirectory(buffer, MAX_PATH);
                out.workingDirectory = text();
                buffer[0] = 0;
                link->GetDescription(buffer, MAX_PATH);
                out.description = text();
                buffer[0] = 0;
                link->GetIconLocation(buffer, MAX_PATH, &out.iconIndex);
                out.iconFile = text();
                link->GetShowCmd(&out.showCmd);
                ok = true;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return ok;
}

class ShellLinkWin32Test : public enginetest::EngineEnv {};

TEST_F(ShellLinkWin32Test, ShellReadsBackEveryField) {
    const std::string program = scratch_ + "Gr\xFCn\\viewer.exe";
    testenv::WriteFile(program, "MZ");
    setup::ShortcutSpec spec;
    spec.Path = program;
    spec.WorkingDirectory = scratch_ + "Gr\xFCn";
    spec.LinkFile = scratch_ + "Gruppe\\Betrachter.LNK";
    spec.Arguments = "/open \"C:\\Daten\\a b.txt\"";
    spec.Description = "Betrachter f\xFCr Daten";
    spec.IconFile = scratch_ + "Gr\xFCn\\icons.dll";
    spec.IconIndex = 3;
    setup::TFileHandler copier;
    copier.ForceFolders(scratch_ + "Gruppe");
    ASSERT_EQ(0, setup::CreateLinkEx(spec));
    ASSERT_TRUE(plat::fileExists(spec.LinkFile));

    LinkFields fields;
    ASSERT_TRUE(ReadLink(spec.LinkFile, fields));
    EXPECT_EQ(0, _stricmp(program.c_str(), fields.path.c_str())) << fields.path;
    EXPECT_EQ(spec.Arguments, fields.arguments);
    EXPECT_EQ(spec.WorkingDirectory, fields.workingDirectory);
    EXPECT_EQ(spec.Description, fields.description);
    EXPECT_EQ(spec.IconFile, fields.iconFile);
    EXPECT_EQ(3, fields.iconIndex);
    // The file format knows only normal, maximised and minimised windows.
    EXPECT_EQ(SW_SHOWNORMAL, fields.showCmd);
    EXPECT_EQ(1u, LogLines("LINK ").size());
}

} // namespace
