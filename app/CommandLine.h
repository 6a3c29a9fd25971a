// The command line: "setup [script] [options]", options anywhere.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace setup {

struct CommandLine {
    std::string script;      // the first argument that is not an option, as given
    bool unattended = false; // --unattended, /S, /SILENT, /VERYSILENT, /SUPPRESSMSGBOXES
    std::string answersFile; // --answers=FILE (platform path)
    std::string logFile;     // --log=FILE, /LOG=FILE (platform path)
    std::string targetDir;   // --dir=FOLDER, /D=FOLDER, /DIR=FOLDER
    bool hasTargetDir = false;
    bool help = false;           // --help, -h, -?, /?
    bool check = false;          // --check: check the script, install nothing
    bool plan = false;           // --plan: work out what a run would do, change nothing
    bool uninstall = false;      // --uninstall[=FOLDER], /uninstall[=FOLDER]
    std::string uninstallFolder; // FOLDER as given; empty: the program's own folder
};

struct CommandLineSyntax {
    // Windows rules: options may also be written /name[=value], and names of
    // options are compared without regard to case.
    bool windows = false;
    // Whether a file exists (platform path); on Windows an argument starting
    // with "/" that names an existing file is the script, not an option.
    std::function<bool(const std::string&)> fileExists;
};

// The rules of the platform the program was built for.
CommandLineSyntax PlatformSyntax();

// Parses the arguments after the program name. false with a message (one
// line, Windows-1252) on an unknown option, an option with a missing or
// unexpected value or a second script; out then still holds every option
// that was understood.
bool ParseCommandLine(const std::vector<std::string>& args, const CommandLineSyntax& syntax,
                      CommandLine& out, std::string& error);

// The usage text (lines ending with "\n").
std::string UsageText();

} // namespace setup
