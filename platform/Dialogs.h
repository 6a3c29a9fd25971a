// How the person at the screen is asked: the platform's message box (Win32)
// or a terminal prompt (Linux). The portable message layer (common/Messages.h)
// decides whether a person is asked at all; this is only the last step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// Button identifiers, as Windows numbers them.
enum : int {
    kIdOk = 1,
    kIdCancel = 2,
    kIdAbort = 3,
    kIdRetry = 4,
    kIdIgnore = 5,
    kIdYes = 6,
    kIdNo = 7,
    kIdAll = 8, // the toolkit's mrAll, for AskOverwrite
};

// A standard message box: MessageBoxW with the flags (buttons, icon, default
// button). owner is a window handle or 0. Returns the pressed button, 0 when
// it could not be shown.
int messageBox(uintptr_t owner, const std::string& text, const std::string& caption,
               uint32_t flags);

// A dialog with the given buttons (label, id) in this order; the first
// label is the default. Returns the id pressed, or cancelId when closed.
struct DialogButton {
    std::string label; // Windows-1252, "&" marks the accelerator
    int id;
};
int buttonDialog(const std::string& title, const std::string& text, bool questionIcon,
                 const std::vector<DialogButton>& buttons, int cancelId);

// Whether a person can be asked at all (Linux: standard input is a terminal).
bool canAskPerson();

} // namespace plat
