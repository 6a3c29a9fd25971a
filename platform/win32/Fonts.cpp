// The font table through GDI.
#include "platform/Fonts.h"

#include "platform/win32/WindowsSupport.h"

namespace plat {

int addFontResource(const std::string& file) {
    return AddFontResourceW(win::widen(file).c_str());
}

uint32_t removeFontResource(const std::string& file) {
    return RemoveFontResourceW(win::widen(file).c_str()) ? 0 : win::failureCode();
}

uint32_t createScalableFontResource(const std::string& fotFile, const std::string& fontFile,
                                    const std::string& currentPath) {
    const std::wstring path = win::widen(currentPath);
    return CreateScalableFontResourceW(0, win::widen(fotFile).c_str(), win::widen(fontFile).c_str(),
                                       currentPath.empty() ? nullptr : path.c_str())
               ? 0
               : win::failureCode();
}

void broadcastFontChange() {
    PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

} // namespace plat
