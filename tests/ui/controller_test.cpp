// The installer window's logic: the report, Cancel, the hint and progress state.
#include "ui/UiTestEnv.h"

namespace {

using enginetest::EngineEnv;
using setup::TInstallerController;
using uitest::TestView;

class ControllerTest : public EngineEnv {
  protected:
    void Load(const std::string& text) {
        const std::string script = scratch_ + "install.ins";
        testenv::WriteFile(script, text);
        window_.CreateEngine();
        window_.LoadScript(script);
    }
    TInstallerController window_;
    TestView view_{window_};
};

TEST(ProgressUnitsTest, DividesBy256AndIsNeverNegative) {
    EXPECT_EQ(0, setup::ProgressUnits(255));
    EXPECT_EQ(1, setup::ProgressUnits(256));
    EXPECT_EQ(390, setup::ProgressUnits(100000));
    EXPECT_EQ(0x7FFFFFFF, setup::ProgressUnits(-1));
    EXPECT_EQ(0x7FFFFFFF, setup::ProgressUnits(int64_t(0x7FFFFFFF) << 8 | 0xFF));
    EXPECT_EQ(0, setup::ProgressUnits(int64_t(1) << 39));
}

TEST_F(ControllerTest, StatisticsText) {
    Load("[Project]\r\nName=P\r\n");
    auto& engine = window_.Engine();
    EXPECT_EQ("Kopieren von Dateien:\r\r", window_.StatisticsText());
    engine.Context().counters.updated = 1;
    engine.Context().counters.unchanged = 5;
    EXPECT_EQ("Kopieren von Dateien:\r\r"
              "5 Dateien bzgl. Aktualit\xE4t gepr\xFC"
              "ft und nicht ge\xE4ndert\r"
              "1 Datei aktualisiert\r",
              window_.StatisticsText());
    // Failed, cancelled and superfluous files: RunTest drives real ones.
}

TEST_F(ControllerTest, CancelBeforeARun) {
    Load("[Project]\r\nName=P\r\n");
    // A sub-project window asks first, No being the default.
    window_.CancelClick();
    EXPECT_EQ(setup::ModalNone, window_.ModalResult());
    Answers("Installation wirklich abbrechen? => Yes\n");
    window_.CancelClick();
    EXPECT_EQ(setup::ModalCancel, window_.ModalResult());
    const auto messages = LogLines("MSG");
    ASSERT_EQ(2u, messages.size());
    EXPECT_NE(std::string::npos, messages[0].find("MSG AskYesNoDefaultNo | Wenn Sie die "
                                                  "Installation abbrechen, bleibt eine \\r"));
    EXPECT_NE(std::string::npos, messages[0].find("-> No (default)"));

    // The main window closes without a question.
    TInstallerController main;
    TestView mainView(main);
    main.ConfirmCancel = false;
    main.CancelClick();
    EXPECT_EQ(setup::ModalCancel, main.ModalResult());
    EXPECT_EQ(2u, LogLines("MSG").size());
}

TEST_F(ControllerTest, CancelDuringARunOnlyRequestsTheAbort) {
    Load("[Project]\r\nName=P\r\n");
    bool wasOpen = false;
    view_.onStatus = [&](TInstallerController& window) {
        if (window.StatusText() == "MakeGroup") {
            window.CancelClick();
            wasOpen = window.ModalResult() == setup::ModalNone && setup::AbortRequested;
        }
    };
    window_.InstallNowClick();
    EXPECT_TRUE(wasOpen);
    EXPECT_TRUE(LogLines("MSG AskYesNoDefaultNo").empty());
}

TEST_F(ControllerTest, HintStateAndScriptTexts) {
    Load("[Project]\r\nName=Projekt\r\nVersion=2.1\r\nInstit=Qorv\r\nCR=(c) %yyyy%\r\n"
         "Memo=Hinweis\r\nColor1=$102030\r\n");
    window_.FillFromScript(true);
    EXPECT_EQ("Projekt", window_.WindowCaption());
    EXPECT_EQ("Projekt", window_.About2.Head1);
    EXPECT_EQ("2.1", window_.About2.Head2);
    EXPECT_EQ("Qorv", window_.About2.Instit);
    EXPECT_EQ(0x102030u, window_.GradientTop);
    EXPECT_EQ(0xCABB88u, window_.GradientBottom);
    EXPECT_TRUE(window_.HintVisible());
    EXPECT_EQ(380, window_.WindowHeight);

    window_.SetHint("");
    EXPECT_FALSE(window_.HintVisible());
    EXPECT_EQ(300, window_.WindowHeight);
    EXPECT_EQ(88, window_.SavedHintHeight);
    window_.SetHint("wieder da");
    EXPECT_TRUE(window_.HintVisible());
    EXPECT_EQ(388, window_.WindowHeight);
    EXPECT_EQ(388, window_.MinWindowHeight);

    const auto hints = LogLines("HINT");
    ASSERT_EQ(3u, hints.size());
    EXPECT_EQ("HINT Hinweis", hints[0]);
    EXPECT_EQ(std::vector<std::string>{"CAPTION Projekt"}, LogLines("CAPTION"));

    // A long head line stays whole in the caption; no version gives the degree sign.
    TInstallerController other;
    const std::string longName(90, 'N');
    testenv::WriteFile(scratch_ + "long.ins", "[Project]\r\nName=" + longName + "\r\n");
    other.CreateEngine();
    other.LoadScript(scratch_ + "long.ins");
    other.FillFromScript(true);
    EXPECT_EQ(longName, other.WindowCaption());
    EXPECT_EQ(longName.substr(0, 80), other.About2.Head1);
    EXPECT_EQ("\xB0", other.About2.Head2);
    EXPECT_FALSE(other.HintVisible());
}

} // namespace
