// What the folder chooser and the info dialog share: a modal message loop
// for a window of their own class, the system DPI, fonts and centring.
#pragma once

#include <string>

#include "platform/win32/WindowsSupport.h"
#include "ui/win32/Layout.h"

namespace setup::win {

// Owns a GDI object (font, bitmap, brush) and deletes it once.
struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DeleteObject(h); }
};
using GdiObject = plat::win::ScopedHandle<GdiObjectTraits>;

// Owns an icon loaded with LoadImage (not shared) and destroys it once.
struct GlyphTraits {
    using Handle = HICON;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DestroyIcon(h); }
};
using GlyphIcon = plat::win::ScopedHandle<GlyphTraits>;

// The program's icon resource id at pixels x pixels; none when it is missing.
GlyphIcon LoadButtonGlyph(int id, int pixels);
// Shows glyph beside the caption of a push button (when there is a glyph).
void SetButtonGlyph(HWND button, const GlyphIcon& glyph);

// Dots per inch of the screen (96 = 100 %).
int ScreenDpi();

// A font of the given name and height: points > 0 are points, points < 0
// pixels at 96 dpi; both scaled to dpi.
GdiObject MakeFont(const wchar_t* face, int points, int dpi, bool underline = false);
// The system's dialog font at the given height (as MakeFont).
GdiObject MakeDialogFont(int points, int dpi);

// Width and height of text drawn in font.
SIZE MeasureText(HFONT font, const std::wstring& text);

// Moves a top-level window of the given outer size to the centre of owner
// (the screen's work area when there is none), kept on the screen.
void CentreOver(HWND wnd, HWND owner, int width, int height);

// Registers a window class once per process (CS_DBLCLKS, dialog background,
// arrow cursor); returns its name.
const wchar_t* RegisterDialogClass(const wchar_t* name, WNDPROC proc);

// Runs a window modally: the owner is disabled, the window shown, and
// messages are dispatched (dialog keys through IsDialogMessage) until End is
// called. A WM_QUIT met on the way ends the loop and is posted again.
class ModalLoop {
  public:
    int Run(HWND wnd, HWND owner);
    void End(int result) {
        result_ = result;
        done_ = true;
    }
    bool Ended() const { return done_; }

  private:
    int result_ = 0;
    bool done_ = false;
};

// Text of a window as Windows-1252.
std::string WindowText(HWND wnd);

} // namespace setup::win
