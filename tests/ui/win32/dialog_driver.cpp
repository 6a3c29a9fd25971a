// Shows the folder chooser or an info dialog on its own, for the end-to-end
// dialog tests:
//   dialog_driver folder START [twice]
//                                prints "OK" or "Cancel", the window size and
//                                the folder after each call; exit 0 after OK
//   dialog_driver about          the installer's own info dialog
//   dialog_driver about project  a project's info dialog (help button, mail
//                                address with a subject, logo file missing)
#include <cstdio>
#include <string>

#include "common/Paths.h"
#include "platform/System.h"
#include "ui/win32/AboutDialog.h"
#include "ui/win32/FolderDialog.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(plat::win::narrow(argv[i]));
    if (args.empty()) {
        std::fprintf(stderr, "usage: dialog_driver folder START | about [project]\n");
        return 2;
    }
    setup::InitProgramPath();
    if (args[0] == "folder" && (args.size() == 2 || args.size() == 3)) {
        // "twice": a second call on the same component, which opens with the
        // size and folder the first one left.
        const int calls = args.size() == 3 && args[2] == "twice" ? 2 : 1;
        setup::win::TDirDlg dlg;
        dlg.Caption = "Zielordner der Installation ausw\xE4hlen:";
        dlg.Directory = args[1];
        bool ok = false;
        for (int i = 0; i < calls; ++i) {
            ok = dlg.Execute(nullptr);
            std::printf("%s %dx%d %s\n", ok ? "OK" : "Cancel", dlg.Width, dlg.Height,
                        dlg.Directory.c_str());
            std::fflush(stdout);
        }
        return ok ? 0 : 1;
    }
    if (args[0] == "about") {
        setup::win::TAbout about;
        if (args.size() > 1 && args[1] == "project") {
            about.Head1 =
                "Beispielprojekt mit einem etwas l\xE4ngeren Titel, der das Fenster verbreitert";
            about.Head2 = "Version 2.1\xB0";
            about.SetCopyright("Beispiel GmbH 2001, %yyyy%");
            about.SetInstit("");
            about.WWW = "https://beispiel.example.org/projekt";
            about.eMail = "support@beispiel.example.org?subject=Beispielprojekt";
            about.ImageName = "FEHLT.BMP";
        } else {
            about.HelpContext = 0;
            about.Head2 = "Version ";
        }
        const bool ok = about.Execute(nullptr);
        std::printf("%s\n", ok ? "OK" : "closed");
        std::fflush(stdout);
        return ok ? 0 : 1;
    }
    std::fprintf(stderr, "unknown command\n");
    return 2;
}
