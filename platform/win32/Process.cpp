#include "platform/Process.h"

#include "platform/win32/WindowsSupport.h"

#include <psapi.h>
#include <shellapi.h>

namespace plat {

bool startProgram(const std::string& commandLine, const std::string& workingFolder) {
    std::wstring line = win::widen(commandLine);
    std::wstring folder = win::widen(workingFolder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    // CreateProcessW may write into the command line: it gets its own copy.
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return false;
    win::FileHandle process(info.hProcess);
    win::FileHandle thread(info.hThread);
    return true;
}

std::vector<std::string> runningProgramPaths() {
    // The identifier buffer grows until a call leaves room to spare: a full
    // buffer may have cut the list short.
    std::vector<DWORD> ids(1024);
    DWORD bytes = 0;
    for (;;) {
        const DWORD size = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        if (!::EnumProcesses(ids.data(), size, &bytes)) return {};
        if (bytes < size) break;
        ids.resize(ids.size() * 2);
    }
    ids.resize(bytes / sizeof(DWORD));

    std::vector<std::string> paths;
    for (DWORD id : ids) {
        if (id == 0) continue;
        // Limited query rights reach more processes than reading their memory
        // would, and give the image of a 64-bit process to a 32-bit caller.
        win::FileHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        if (!process) continue;
        std::wstring name(32768, L'\0');
        DWORD length = static_cast<DWORD>(name.size());
        if (!::QueryFullProcessImageNameW(process.get(), 0, name.data(), &length)) continue;
        name.resize(length);
        paths.push_back(win::narrow(name));
    }
    return paths;
}

uint32_t currentProcessId() {
    return GetCurrentProcessId();
}

bool processRunning(uint32_t id) {
    if (id == 0) return false;
    win::ScopedHandle<win::FileHandleTraits> process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process.valid()) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    return GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
}

bool shellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                  uintptr_t ownerWindow) {
    const std::wstring wideVerb = win::widen(verb);
    const std::wstring wideFile = win::widen(file);
    const std::wstring wideParameters = win::widen(parameters);
    HWND owner = reinterpret_cast<HWND>(ownerWindow);
    if (owner && !::IsWindow(owner)) owner = nullptr;
    // ShellExecute reports success with a value above 32.
    const HINSTANCE result = ::ShellExecuteW(
        owner, wideVerb.c_str(), wideFile.c_str(),
        wideParameters.empty() ? nullptr : wideParameters.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<intptr_t>(result) > 32;
}

} // namespace plat
