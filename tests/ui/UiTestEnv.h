// A view that records what the controller tells it, for the window tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/EngineTestEnv.h"
#include "ui/InstallerController.h"

namespace uitest {

class TestView : public setup::InstallerView {
  public:
    explicit TestView(setup::TInstallerController& controller) : controller_(controller) {
        controller_.SetView(this);
    }
    ~TestView() override { controller_.SetView(nullptr); }

    setup::Owner WindowHandle() const override { return 0x200; }
    void StatusChanged() override {
        if (onStatus) onStatus(controller_);
    }
    void CloseWindow(int modalResult) override { closedWith.push_back(modalResult); }
    int ShowSubWindowModal(setup::TInstallerController& sub) override {
        subCaptions.push_back(sub.WindowCaption());
        if (subWindow) return subWindow(sub);
        // Like --unattended: the install button at once, then OK when shown.
        TestView view(sub);
        sub.InstallNowClick();
        if (sub.ModalResult() == setup::ModalNone && sub.OkVisible()) sub.OkClick();
        return sub.ModalResult() == setup::ModalNone ? setup::ModalCancel : sub.ModalResult();
    }
    void TerminateApplication() override { terminated = true; }

    std::function<void(setup::TInstallerController&)> onStatus;
    std::function<int(setup::TInstallerController&)> subWindow;
    std::vector<int> closedWith;
    std::vector<std::string> subCaptions;
    bool terminated = false;

  private:
    setup::TInstallerController& controller_;
};

} // namespace uitest
