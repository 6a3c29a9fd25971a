// Message boxes and dialogs: prefix rules, captions, and the choice between
// scripted answers, default buttons and the person at the screen.
#include "common/Messages.h"

#include "common/Answers.h"
#include "common/Log.h"
#include "platform/Console.h"
#include "platform/Cp1252.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/System.h"

#include <vector>

namespace setup {

std::atomic<bool> AbortRequested{false};

namespace {

struct MessageState {
    MessageHost host;
    bool unattended = false;
    AnswerRules answers;
    AnswerSource lastSource = AnswerSource::None;
};

MessageState& state() {
    static MessageState s;
    return s;
}

const char* sourceName(AnswerSource source) {
    switch (source) {
    case AnswerSource::Answers:
        return "answers";
    case AnswerSource::Default:
        return "default";
    case AnswerSource::User:
        return "user";
    case AnswerSource::None:
        break;
    }
    return "none";
}

// A box for the console: its kind, then its text with each line end (CR LF,
// CR or LF) a new line, indented below the first.
std::string consoleText(const char* kind, const std::string& text) {
    std::string result = std::string(kind) + ": ";
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            result += "\n  ";
        } else {
            result += ch;
        }
    }
    return result;
}

// Answers one box: a scripted rule, else the default button when nobody may
// be asked, else the person. Logs the box with its answer.
template <typename AskPerson>
int answerBox(const char* kind, const std::string& text, const std::vector<int>& offered,
              int defaultButton, AskPerson askPerson) {
    auto& s = state();
    int button = s.answers.Take(text, offered);
    AnswerSource source = AnswerSource::Answers;
    if (button == 0) {
        if (!s.unattended && plat::canAskPerson()) {
            button = askPerson();
            source = AnswerSource::User;
        } else {
            button = defaultButton;
            source = AnswerSource::Default;
        }
    }
    s.lastSource = source;
    const std::string answer =
        std::string(" -> ") + ButtonName(button) + " (" + sourceName(source) + ")";
    log::Line("MSG", {kind, text + answer});
    if (s.unattended) plat::writeConsole(consoleText(kind, text) + answer + "\n", true);
    return button;
}

// The buttons of a standard message box in the order shown, from its flags.
std::vector<int> buttonsOf(uint32_t flags) {
    switch (flags & 0x0F) {
    case 0x01:
        return {IdOk, IdCancel};
    case 0x02:
        return {3 /* IDABORT */, IdRetry, IdIgnore};
    case 0x03:
        return {IdYes, IdNo, IdCancel};
    case 0x04:
        return {IdYes, IdNo};
    case 0x05:
        return {IdRetry, IdCancel};
    default:
        return {IdOk};
    }
}

// MB_DEFBUTTON1..4 choose the default; one beyond the buttons means the first.
int defaultOf(const std::vector<int>& buttons, uint32_t flags) {
    const size_t index = (flags >> 8) & 0x0F;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

int showBox(const char* kind, Owner owner, const std::string& message, uint32_t flags,
            bool titled) {
    const PreparedBox box = PrepareMessageBox(owner, message, flags, titled);
    if (!box.shown) {
        state().lastSource = AnswerSource::None;
        return 0;
    }
    const std::vector<int> buttons = buttonsOf(box.flags);
    return answerBox(kind, box.text, buttons, defaultOf(buttons, box.flags),
                     [&] { return plat::messageBox(box.owner, box.text, box.caption, box.flags); });
}

} // namespace

PreparedBox PrepareMessageBox(Owner owner, const std::string& text, uint32_t flags, bool titled) {
    const auto& host = state().host;
    PreparedBox box;
    // Titled boxes without an owner belong to the active form; 0xFFFF means
    // no owner at all.
    if (owner == ActiveForm && titled && host.activeForm) owner = host.activeForm();
    if (owner == NoOwner) owner = ActiveForm;
    box.owner = owner;

    box.text = text;
    // "$tag text": the tag is dropped; a lone "$tag" is a box that is not shown.
    if (!box.text.empty() && box.text.front() == '$') {
        const size_t space = box.text.find(' ');
        if (space == std::string::npos) {
            box.shown = false;
            box.text.clear();
            return box;
        }
        box.text.erase(0, space + 1);
    }
    // "!text": the stop icon replaces the caller's icon.
    if (!box.text.empty() && box.text.front() == '!') {
        box.text.erase(0, 1);
        flags = (flags & ~uint32_t{0x70}) | MbIconHand;
    }
    box.flags = flags;

    if (titled) {
        if (owner == ActiveForm)
            box.caption = "???";
        else if (host.windowTitle)
            box.caption = host.windowTitle(owner).substr(0, 253);
    }
    return box;
}

void SetMessageHost(MessageHost host) {
    state().host = std::move(host);
}

void SetUnattended(bool unattended) {
    state().unattended = unattended;
}
bool IsUnattended() {
    return state().unattended;
}

// A platform path in the program's Windows-1252 text, for messages: POSIX
// paths are UTF-8.
std::string displayName(const std::string& nativePath) {
#ifdef _WIN32
    return nativePath;
#else
    return plat::utf8ToCp1252(nativePath);
#endif
}

