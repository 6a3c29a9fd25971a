#include "platform/System.h"

#include <vector>

#include "platform/win32/WindowsSupport.h"
#include <shellapi.h>

namespace plat {
namespace {

// Calls a GetWindowsDirectoryW-style function: it returns the length without
// the zero when the text fits, else the size the buffer needs.
template <typename Fn> std::string fetchPath(Fn fn) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    while (true) {
        UINT n = fn(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n == 0) return std::string();
        if (n < buffer.size()) return win::narrow(std::wstring(buffer.data(), n));
        buffer.resize(n + 1);
    }
}

std::vector<std::string> commandLineArguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!argv) return args;
    win::LocalMemory owner(reinterpret_cast<HLOCAL>(argv));
    for (int i = 1; i < count; ++i)
        args.push_back(win::narrow(argv[i]));
    return args;
}

std::optional<std::vector<std::string>>& argumentStore() {
    static std::optional<std::vector<std::string>> store;
    return store;
}

} // namespace

bool getOsVersion(OsVersion& out) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = ::GetVersionExW(&info);
#pragma GCC diagnostic pop
    if (!ok) return false;
    out.platformId = info.dwPlatformId;
    out.major = info.dwMajorVersion;
    out.minor = info.dwMinorVersion;
    out.build = info.dwBuildNumber;
    return true;
}

bool isWow64Process() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32");
    if (!kernel) return false;
    // Missing before Windows XP SP2: looked up at run time.
    FARPROC proc = ::GetProcAddress(kernel, "IsWow64Process");
    if (!proc) return false;
    auto fn = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void (*)()>(proc));
    BOOL wow64 = FALSE;
    return fn(::GetCurrentProcess(), &wow64) && wow64;
}

std::string programPath() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    while (true) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::string();
        // A full buffer means the name may have been cut.
        if (n < buffer.size() - 1) return win::narrow(std::wstring(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string windowsDirectory() {
    return fetchPath([](wchar_t* b, UINT n) { return ::GetWindowsDirectoryW(b, n); });
}

std::string systemDirectory() {
    return fetchPath([](wchar_t* b, UINT n) { return ::GetSystemDirectoryW(b, n); });
}

std::string sysErrorText(uint32_t code) {
    wchar_t* text = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                   FORMAT_MESSAGE_ALLOCATE_BUFFER,
                               nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    win::LocalMemory owner(reinterpret_cast<HLOCAL>(text));
    if (n == 0 || !text) return std::string();
    std::wstring message(text, n);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n'))
        message.pop_back();
    return win::narrow(message);
}

void setArguments(const std::vector<std::string>& args) {
    argumentStore() = args;
}

const std::vector<std::string>& arguments() {
    auto& store = argumentStore();
    if (!store) store = commandLineArguments();
    return *store;
}

std::string toWindowsPath(const std::string& platformPath) {
    if (platformPath.empty()) return platformPath;
    std::wstring wide = win::widen(platformPath);
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    while (true) {
        DWORD n = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(),
                                     nullptr);
        if (n == 0) return platformPath;
        if (n < buffer.size()) return win::narrow(std::wstring(buffer.data(), n));
        buffer.resize(n + 1);
    }
}

std::string toNativePath(const std::string& windowsPath) {
    return windowsPath;
}

void pumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to consume: the main message loop must still see it.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::string userLanguageAbbreviation() {
    wchar_t buffer[16];
    DWORD n = ::GetEnvironmentVariableW(L"SETUP_LANG", buffer, 16);
    if (n > 0 && n < 16) return win::narrow(std::wstring(buffer, n));
    const LCID locale = MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT);
    const int length = ::GetLocaleInfoW(locale, LOCALE_SABBREVLANGNAME, buffer, 16);
    if (length <= 1) return {};
    return win::narrow(std::wstring(buffer, static_cast<size_t>(length - 1)));
}

uint64_t tickCount() {
    return ::GetTickCount64();
}

void sleepMs(uint32_t ms) {
    ::Sleep(ms);
}

} // namespace plat
