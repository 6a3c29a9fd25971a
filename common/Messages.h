// Every message to the user goes through these operations. Each box is
// answered by the first of: a rule of the answers file, the default button
// when nobody is at the screen (--unattended), the person. Every box is logged
// (MSG line) with its answer and where the answer came from.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace setup {

// Button identifiers (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7, and the toolkit's
// mrAll 8 and mrIgnore 5, mrRetry 4); 0 = nothing was shown.
enum : int { IdOk = 1, IdCancel = 2, IdRetry = 4, IdIgnore = 5, IdYes = 6, IdNo = 7, IdAll = 8 };

// Message box flags the installer uses.
enum : uint32_t {
    MbOk = 0x00,
    MbOkCancel = 0x01,
    MbYesNo = 0x04,
    MbIconHand = 0x10,
    MbIconQuestion = 0x20,
    MbIconExclamation = 0x30,
    MbIconInformation = 0x40,
    MbDefButton2 = 0x100,
};

// A window handle; 0 = the active form, NoOwner (0xFFFF) = no owner.
using Owner = uintptr_t;
constexpr Owner ActiveForm = 0;
constexpr Owner NoOwner = 0xFFFF;

// What the front end tells the message layer about its windows.
struct MessageHost {
    // The active form's handle, 0 when there is none.
    std::function<Owner()> activeForm;
    // The title of a window (at most 253 characters are used).
    std::function<std::string(Owner)> windowTitle;
};
void SetMessageHost(MessageHost host);

// How boxes are answered when no person may be asked. Unattended, every box
// is also written to standard error with its answer.
void SetUnattended(bool unattended);
bool IsUnattended();
// Loads the answers file (UTF-8, one rule a line); false with a message in
// error when it cannot be read or has a bad rule.
bool LoadAnswers(const std::string& nativePath, std::string& error);
// Forgets the loaded answers (rules not used yet are dropped).
void ClearAnswers();
// Logs each rule of the answers file that answered nothing (ANSWERS lines);
// the program does so when it ends.
void LogUnusedAnswers();

// Where the answer of the last box came from.
enum class AnswerSource { None, Answers, Default, User };
AnswerSource LastAnswerSource();

int ShowMessageBox(Owner owner, const std::string& text, uint32_t flags);
int ShowUntitledMessageBox(Owner owner, const std::string& text, uint32_t flags);
int InfoMessage(Owner owner, const std::string& text);
int AskYesNo(Owner owner, const std::string& text);
int AskYesNoDefaultNo(Owner owner, const std::string& text);
int WarnOkCancel(Owner owner, const std::string& text);
int AskYesNoUntitled(Owner owner, const std::string& text);
// A plain message box (OK, the application title "Setup" as caption).
int PlainMessage(const std::string& text);

// Toolkit dialogs: AskIgnoreCancel returns IdIgnore or IdCancel; AskOverwrite
// IdYes, IdNo, IdCancel, IdAll or (only when offered) IdRetry; ReportNotCopied
// IdOk, or IdCancel when closed without OK.
int AskIgnoreCancel(const std::string& text);
// IdRetry or IdIgnore (the default).
int AskRetryIgnore(const std::string& text);
int AskOverwrite(const std::string& text, bool withRetry);
int ReportNotCopied(const std::string& name);

// What ShowMessageBox (titled) or ShowUntitledMessageBox would show for its
// arguments: the owner resolved, the "$tag " and "!" prefixes applied, the
// caption chosen. shown is false for a lone "$tag" (nothing is shown).
struct PreparedBox {
    bool shown = true;
    Owner owner = 0;
    std::string text;
    std::string caption;
    uint32_t flags = 0;
};
PreparedBox PrepareMessageBox(Owner owner, const std::string& text, uint32_t flags, bool titled);

// The abort flag behind the Cancel button. A signal handler sets it too (Ctrl-C,
// SIGTERM and SIGHUP on Linux), so it is a lock-free atomic.
extern std::atomic<bool> AbortRequested;
static_assert(std::atomic<bool>::is_always_lock_free,
              "the abort flag is set from a signal handler");
// Handles pending window messages, then returns AbortRequested.
bool CheckAbort();

} // namespace setup
