#include "platform/Process.h"

#include "platform/win32/WindowsSupport.h"

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

} // namespace plat
