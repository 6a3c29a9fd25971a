// The button dialog built from an in-memory template, driven from a second
// thread as a person would: find the window, read its buttons, press one.
#include "platform/Dialogs.h"
#include "platform/win32/WindowsSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

struct Button {
    std::wstring text;
    RECT rect;
    LONG style;
    HWND wnd;
};

struct Seen {
    bool found = false;
    std::wstring message;
    bool hasIcon = false;
    std::vector<Button> buttons;
    RECT window{};
};

BOOL CALLBACK collectChild(HWND child, LPARAM param) {
    auto* seen = reinterpret_cast<Seen*>(param);
    wchar_t cls[32] = {};
    wchar_t text[512] = {};
    ::GetClassNameW(child, cls, 32);
    ::GetWindowTextW(child, text, 512);
    LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if (lstrcmpiW(cls, L"Button") == 0) {
        RECT r;
        ::GetWindowRect(child, &r);
        seen->buttons.push_back({text, r, style, child});
    } else if ((style & SS_TYPEMASK) == SS_ICON) {
        seen->hasIcon = true;
    } else if (text[0]) {
        seen->message = text;
    }
    return TRUE;
}

// Waits for the dialog titled title, records what it shows, then acts on it.
std::thread driver(const std::wstring& title, Seen& seen, int pressIndex) {
    return std::thread([title, &seen, pressIndex] {
        HWND dlg = nullptr;
        for (int i = 0; i < 500 && !dlg; ++i) {
            // Visible only once it has laid itself out.
            dlg = ::FindWindowW(L"#32770", title.c_str());
            if (dlg && !::IsWindowVisible(dlg)) dlg = nullptr;
            if (!dlg) ::Sleep(10);
        }
        if (!dlg) return;
        seen.found = true;
        ::GetWindowRect(dlg, &seen.window);
        ::EnumChildWindows(dlg, collectChild, reinterpret_cast<LPARAM>(&seen));
        std::sort(seen.buttons.begin(), seen.buttons.end(),
                  [](const Button& a, const Button& b) { return a.rect.left < b.rect.left; });
        if (pressIndex >= 0 && pressIndex < static_cast<int>(seen.buttons.size()))
            ::PostMessageW(seen.buttons[pressIndex].wnd, BM_CLICK, 0, 0);
        else
            ::PostMessageW(dlg, WM_CLOSE, 0, 0);
    });
}

const std::vector<plat::DialogButton> kButtons = {{"&Ja", plat::kIdYes},
                                                  {"&Nein", plat::kIdNo},
                                                  {"&Alle \xFC"
                                                   "berschreiben",
                                                   plat::kIdAll}};

TEST(Win32Dialogs, ButtonDialogShowsItsButtonsInOrderAndReturnsThePressedOne) {
    Seen seen;
    std::thread person = driver(L"Datei \u00FCberschreiben?", seen, 2);
    int result =
        plat::buttonDialog("Datei \xFC"
                           "berschreiben?",
                           "Die Datei\rC:\\x.txt\rist neuer.", true, kButtons, plat::kIdCancel);
    person.join();
    ASSERT_TRUE(seen.found) << "the dialog did not appear";
    EXPECT_EQ(result, plat::kIdAll);
    EXPECT_EQ(seen.message, L"Die Datei\r\nC:\\x.txt\r\nist neuer.");
    EXPECT_TRUE(seen.hasIcon);
    ASSERT_EQ(seen.buttons.size(), 3u);
    EXPECT_EQ(seen.buttons[0].text, L"&Ja");
    EXPECT_EQ(seen.buttons[2].text, L"&Alle \u00FCberschreiben");
    EXPECT_EQ(seen.buttons[0].style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(seen.buttons[1].style & BS_TYPEMASK, BS_PUSHBUTTON);
    // Laid out inside the window, side by side, and the window on the screen.
    for (const Button& b : seen.buttons) {
        EXPECT_GT(b.rect.right - b.rect.left, 20);
        EXPECT_LE(b.rect.right, seen.window.right);
        EXPECT_LE(b.rect.bottom, seen.window.bottom);
    }
    EXPECT_LE(seen.buttons[0].rect.right, seen.buttons[1].rect.left);
    EXPECT_GE(seen.window.left, 0);
    EXPECT_GE(seen.window.top, 0);
}

TEST(Win32Dialogs, ClosingTheDialogGivesTheCancelAnswer) {
    Seen seen;
    std::thread person = driver(L"Frage", seen, -1);
    int result = plat::buttonDialog("Frage", "Weiter?", false, kButtons, plat::kIdNo);
    person.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(result, plat::kIdNo);
    EXPECT_FALSE(seen.hasIcon);
}

} // namespace
