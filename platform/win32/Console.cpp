// Console output of the GUI program: a redirected standard handle gets UTF-8
// bytes; a console (our own or, attached once, the parent's) gets UTF-16.
#include "platform/Console.h"

#include "platform/win32/WindowsSupport.h"

namespace plat {

namespace {

bool writeHandle(HANDLE handle, const std::string& text) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    DWORD mode = 0;
    if (::GetConsoleMode(handle, &mode)) {
        const std::wstring wide = win::widen(text);
        DWORD written = 0;
        return ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written,
                               nullptr) != 0;
    }
    const std::string utf8 = cp1252ToUtf8(text);
    DWORD written = 0;
    return ::WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) &&
           written == utf8.size();
}

// The parent's console, attached on first need; null when there is none.
HANDLE parentConsole() {
    static win::FileHandle console = [] {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return win::FileHandle();
        return win::FileHandle(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    }();
    return console.valid() ? console.get() : nullptr;
}

} // namespace

bool writeConsole(const std::string& text, bool toError) {
    // A handle given by the parent (redirection, or a console program's own
    // console) takes precedence over attaching to the parent's console.
    if (writeHandle(::GetStdHandle(toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), text))
        return true;
    return writeHandle(parentConsole(), text);
}

} // namespace plat
