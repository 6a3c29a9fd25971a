// What the three source files of the installer window share: the controls'
// identifiers, the labels drawn on the background, the window's fonts and
// glyphs. FormSubProj.cpp runs the window, FormSubProjDrawing.cpp makes,
// places and paints its controls, FormSubProjEvents.cpp passes the
// controller's notifications to them and their commands to the controller.
#pragma once

#include <string>

#include "ui/win32/FormSubProj.h"
#include "ui/win32/ModalWindow.h"

namespace setup::win {

inline constexpr const char* kForm = "TFormSubProj";

enum ControlId : int {
    IdEditTarget = 200,
    IdButtonTarget,
    IdProgress,
    IdButtonInstall,
    IdButtonOk,
    IdButtonCancel,
    IdButtonAboutProject,
    IdButtonAboutSetup,
    IdMemo,
    IdEdit1,
};

// The labels, drawn on the background.
enum LabelIndex { LabelProject, LabelPath, LabelProgress, LabelFileNames, LabelCount };

struct TFormSubProj::Resources {
    GdiObject windowFont, smallFont, memoFont;
    GdiObject memoBrush;
    GlyphIcon folder, install, ok, cancel, aboutProject, aboutSetup;
};

inline std::wstring Wide(const std::string& text) {
    return plat::win::widen(text);
}

} // namespace setup::win
