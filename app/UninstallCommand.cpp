// --uninstall: the question, the undoing and the closing message, with the
// log, the answers and the exit status as an installation has them. A
// Windows program started from the folder it removes continues as a copy in
// the temporary folder, since Windows keeps the file of a running program.
#include "app/UninstallCommand.h"

#include "app/Program.h"

#include <cstdlib>

#include "common/Ansi.h"
#include "common/Effects.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/PlanEffects.h"
#include "common/PlanSummary.h"
#include "common/Startup.h"
#include "engine/Uninstall.h"
#include "platform/Console.h"
#include "platform/Cp1252.h"
#include "platform/Emulation.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "ui/Language.h"

namespace setup {

namespace {

std::string nativeForm(const std::string& argument) {
#ifdef _WIN32
    return argument;
#else
    return plat::cp1252ToUtf8(argument);
#endif
}

#ifndef _WIN32
bool isWindowsPath(const std::string& path) {
    return path.find(':') != std::string::npos || path.starts_with("\\\\");
}
#endif

// A box whose text should also reach a shell when nobody saw it.
void report(const std::string& text) {
    PlainMessage(text);
    if (LastAnswerSource() != AnswerSource::User && !IsUnattended())
        plat::writeConsole(text + "\n", true);
}

int finish(int status) {
    LogUnusedAnswers();
    log::Line("RESULT", {"0", std::to_string(status)});
    log::Close();
    return status;
}

#ifdef _WIN32
// Whether the program runs from folder or a folder inside it.
bool runsFrom(const std::string& folder) {
    return AnsiUpperCase(ProgramFolder()).starts_with(AnsiUpperCase(AddBackslash(folder)));
}
#endif

} // namespace

std::string UninstallFolder(const std::string& value, const std::string& programFolder) {
    if (value.empty()) return programFolder;
#ifdef _WIN32
    return value;
#else
    if (isWindowsPath(value)) return value;
    return plat::toWindowsPath(nativeForm(value));
#endif
}

int RunUninstall(const CommandLine& commandLine) {
    if (!commandLine.script.empty()) {
        plat::writeConsole("Die Option --uninstall nimmt kein Script: " + commandLine.script + "\n",
                           true);
        return ExitBadStart;
    }
    InitProgramPath();
    const std::string folder = UninstallFolder(commandLine.uninstallFolder, ProgramFolder());
#ifdef _WIN32
    // A plan removes nothing: the program may stay where it is.
    if (!commandLine.plan && runsFrom(folder)) {
        // The copy is told the folder: its own would be the temporary one.
        std::vector<std::string> args;
        for (const std::string& arg : plat::arguments()) {
            const std::string name = AnsiUpperCase(arg.substr(0, arg.find('=')));
            if (name != "--UNINSTALL" && name != "/UNINSTALL") args.push_back(arg);
        }
        args.push_back("/uninstall=" + AddBackslash(folder));
        if (const std::optional<int> status = plat::runCopyOfProgram(args)) return *status;
    }
#endif
    if (!commandLine.logFile.empty() && !log::Open(nativeForm(commandLine.logFile))) {
        plat::writeConsole(
            "Das Protokoll " + commandLine.logFile + " kann nicht angelegt werden.\n", true);
        return ExitBadStart;
    }
    LoadLanguageFile(LanguageFileName(ProgramFolder()));
    if (commandLine.plan)
        log::Line("START", {SETUP_VERSION, folder, "uninstall", "plan"});
    else
        log::Line("START", {SETUP_VERSION, folder, "uninstall"});
    if (log::WriteFailed()) {
        log::Close();
        return ExitBadStart;
    }
    if (!commandLine.answersFile.empty()) {
        std::string error;
        if (!LoadAnswers(nativeForm(commandLine.answersFile), error)) {
            plat::writeConsole(error + "\n", true);
            return finish(ExitBadStart);
        }
    }
    StartupCommonServices();
    std::string problem;
    if (plat::emulationProblem(problem)) {
        report(problem);
        return finish(ExitBadStart);
    }
    UninstallOptions options;
#ifdef _WIN32
    // A copy started by runCopyOfProgram: the program that waits for it.
    if (const char* waiting = std::getenv("SETUP_WAITING_PROGRAM")) {
        options.waitingProgram = waiting;
        options.asideFolder = ProgramFolder();
    }
#endif
    if (commandLine.plan) {
        // --plan --uninstall: the same undoing on a plan's effects, the
        // question answered as nobody at the screen would; a summary instead
        // of the closing message.
        PlanEffects plan(DirectEffects());
        const UninstallResult result = Uninstall(plan, folder, options);
        if (result.status == 2) {
            report(result.problem);
            return finish(result.status);
        }
        PlanTotals totals;
        totals.caption = "Deinstallation";
        totals.targetDir = folder;
        totals.exitStatus = result.status;
        const std::string summary = FormatPlanSummary(plan.Changes(), totals);
        if (!plat::writeConsole(summary, false)) plat::showTextWindow(totals.caption, summary);
        return finish(result.status);
    }
    const UninstallResult result = Uninstall(DirectEffects(), folder, options);
    plat::flushRegistry();
    if (result.status == 2) {
        report(result.problem);
    } else if (result.status != 1) {
        InfoMessage(ActiveForm, UninstallReport(result));
    }
    return finish(result.status);
}

} // namespace setup