bool LoadAnswers(const std::string& nativePath, std::string& error) {
    // A few rules a line each: anything larger is no answers file (and must
    // not fill the memory, as /dev/zero or a huge file would).
    constexpr uint64_t kMaxAnswersFileSize = 1024 * 1024;
    const std::string path = plat::toWindowsPath(nativePath);
    const std::string name = "Antwortdatei " + displayName(nativePath);
    if (plat::folderExists(path)) {
        error = name + " ist ein Ordner.";
        return false;
    }
    // A device, pipe or socket would be read forever or wait for a writer.
    if (plat::fileExists(path) && !plat::isRegularFile(path)) {
        error = name + " ist keine gew\xF6hnliche Datei (ein Ger\xE4t, eine Pipe oder ein Socket).";
        return false;
    }
    plat::File file;
    std::string contents;
    if (file.open(path, plat::OpenMode::Read)) {
        char buffer[4096];
        int64_t count;
        while ((count = file.read(buffer, sizeof buffer)) > 0) {
            contents.append(buffer, static_cast<size_t>(count));
            if (contents.size() > kMaxAnswersFileSize) {
                error = name + " ist zu gro\xDF (mehr als 1 MB).";
                return false;
            }
        }
        if (count == 0) {
            if (contents.find('\0') != std::string::npos) {
                error = name + " ist keine Textdatei.";
                return false;
            }
            std::string lineError;
            if (state().answers.Parse(contents, lineError)) return true;
            error = name + ", " + lineError;
            return false;
        }
    }
    error = name + " kann nicht gelesen werden.";
    const std::string reason = plat::sysErrorText(file.lastError());
    if (!reason.empty()) error += "\r\n" + reason;
    return false;
}

void ClearAnswers() {
    state().answers.Clear();
}

void LogUnusedAnswers() {
    for (const std::string& rule : state().answers.Unanswered())
        log::Line("ANSWERS", {"unused", plat::utf8ToCp1252(rule)});
}

AnswerSource LastAnswerSource() {
    return state().lastSource;
}

int ShowMessageBox(Owner owner, const std::string& text, uint32_t flags) {
    return showBox("Plain", owner, text, flags, true);
}

int ShowUntitledMessageBox(Owner owner, const std::string& text, uint32_t flags) {
    return showBox("Plain", owner, text, flags, false);
}

int InfoMessage(Owner owner, const std::string& text) {
    return showBox("Info", owner, text, MbOk | MbIconInformation, true);
}

int AskYesNo(Owner owner, const std::string& text) {
    return showBox("AskYesNo", owner, text, MbYesNo | MbIconQuestion, true);
}

int AskYesNoDefaultNo(Owner owner, const std::string& text) {
    return showBox("AskYesNoDefaultNo", owner, text, MbYesNo | MbIconQuestion | MbDefButton2, true);
}

int WarnOkCancel(Owner owner, const std::string& text) {
    return showBox("WarnOkCancel", owner, text, MbOkCancel | MbIconExclamation, true);
}

int AskYesNoUntitled(Owner owner, const std::string& text) {
    return showBox("AskYesNoUntitled", owner, text, MbYesNo | MbIconQuestion, false);
}

int PlainMessage(const std::string& text) {
    const std::vector<int> buttons{IdOk};
    return answerBox("Plain", text, buttons, IdOk,
                     [&] { return plat::messageBox(0, text, "Setup", MbOk); });
}

int AskIgnoreCancel(const std::string& text) {
    const std::vector<int> buttons{IdCancel, IdIgnore};
    return answerBox("AskIgnoreCancel", text, buttons, IdCancel, [&] {
        return plat::buttonDialog("Setup", text, false,
                                  {{"Abbrechen", IdCancel}, {"&Ignorieren", IdIgnore}}, IdCancel);
    });
}

int AskRetryIgnore(const std::string& text) {
    const std::vector<int> buttons{IdRetry, IdIgnore};
    return answerBox("AskRetryIgnore", text, buttons, IdIgnore, [&] {
        return plat::buttonDialog("Setup", text, false,
                                  {{"&Wiederholen", IdRetry}, {"&Ignorieren", IdIgnore}}, IdIgnore);
    });
}

int AskOverwrite(const std::string& text, bool withRetry) {
    std::vector<plat::DialogButton> dialogButtons{
        {"&Ja", IdYes}, {"&Nein", IdNo}, {"Abbrechen", IdCancel}};
    if (withRetry) dialogButtons.push_back({"&Wiederholen", IdRetry});
    dialogButtons.push_back({"&Alle", IdAll});
    std::vector<int> buttons;
    for (const auto& button : dialogButtons)
        buttons.push_back(button.id);
    return answerBox("AskOverwrite", text, buttons, IdYes, [&] {
        return plat::buttonDialog("Best\xE4tigung", text, true, dialogButtons, IdCancel);
    });
}

int ReportNotCopied(const std::string& name) {
    const std::string text = name + " nicht kopiert!";
    const std::vector<int> buttons{IdOk};
    return answerBox("ReportNotCopied", text, buttons, IdOk, [&] {
        return plat::buttonDialog("Setup", text, false, {{"OK", IdOk}}, IdCancel);
    });
}

bool CheckAbort() {
    plat::pumpMessages();
    return AbortRequested;
}

} // namespace setup
