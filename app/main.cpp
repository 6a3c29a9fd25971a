// Program entry: hands the arguments to the platform layer and runs the start.
#include "app/Program.h"
#include "platform/System.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/WindowsSupport.h"
#include "ui/win32/WindowsFrontEnd.h"

#include <cstdlib>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The C runtime's wide argv follows CommandLineToArgvW's quoting rules.
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i)
        args.push_back(plat::win::narrow(__wargv[i]));
    plat::setArguments(args);
    return setup::RunProgram(plat::arguments(), [](const std::string& script, bool unattended,
                                                   const std::string& targetDir, int& modalResult) {
        return setup::win::RunWindowsFrontEnd(script, unattended, targetDir, &modalResult);
    });
}
#else
#include "platform/Cp1252.h"
#include "ui/terminal/TerminalFrontEnd.h"

int main(int argc, char** argv) {
    // The terminal's UTF-8 becomes the program's Windows-1252.
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(plat::utf8ToCp1252(argv[i]));
    plat::setArguments(args);
    return setup::RunProgram(plat::arguments(), [](const std::string& script, bool unattended,
                                                   const std::string& targetDir, int& modalResult) {
        setup::FrontEndOptions options;
        options.unattended = unattended;
        options.targetDir = targetDir;
        return setup::RunTerminalFrontEnd(script, options, &modalResult);
    });
}
#endif
