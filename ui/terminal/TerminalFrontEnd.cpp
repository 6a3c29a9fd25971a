// The terminal front end: a view of the installer window's controller on a
// Linux terminal. Messages go through the message layer (which prompts on
// the terminal); this file draws the window's texts and the progress bar and
// plays the buttons: the install button, Ctrl-C as Cancel, Enter as OK.
#include "ui/terminal/TerminalFrontEnd.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "common/Log.h"
#include "common/Messages.h"
#include "platform/CancelSignals.h"
#include "platform/Cp1252.h"
#include "platform/Dialogs.h"
#include "platform/System.h"
#include "ui/InstallerController.h"

namespace setup {

namespace {

// Ctrl-C, SIGTERM and SIGHUP: during a run the first one is the Cancel
// button (the run ends as cancelled, its temporary files removed), a second
// one (or one outside a run) ends the program.
constexpr plat::CancelSignalTexts kCancelTexts{
    "\nAbbruch angefordert (nochmals Strg+C beendet das Programm)\n",
    "\nAbbruch angefordert\n",
    "\nProgramm abgebrochen.\n",
};

bool g_terminate = false;

// Blank texts clear the window's lines; the terminal prints nothing for them.
bool Blank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

class TerminalView;
std::vector<TerminalView*>& Windows() {
    static std::vector<TerminalView*> windows;
    return windows;
}

class TerminalView : public InstallerView {
  public:
    TerminalView(TInstallerController& controller, const FrontEndOptions& options, int depth)
        : controller_(controller), options_(options), depth_(depth),
          tty_(isatty(STDOUT_FILENO) == 1) {
        controller_.SetView(this);
        Windows().push_back(this);
    }
    ~TerminalView() override {
        EndProgressLine();
        controller_.SetView(nullptr);
        Windows().pop_back();
    }
    TerminalView(const TerminalView&) = delete;
    TerminalView& operator=(const TerminalView&) = delete;

    TInstallerController& Controller() { return controller_; }

    Owner WindowHandle() const override { return static_cast<Owner>(0x100 + depth_); }

    void StatusChanged() override {
        const std::string& status = controller_.StatusText();
        if (Blank(status) || status == lastStatus_) return;
        lastStatus_ = status;
        if (!tty_) Line(plat::cp1252ToTerminalText(lastStatus_));
        DrawProgress(true);
    }
    void FileNameChanged() override {
        const std::string& name = controller_.FileNameText();
        if (!tty_ && !Blank(name) && name != lastFileName_) {
            lastFileName_ = name;
            Line("  " + plat::cp1252ToTerminalText(lastFileName_));
        }
        DrawProgress(false);
    }
    void ProgressChanged() override { DrawProgress(false); }
    void HintChanged() override {}
    void CloseWindow(int) override {}
    void TerminateApplication() override { g_terminate = true; }

    int ShowSubWindowModal(TInstallerController& sub) override {
        EndProgressLine();
        FrontEndOptions subOptions = options_;
        subOptions.targetDir.clear(); // sub-projects keep their own default folders
        TerminalView view(sub, subOptions, depth_ + 1);
        const int result = view.Run();
        return result;
    }

    // Plays the window until it closes; returns its modal result.
    int Run() {
        Line("== " + plat::cp1252ToTerminalText(controller_.WindowCaption()));
        if (controller_.HintVisible()) Block(controller_.HintText());
        const bool person = !options_.unattended && !IsUnattended() && plat::canAskPerson();
        while (controller_.ModalResult() == ModalNone && !g_terminate) {
            if (controller_.InstallNowVisible()) {
                if (person) {
                    if (!AskBeforeInstall()) continue;
                } else {
                    Line("Installieren in: " +
                         plat::cp1252ToTerminalText(controller_.TargetFolder()));
                }
                PressInstall();
                if (controller_.ModalResult() != ModalNone || g_terminate) break;
                if (!controller_.OkVisible() && !person) {
                    // Stopped before the run, or the run raised an error: nobody
                    // can press the button again.
                    controller_.CancelClick();
                    if (controller_.ModalResult() == ModalNone) break;
                }
            }
            if (controller_.OkVisible()) {
                if (controller_.HintVisible()) Block(controller_.HintText());
                if (person) Prompt("Enter: OK");
                controller_.OkClick();
            }
        }
        return controller_.ModalResult() == ModalNone ? ModalCancel : controller_.ModalResult();
    }

  private:
    // The target folder and the decision; false when the window stays open.
    bool AskBeforeInstall() {
        Line("Installieren in: " + plat::cp1252ToTerminalText(controller_.TargetFolder()));
        const std::string folder = Prompt("Zielordner (Enter: \xFC"
                                          "bernehmen, \"-\": Abbrechen)");
        if (folder == "-") {
            controller_.CancelClick();
            return false;
        }
        if (!folder.empty()) controller_.SetTargetFolder(folder);
        return true;
    }

