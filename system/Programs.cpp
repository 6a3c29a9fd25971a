// The [CheckRun] test before a run, the programs of Exec# and the shell's
// verbs.
#include "system/Programs.h"

#include "common/Ansi.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/RegistryVariables.h"
#include "engine/ScriptInstall.h"
#include "platform/Process.h"
#include "platform/System.h"

namespace setup {

namespace {

// Without anybody at the screen a Yes cannot end a program: the test is
// repeated a few times, a second apart, then the installation is given up.
constexpr int UnattendedRetries = 3;
constexpr uint32_t UnattendedRetryPauseMs = 1000;

} // namespace

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

bool ShellOpen(Owner owner, const std::string& verb, const std::string& file,
               const std::string& parameters) {
    const bool done = plat::shellExecute(verb, file, parameters, owner == NoOwner ? 0 : owner);
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

bool TScriptInstall::CheckRun(bool stopRequested) {
    // Programs asked to stop, and the listed ones, get a moment to end before
    // the test; with neither there is nothing to wait for.
    if (stopRequested || (Script && !Script->ReadString("CheckRun", "1", "").empty()))
        plat::sleepMs(400);
    int unattendedRetries = 0;
    for (int n = 1;; ++n) {
        plat::pumpMessages();
        if (!Script) return true;
        std::string value = Script->ReadString("CheckRun", std::to_string(n), "");
        if (value.size() > 255) value.resize(255);
        if (value.empty()) return true;
        if (!ExpandRegistryVariablesShort(value, ProjectName) || value.empty()) continue;
        if (!IsProgramRunning(value)) continue;

        if (AskYesNo(MessageOwner(), ProgramRunningQuestion(value)) != IdYes) return false;
        if (LastAnswerSource() == AnswerSource::Default) {
            if (++unattendedRetries > UnattendedRetries) return false;
            plat::sleepMs(UnattendedRetryPauseMs);
        }
        n = 0; // the whole list again
    }
}

bool TScriptInstall::ExecProgs() {
    if (!RunPrograms) return true;
    for (int n = 1; n <= 999; ++n) {
        const std::string value = ReadProjectValue("Exec" + std::to_string(n), "");
        if (value.empty()) break;
        // Not waited for; a program that cannot be started stops nothing.
        const std::string commandLine = InstallRootDir + value;
        const bool started = plat::startProgram(commandLine, "");
        log::Line("EXEC", {commandLine, started ? "started" : "not started"});
    }
    return true;
}

} // namespace setup
