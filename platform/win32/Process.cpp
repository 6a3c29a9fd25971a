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

namespace {

// One argument as CommandLineToArgvW reads it back: quoted, with the
// backslashes before a quote doubled.
std::wstring quotedArgument(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

} // namespace

std::optional<int> runCopyOfProgram(const std::vector<std::string>& args) {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length == 0) return std::nullopt;
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        self.resize(self.size() * 2);
    }
    std::wstring temp(MAX_PATH + 1, L'\0');
    const DWORD tempLength = ::GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
    if (tempLength == 0 || tempLength >= temp.size()) return std::nullopt;
    temp.resize(tempLength);
    const std::wstring copy = temp + L"Setup-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
    if (!::CopyFileW(self.c_str(), copy.c_str(), FALSE)) return std::nullopt;
    std::wstring line = quotedArgument(copy);
    for (const std::string& arg : args)
        line += L" " + quotedArgument(win::widen(arg));
    ::SetEnvironmentVariableW(L"SETUP_WAITING_PROGRAM", self.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Started in the temporary folder, so that no process holds the folder
    // being removed as its current folder.
    if (!::CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          temp.c_str(), &startup, &info)) {
        ::DeleteFileW(copy.c_str());
        return std::nullopt;
    }
    win::FileHandle process(info.hProcess);
    win::FileHandle thread(info.hThread);
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD status = 1;
    if (!::GetExitCodeProcess(process.get(), &status)) status = 1;
    process.reset();
    thread.reset();
    if (!::DeleteFileW(copy.c_str()))
        ::MoveFileExW(copy.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return static_cast<int>(status);
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