    void PressInstall() {
        lastStatus_.clear();
        lastFileName_.clear();
        lastDraw_ = 0;
        lastDecile_ = -1;
        std::optional<std::string> error;
        {
            // A sub-project's run happens inside the caller's run.
            const plat::CancelSignals::Run run;
            try {
                controller_.InstallNowClick();
            } catch (const std::exception& e) {
                error = e.what();
            }
        }
        EndProgressLine();
        if (error) {
            // The toolkit's error box: the run's error reaches the person, the
            // window stays open.
            log::Line("ERROR", {*error});
            std::fprintf(stderr, "Fehler: %s\n", plat::cp1252ToTerminalText(*error).c_str());
        }
    }

    // One line of the window; the progress line is ended first.
    void Line(const std::string& utf8) {
        EndProgressLine();
        std::printf("%*s%s\n", depth_ * 2, "", utf8.c_str());
        std::fflush(stdout);
    }

    void Block(const std::string& text) {
        std::string rest = plat::cp1252ToTerminalText(text);
        size_t start = 0;
        while (start <= rest.size()) {
            const size_t end = rest.find('\n', start);
            Line(rest.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }

    // Reads one line from the person (Windows-1252, without its line end).
    std::string Prompt(const std::string& text) {
        EndProgressLine();
        std::printf("%*s%s> ", depth_ * 2, "", plat::cp1252ToTerminalText(text).c_str());
        std::fflush(stdout);
        std::string line;
        int ch;
        while ((ch = std::getchar()) != EOF && ch != '\n')
            line += static_cast<char>(ch);
        if (ch == EOF && line.empty()) return "-";
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return plat::utf8ToCp1252(line);
    }

    // The progress bar: redrawn at most ten times a second on a terminal;
    // without a terminal, a line for every tenth of the way.
    void DrawProgress(bool force) {
        if (!controller_.ProgressVisible()) return;
        const int32_t maximum = controller_.ProgressMaximum();
        const int32_t position = controller_.ProgressPosition();
        const int percent =
            maximum > 0
                ? static_cast<int>(std::min<int64_t>(100, int64_t(position) * 100 / maximum))
                : 0;
        if (!tty_) {
            if (maximum > 0 && percent / 10 != lastDecile_) {
                lastDecile_ = percent / 10;
                Line("[" + std::to_string(percent) + "%]");
            }
            return;
        }
        const uint64_t now = plat::tickCount();
        if (!force && lastDraw_ != 0 && now - lastDraw_ < 100) return;
        lastDraw_ = now;
        constexpr int kWidth = 30;
        const int filled = percent * kWidth / 100;
        std::string bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                          std::string(static_cast<size_t>(kWidth - filled), '-') + "] ";
        bar += maximum > 0 ? std::to_string(percent) + "%" : std::string("?");
        std::string text = bar + "  " + plat::cp1252ToTerminalText(controller_.StatusText());
        if (!Blank(controller_.FileNameText()))
            text += "  " + plat::cp1252ToTerminalText(controller_.FileNameText());
        if (text.size() > 150) text = text.substr(0, 147) + "...";
        std::printf("\r\x1b[K%*s%s", depth_ * 2, "", text.c_str());
        std::fflush(stdout);
        progressLineOpen_ = true;
    }

    void EndProgressLine() {
        if (!progressLineOpen_) return;
        progressLineOpen_ = false;
        std::printf("\n");
        std::fflush(stdout);
    }

    TInstallerController& controller_;
    FrontEndOptions options_;
    int depth_;
    bool tty_;
    bool progressLineOpen_ = false;
    uint64_t lastDraw_ = 0;
    int lastDecile_ = -1;
    std::string lastStatus_;
    std::string lastFileName_;
};

TerminalView* FindWindow(Owner handle) {
    for (TerminalView* view : Windows()) {
        if (view->WindowHandle() == handle) return view;
    }
    return nullptr;
}

} // namespace

int RunTerminalFrontEnd(const std::string& scriptPath, const FrontEndOptions& options,
                        int* modalResult) {
    MessageHost host;
    host.activeForm = [] {
        return Windows().empty() ? Owner(0) : Windows().back()->WindowHandle();
    };
    host.windowTitle = [](Owner owner) {
        TerminalView* view = FindWindow(owner);
        return view ? view->Controller().WindowCaption() : std::string();
    };
    SetMessageHost(host);

    std::optional<plat::CancelSignals> signals;
    signals.emplace(AbortRequested, kCancelTexts);
    g_terminate = false;

    int result = ModalCancel;
    int status = RunNotInstalled;
    {
        TInstallerController window;
        TerminalView view(window, options, 0);
        window.TalkDefault = 2;
        window.CreateEngine();
        window.LoadScript(scriptPath);
        window.AboutProjVisible = true;
        // The main window closes on Cancel without asking while nothing runs.
        window.ConfirmCancel = false;
        window.FillFromScript(true);
        if (!options.targetDir.empty()) window.SetTargetFolder(options.targetDir);
        result = view.Run();
        status = g_terminate ? RunNotInstalled : window.RunExitStatus();
    }

    signals.reset();
    SetMessageHost({});
    if (modalResult) *modalResult = result;
    return status;
}

} // namespace setup
