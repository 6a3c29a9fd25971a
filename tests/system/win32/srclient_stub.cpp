// A stand-in for the System Restore client library in tests. Its
// SRSetRestorePointW appends one line per call to the file named by the
// environment variable SRCLIENT_STUB_LOG: event type, restore point type,
// sequence number and description (UTF-8), separated by "|". It answers
// success with sequence number 4711, or, when SRCLIENT_STUB_STATUS holds a
// number, failure with that status and sequence number 0.
#include <windows.h>

#include <string>

namespace {

#pragma pack(push, 1)
struct RestorePointInfoW {
    DWORD eventType;
    DWORD restorePointType;
    INT64 sequenceNumber;
    WCHAR description[257];
};
struct StateManagerStatus {
    UINT status;
    INT64 sequenceNumber;
};
#pragma pack(pop)

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 1024);
    return n > 0 && n < 1024 ? std::wstring(buffer, n) : std::wstring();
}

std::string Utf8(const wchar_t* text, int length) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

void Record(const RestorePointInfoW& info) {
    const std::wstring log = Environment(L"SRCLIENT_STUB_LOG");
    if (log.empty()) return;
    int length = 0;
    while (length < 257 && info.description[length] != 0)
        ++length;
    const std::string line =
        std::to_string(info.eventType) + "|" + std::to_string(info.restorePointType) + "|" +
        std::to_string(info.sequenceNumber) + "|" + Utf8(info.description, length) + "\n";
    HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
}

} // namespace

extern "C" __declspec(dllexport) BOOL WINAPI
    SRSetRestorePointW(RestorePointInfoW* info, StateManagerStatus* status) {
    Record(*info);
    const std::wstring failure = Environment(L"SRCLIENT_STUB_STATUS");
    if (!failure.empty()) {
        status->status = static_cast<UINT>(std::stoul(failure));
        status->sequenceNumber = 0;
        return FALSE;
    }
    status->status = 0;
    status->sequenceNumber = 4711;
    return TRUE;
}
