// A plan's run: the controller driven by a view that draws nothing and plays
// the buttons as nobody at the screen would.
#include "app/PlanRun.h"

#include <exception>
#include <vector>

#include "common/Log.h"
#include "common/Messages.h"
#include "platform/Console.h"
#include "ui/InstallerController.h"

namespace setup {

namespace {

class PlanView;
std::vector<PlanView*>& Windows() {
    static std::vector<PlanView*> windows;
    return windows;
}

class PlanView final : public InstallerView {
  public:
    PlanView(TInstallerController& controller, int depth, bool& terminate)
        : controller_(controller), depth_(depth), terminate_(terminate) {
        controller_.SetView(this);
        Windows().push_back(this);
    }
    ~PlanView() override {
        controller_.SetView(nullptr);
        Windows().pop_back();
    }
    PlanView(const PlanView&) = delete;
    PlanView& operator=(const PlanView&) = delete;

    TInstallerController& Controller() { return controller_; }
    Owner WindowHandle() const override { return static_cast<Owner>(0x200 + depth_); }
    void CloseWindow(int) override {}
    void TerminateApplication() override { terminate_ = true; }
    // No program is asked to end: nothing would be restarted either.
    uint32_t BroadcastStopRun(const std::string&) override { return 0; }

    int ShowSubWindowModal(TInstallerController& sub) override {
        PlanView view(sub, depth_ + 1, terminate_);
        return view.Run();
    }

    // The window until it closes, as an unattended front end plays it.
    int Run() {
        while (controller_.ModalResult() == ModalNone && !terminate_) {
            if (controller_.InstallNowVisible()) {
                try {
                    controller_.InstallNowClick();
                } catch (const std::exception& e) {
                    // The run's error box, as the front ends show it.
                    log::Line("ERROR", {e.what()});
                    plat::writeConsole(std::string("Fehler: ") + e.what() + "\n", true);
                }
                if (controller_.ModalResult() != ModalNone || terminate_) break;
                if (!controller_.OkVisible()) {
                    controller_.CancelClick();
                    if (controller_.ModalResult() == ModalNone) break;
                }
            }
            if (controller_.OkVisible()) controller_.OkClick();
        }
        return controller_.ModalResult() == ModalNone ? ModalCancel : controller_.ModalResult();
    }

  private:
    TInstallerController& controller_;
    int depth_;
    bool& terminate_;
};

PlanView* FindWindow(Owner handle) {
    for (PlanView* view : Windows())
        if (view->WindowHandle() == handle) return view;
    return nullptr;
}

} // namespace

PlanTotals RunPlannedInstallation(const std::string& script, const std::string& targetDir,
                                  PlanEffects& plan, int& modalResult) {
    MessageHost host;
    host.activeForm = [] {
        return Windows().empty() ? Owner(0) : Windows().back()->WindowHandle();
    };
    host.windowTitle = [](Owner owner) {
        PlanView* view = FindWindow(owner);
        return view ? view->Controller().WindowCaption() : std::string();
    };
    SetMessageHost(host);
    struct HostScope {
        ~HostScope() { SetMessageHost({}); }
    } hostScope;

    PlanTotals totals;
    bool terminate = false;
    TInstallerController window;
    window.SetEffects(plan);
    PlanView view(window, 0, terminate);
    window.TalkDefault = 2;
    window.CreateEngine();
    window.LoadScript(script);
    window.AboutProjVisible = true;
    window.ConfirmCancel = false;
    window.FillFromScript(true);
    if (!targetDir.empty()) window.SetTargetFolder(targetDir);
    totals.caption = window.WindowCaption();
    modalResult = view.Run();
    totals.exitStatus = terminate ? RunNotInstalled : window.RunExitStatus();
    totals.targetDir = window.Engine().TargetDir();
    const RunCounters& counters = window.Engine().Context().counters;
    totals.unchanged = counters.unchanged;
    totals.failed = counters.failed;
    totals.cancelled = counters.cancelled;
    return totals;
}

} // namespace setup
