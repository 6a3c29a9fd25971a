// Command-line parsing: our own options, the switches deployment tools send
// to Windows installers, and the script argument.
#include "app/CommandLine.h"

#include "common/Ansi.h"
#include "platform/FileSystem.h"

#include <string_view>

namespace setup {

namespace {

enum class Option { Unattended, Answers, Log, Dir, Help, Check, Plan, Uninstall };

struct OptionName {
    std::string_view name;
    Option option;
    bool takesValue;
    bool valueOptional = false; // "--name" alone or "--name=value"
};

// Our options, written "--name" (on Windows also "/name").
constexpr OptionName kOptions[] = {
    {"unattended", Option::Unattended, false},
    {"answers", Option::Answers, true},
    {"log", Option::Log, true},
    {"dir", Option::Dir, true},
    {"help", Option::Help, false},
    {"check", Option::Check, false},
    {"plan", Option::Plan, false},
    {"uninstall", Option::Uninstall, true, true},
};

// The switches of the common Windows installers, written "/NAME" and
// recognised without regard to case on every platform.
constexpr OptionName kAliases[] = {
    {"S", Option::Unattended, false},
    {"SILENT", Option::Unattended, false},
    {"VERYSILENT", Option::Unattended, false},
    {"SUPPRESSMSGBOXES", Option::Unattended, false},
    {"D", Option::Dir, true},
    {"DIR", Option::Dir, true},
    {"LOG", Option::Log, true},
};

bool sameName(std::string_view a, std::string_view b, bool ignoreCase) {
    return ignoreCase ? AnsiSameText(a, b) : a == b;
}

template <size_t N>
const OptionName* findOption(const OptionName (&table)[N], std::string_view name, bool ignoreCase) {
    for (const auto& entry : table)
        if (sameName(entry.name, name, ignoreCase)) return &entry;
    return nullptr;
}

void apply(const OptionName& option, const std::string& value, CommandLine& out) {
    switch (option.option) {
    case Option::Unattended:
        out.unattended = true;
        break;
    case Option::Answers:
        out.answersFile = value;
        break;
    case Option::Log:
        out.logFile = value;
        break;
    case Option::Dir:
        out.targetDir = value;
        out.hasTargetDir = true;
        break;
    case Option::Help:
        out.help = true;
        break;
    case Option::Check:
        out.check = true;
        break;
    case Option::Plan:
        out.plan = true;
        break;
    case Option::Uninstall:
        out.uninstall = true;
        out.uninstallFolder = value;
        break;
    }
}

} // namespace

CommandLineSyntax PlatformSyntax() {
    CommandLineSyntax syntax;
#ifdef _WIN32
    syntax.windows = true;
#endif
    // Only asked on Windows, where arguments are already Windows paths.
    syntax.fileExists = [](const std::string& path) { return plat::fileExists(path); };
    return syntax;
}

bool ParseCommandLine(const std::vector<std::string>& args, const CommandLineSyntax& syntax,
                      CommandLine& out, std::string& error) {
    out = CommandLine();
    error.clear();
    bool haveScript = false;
    // Parsing goes on after an error, so that the switches that decide how the
    // error is shown (unattended) are known; the first error is reported.
    const auto fail = [&error](std::string message) {
        if (error.empty()) error = std::move(message);
    };
    for (const std::string& arg : args) {
        // The usual ways to ask for help, on every platform ("/?" is no
        // sensible script path on POSIX either).
        if (arg == "-h" || arg == "-?" || arg == "/?") {
            out.help = true;
            continue;
        }
        const bool dashed = arg.starts_with("--");
        const bool slashed = !dashed && arg.starts_with("/");
        const auto takeScript = [&] {
            if (haveScript)
                fail("Nur ein Script kann angegeben werden: " + out.script + " und " + arg);
            else
                out.script = arg;
            haveScript = true;
        };
        if (!dashed && !slashed) {
            takeScript();
            continue;
        }

        const std::string_view body = std::string_view(arg).substr(dashed ? 2 : 1);
        const size_t equals = body.find('=');
        const std::string_view name = body.substr(0, equals);
        const bool hasValue = equals != std::string_view::npos;
        const std::string value = hasValue ? std::string(body.substr(equals + 1)) : std::string();

        const OptionName* option = nullptr;
        if (dashed || syntax.windows) option = findOption(kOptions, name, syntax.windows);
        if (!option && slashed) option = findOption(kAliases, name, true);

        if (!option) {
            // On Windows "/..." may be the path of the script; on POSIX it
            // always is (an absolute path).
            if (slashed && (!syntax.windows || (syntax.fileExists && syntax.fileExists(arg)))) {
                takeScript();
                continue;
            }
            fail("Unbekannte Option: " + arg);
            continue;
        }
        const std::string written = arg.substr(0, arg.size() - body.size() + name.size());
        if (option->takesValue && value.empty() && !(option->valueOptional && !hasValue)) {
            fail("Die Option " + written + " braucht einen Wert: " + written + "=...");
            continue;
        }
        if (!option->takesValue && hasValue) {
            fail("Die Option " + written + " nimmt keinen Wert.");
            continue;
        }
        apply(*option, value, out);
    }
    return error.empty();
}

std::string UsageText() {
    return "Aufruf: setup [Script] [Optionen]\n"
           "\n"
           "  Script             das Installationsscript (ohne Angabe: install.ins im\n"
           "                     Programmordner)\n"
           "  --unattended       ohne Benutzer: jede Meldung nimmt ihre Antwort aus der\n"
           "                     Antwortdatei oder ihre Vorgabe\n"
           "  --answers=DATEI    Antworten auf Meldungen (eine Regel je Zeile:\n"
           "                     SCHALTFL\xC4"
           "CHE oder TEXT => SCHALTFL\xC4"
           "CHE)\n"
           "  --log=DATEI        schreibt das Protokoll in DATEI\n"
           "  --dir=ORDNER       Zielordner der Installation\n"
           "  --check            pr\xFC"
           "ft das Script, ohne etwas zu installieren (Befunde auf\n"
           "                     Englisch; Exit-Status 0 ohne Befund, 1 Warnungen, 2 Fehler)\n"
           "  --plan             zeigt, was die Installation auf diesem Rechner tun w\xFC"
           "rde,\n"
           "                     ohne etwas zu \xE4ndern (Antworten wie bei --unattended)\n"
           "  --uninstall[=ORDNER]  entfernt die in ORDNER\\Deinst.ins aufgezeichneten\n"
           "                     Installationen (ohne Angabe: der Programmordner)\n"
           "  --help, -h, -?, /? zeigt diese Hilfe\n"
           "\n"
           "  /S, /SILENT, /VERYSILENT, /SUPPRESSMSGBOXES  wie --unattended\n"
           "  /D=ORDNER, /DIR=ORDNER                       wie --dir\n"
           "  /LOG=DATEI                                   wie --log\n"
#ifdef _WIN32
           "  Jede Option kann auch als /Name[=Wert] geschrieben werden.\n"
#endif
           "\n"
           "Exit-Status: 0 installiert, 1 keine erfolgreiche Installation,\n"
           "2 Script nicht gefunden oder fehlerhafte Befehlszeile.\n"
           "Deinstallation: 0 entfernt, 1 abgebrochen, 2 keine Deinstallationsdaten,\n"
           "3 ge\xE4nderte Dateien behalten.\n";
}

} // namespace setup
