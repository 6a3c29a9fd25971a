// The [CheckRun] test before a run, the programs of Exec# and the shell's
// verbs.
#include "system/Programs.h"

#include <string_view>

#include "common/Ansi.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/RegistryVariables.h"
#include "common/Text.h"
#include "files/RunContext.h"
#include "platform/Process.h"
#include "platform/System.h"

namespace setup {

namespace {

// Without anybody at the screen a Yes cannot end a program: the test is
// repeated a few times, a second apart, then the installation is given up.
constexpr int UnattendedRetries = 3;
constexpr uint32_t UnattendedRetryPauseMs = 1000;

bool IsAbsolute(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.rfind("\\\\", 0) == 0;
}

// Windows hands a batch file to its command interpreter, which reads the
// whole line: true for such a program, and for the interpreter itself.
bool RunsThroughCommandInterpreter(std::string program) {
    while (!program.empty() && (program.back() == ' ' || program.back() == '.'))
        program.pop_back();
    const std::string name = AnsiUpperCase(ExtractFileName(program));
    return EndsWith(".BAT", name) || EndsWith(".CMD", name) || name == "CMD.EXE" || name == "CMD";
}

} // namespace

bool ExecCommandLine(const std::string& folder, const std::string& value,
                     std::vector<bool> fromValues, std::string& commandLine) {
    // The program: in double quotes at the start, or up to the first blank.
    const bool quoted = !value.empty() && value[0] == '"';
    const std::string program =
        quoted ? value.substr(1, value.find('"', 1) - 1) : value.substr(0, value.find(' '));
    std::string line = value;
    if (!IsAbsolute(program)) {
        const size_t at = quoted ? 1 : 0;
        line.insert(at, folder);
        fromValues.insert(fromValues.begin() + static_cast<std::ptrdiff_t>(at), folder.size(),
                          false);
    }
    if (!RunsThroughCommandInterpreter(program)) {
        commandLine = line;
        return true;
    }
    // Text that came from registry values must not add commands: the
    // interpreter's operators in it are escaped where it would read them
    // (outside double quotes); quotes, percent signs and control characters
    // cannot be made harmless there and refuse the line.
    commandLine.clear();
    bool inQuotes = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (i < fromValues.size() && fromValues[i]) {
            if (c == '"' || c == '%' || static_cast<unsigned char>(c) < 32) return false;
            if (!inQuotes && std::string_view("&|<>^()").find(c) != std::string_view::npos)
                commandLine += '^';
        } else if (c == '"') {
            inQuotes = !inQuotes;
        }
        commandLine += c;
    }
    return true;
}

void ListProcessFiles(std::vector<std::string>& list) {
    const std::vector<std::string> paths = plat::runningProgramPaths();
    list.insert(list.end(), paths.begin(), paths.end());
}

bool IsProgramRunning(const std::string& path) {
    std::vector<std::string> files;
    ListProcessFiles(files);
    for (const std::string& file : files) {
        if (AnsiSameText(file, path)) return true;
    }
    return false;
}

bool ShellOpen(RunContext& run, const std::string& verb, const std::string& file,
               const std::string& parameters) {
    const Owner owner = run.MessageOwner();
    const bool done =
        run.effects.ShellExecute(verb, file, parameters, owner == NoOwner ? 0 : owner);
    log::Line("SHELL", {verb, file, parameters, done ? "done" : "refused"});
    return done;
}

std::string ProgramRunningQuestion(const std::string& programPath) {
    return "Die Datei " + ExtractFileName(programPath) +
           "\rwird im Moment benutzt oder darf von Ihnen "
           "nicht gel\xF6scht werden.\r"
           "Beenden Sie bitte erst alle laufenden Programme.\r"
           "Falls ein Programm noch l\xE4uft, von dem Sie auf der\r"
           "Oberfl\xE4"
           "che nichts sehen, k\xF6nnen Sie den Taskmanager <Strg+Umsch+ESC>\r"
           "nutzen, um es zwangsweise zu beenden.\r\r"
           "Erneut versuchen?";
}

bool CheckRunningPrograms(RunContext& run, bool stopRequested) {
    const script::Model* Script = run.script;
    // Programs asked to stop, and the listed ones, get a moment to end before
    // the test; with neither there is nothing to wait for.
    if (stopRequested || (Script && !Script->CheckRun().empty())) plat::sleepMs(400);
    int unattendedRetries = 0;
    for (size_t n = 0;; ++n) {
        plat::pumpMessages();
        if (!Script || n >= Script->CheckRun().size()) return true;
        std::string value = Script->CheckRun()[n].value.text;
        if (value.size() > 255) value.resize(255);
        if (!ExpandRegistryVariablesShort(value, run.projectName) || value.empty()) continue;
        if (!IsProgramRunning(value)) continue;

        if (AskYesNo(run.MessageOwner(), ProgramRunningQuestion(value)) != IdYes) return false;
        if (LastAnswerSource() == AnswerSource::Default) {
            if (++unattendedRetries > UnattendedRetries) return false;
            plat::sleepMs(UnattendedRetryPauseMs);
        }
        n = static_cast<size_t>(-1); // the whole list again
    }
}

bool ExecProgs(RunContext& run) {
    if (!run.runPrograms || !run.script) return true;
    for (const script::Numbered& program : run.script->Project().programs) {
        const std::string key = script::KeyName(script::Key::Exec, program.number);
        std::string value = program.value.text;
        std::vector<bool> fromValues;
        ExpandRegistryVariables(value, true, fromValues);
        if (value.empty()) break;
        std::string commandLine;
        if (!ExecCommandLine(run.installRoot, value, fromValues, commandLine)) {
            InfoMessage(run.MessageOwner(),
                        key + "=" + value +
                            "\rnicht ausgef\xFChrt: ein Wert aus der Registrierung enth\xE4lt "
                            "Zeichen,\rdie der Befehlsinterpreter als Befehl lesen w\xFCrde.");
            log::Line("EXEC", {value, "not started"});
            continue;
        }
        // Not waited for; a program that cannot be started stops nothing.
        const bool started = run.effects.StartProgram(commandLine, "");
        log::Line("EXEC", {commandLine, started ? "started" : "not started"});
    }
    return true;
}

} // namespace setup
