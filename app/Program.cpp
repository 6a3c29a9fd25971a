// The program start. The installer window is handed in by the front end;
// without one, after the script is found and read, the run reports that it
// cannot install in this build.
#include "app/Program.h"

#include "app/CommandLine.h"
#include "app/PlanRun.h"
#include "app/UninstallCommand.h"
#include "check/Checker.h"
#include "common/Error.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/Startup.h"
#include "script/Ini.h"
#include "engine/ScriptInstall.h"
#include "platform/Console.h"
#include "platform/Cp1252.h"
#include "platform/Emulation.h"
#include "platform/FileSystem.h"
#include "platform/System.h"
#include "ui/Language.h"

namespace setup {

namespace {

// Text for the person who started the program from a shell; a message box
// when there is no console to write to.
void tell(const std::string& text, bool isError) {
    if (!plat::writeConsole(text + "\n", isError)) PlainMessage(text);
}

// A message box whose text should also reach a shell when nobody saw the box
// (unattended, answered from the answers file, no terminal).
void report(const std::string& text) {
    PlainMessage(text);
    // Unattended, the message layer has written it there already.
    if (LastAnswerSource() != AnswerSource::User && !IsUnattended())
        plat::writeConsole(text + "\n", true);
}

int finish(int modalResult, int exitStatus) {
    LogUnusedAnswers();
    log::Line("RESULT", {std::to_string(modalResult), std::to_string(exitStatus)});
    log::Close();
    return exitStatus;
}

// An argument (Windows-1252) as the platform names files: UTF-8 on POSIX.
std::string nativeForm(const std::string& argument) {
#ifdef _WIN32
    return argument;
#else
    return plat::cp1252ToUtf8(argument);
#endif
}

// The script parameter in the Windows form the program works with: on POSIX
// a Linux path becomes its Z: form; a parameter with a drive stays as it is.
std::string windowsScriptParameter(const std::string& parameter) {
#ifdef _WIN32
    return parameter;
#else
    if (parameter.empty() || parameter.find(':') != std::string::npos) return parameter;
    return plat::toWindowsPath(nativeForm(parameter));
#endif
}

// The script of a check in Windows form. An absolute Linux path becomes its
// Z: form without laying out the emulated Windows: a check leaves a machine
// without one as it was.
std::string checkScriptPath(const std::string& parameter) {
#ifndef _WIN32
    if (!parameter.empty() && parameter[0] == '/') {
        std::string path = "Z:" + parameter;
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }
#endif
    if (!parameter.empty() && parameter.find(':') != std::string::npos) return parameter;
    InitProgramPath();
    return LocateScript(windowsScriptParameter(parameter), ProgramFolder());
}

// --check: the findings on standard output (or, on Windows without a
// console, in a window), the exit status from their severities.
int runCheck(const CommandLine& commandLine) {
    if (!commandLine.logFile.empty() && !log::Open(nativeForm(commandLine.logFile))) {
        tell("Das Protokoll " + commandLine.logFile + " kann nicht angelegt werden.", true);
        return ExitBadStart;
    }
    const std::string script = checkScriptPath(commandLine.script);
    log::Line("START", {SETUP_VERSION, script, "check"});
    check::Options options;
#ifndef _WIN32
    options.zDriveUnsafe = true;
#endif
    const std::vector<check::Finding> findings = check::CheckScript(script, options);
    const std::string report = check::FormatReport(findings);
    if (!plat::writeConsole(report, false)) plat::showTextWindow(script, report);
    const int status = check::Summarize(findings).ExitStatus();
    log::Line("RESULT", {"0", std::to_string(status)});
    log::Close();
    return status;
}

// --plan: the run worked out on a plan's effects; its summary on standard
// output (or, on Windows without a console, in a window).
int runPlan(const CommandLine& commandLine, const std::string& script) {
    const std::string targetDir =
        commandLine.hasTargetDir ? windowsScriptParameter(commandLine.targetDir) : "";
    PlanEffects plan(DirectEffects());
    int modalResult = 0;
    const PlanTotals totals = RunPlannedInstallation(script, targetDir, plan, modalResult);
    const std::string summary = FormatPlanSummary(plan.Changes(), totals);
    if (!plat::writeConsole(summary, false)) plat::showTextWindow(totals.caption, summary);
    return finish(modalResult, totals.exitStatus);
}

int start(const CommandLine& commandLine, const InstallerWindowRunner& window) {
    if (!commandLine.logFile.empty() && !log::Open(nativeForm(commandLine.logFile))) {
        tell("Das Protokoll " + commandLine.logFile + " kann nicht angelegt werden.", true);
        return ExitBadStart;
    }
    InitProgramPath();
    // The user's language from Setup.<LANG> beside the program; German without it.
    LoadLanguageFile(LanguageFileName(ProgramFolder()));
    const std::string script =
        LocateScript(windowsScriptParameter(commandLine.script), ProgramFolder());
    if (commandLine.plan)
        log::Line("START", {SETUP_VERSION, script, "plan"});
    else
        log::Line("START", {SETUP_VERSION, script});
    if (log::WriteFailed()) {
        // Already reported on standard error. A run must not claim a log it
        // cannot write (a full disk, /dev/full): it ends before installing.
        log::Close();
        return ExitBadStart;
    }

    if (!commandLine.answersFile.empty()) {
        std::string error;
        if (!LoadAnswers(nativeForm(commandLine.answersFile), error)) {
            tell(error, true);
            return finish(0, ExitBadStart);
        }
    }

    StartupCommonServices();
    std::string problem;
    if (plat::emulationProblem(problem)) {
        report(problem);
        return finish(0, ExitNotInstalled);
    }

    if (!plat::fileExists(script)) {
        report("Installationsscript nicht gefunden.\r\n" + script);
        return finish(0, ExitBadStart);
    }

    std::string caption;
    {
        // Read once before any window: a script that cannot be installed
        // is refused like a missing one.
        const script::Model model(script);
        if (const std::string problem = ScriptProblem(model, true); !problem.empty()) {
            report(problem);
            return finish(0, ExitBadStart);
        }
        caption = model.Project().headLine.Or(model.Project().name.text);
    }

    if (commandLine.plan) return runPlan(commandLine, script);

    if (window) {
        // The window logs its caption, the run and the end of the run.
        const std::string targetDir =
            commandLine.hasTargetDir ? windowsScriptParameter(commandLine.targetDir) : "";
        int modalResult = 0;
        const int status = window(script, commandLine.unattended, targetDir, modalResult);
        return finish(modalResult, status);
    }

    log::Line("CAPTION", {caption});
    tell(caption + "\n" +
             "Die Installation ist in diesem Build noch nicht verf\xFC"
             "gbar: es wurde nichts installiert.",
         false);
    return finish(2, ExitNotInstalled);
}

} // namespace

std::string LocateScript(const std::string& parameter, const std::string& programFolder) {
    if (parameter.empty()) return programFolder + "install.ins";
    if (parameter.find(':') == std::string::npos) return programFolder + parameter;
    return parameter;
}

int RunProgram(const std::vector<std::string>& args, const InstallerWindowRunner& window) {
    CommandLine commandLine;
    std::string error;
    const bool parsed = ParseCommandLine(args, PlatformSyntax(), commandLine, error);
    // A plan answers every question as nobody at the screen would.
    SetUnattended(commandLine.unattended || commandLine.plan);
    if (!parsed) {
        tell(error + "\n\n" + UsageText(), true);
        return ExitBadStart;
    }
    if (commandLine.help) {
        tell(UsageText(), false);
        return ExitInstalled;
    }
    try {
        if (commandLine.check) return runCheck(commandLine);
        if (commandLine.uninstall) return RunUninstall(commandLine);
        return start(commandLine, window);
    } catch (const std::exception& e) {
        // An error out of the start is shown like the window's error box.
        log::Line("ERROR", {e.what()});
        PlainMessage(e.what());
        return finish(0, ExitNotInstalled);
    }
}

} // namespace setup
