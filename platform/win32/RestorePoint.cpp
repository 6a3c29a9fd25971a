#include "platform/RestorePoint.h"

#include "platform/win32/WindowsSupport.h"

#include <algorithm>

namespace plat {
namespace {

// The records of the published System Restore interface, packed as published.
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
static_assert(sizeof(RestorePointInfoW) == 530);
static_assert(sizeof(StateManagerStatus) == 12);

using SetRestorePointW = BOOL(WINAPI*)(RestorePointInfoW*, StateManagerStatus*);

struct Service {
    bool loaded = false;
    std::wstring testLibrary;
    win::ModuleHandle library;
    SetRestorePointW function = nullptr;
};

Service& service() {
    static Service s;
    return s;
}

// Loaded from the system folder by its full name: a bare name would also be
// looked for beside the installer, where a planted DLL would run with its rights.
std::wstring systemLibraryPath() {
    wchar_t folder[MAX_PATH + 1];
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return {};
    std::wstring path(folder, n);
    if (path.back() != L'\\') path += L'\\';
    return path + L"srclient.dll";
}

SetRestorePointW function() {
    Service& s = service();
    if (!s.loaded) {
        s.loaded = true;
        const std::wstring path = s.testLibrary.empty() ? systemLibraryPath() : s.testLibrary;
        if (!path.empty()) s.library.reset(::LoadLibraryW(path.c_str()));
        if (s.library) {
            s.function = reinterpret_cast<SetRestorePointW>(
                reinterpret_cast<void*>(::GetProcAddress(s.library.get(), "SRSetRestorePointW")));
        }
    }
    return s.function;
}

} // namespace

RestorePointAnswer setRestorePoint(uint32_t eventType, uint32_t restorePointType,
                                   int64_t sequenceNumber, const std::string& description) {
    RestorePointInfoW info{};
    info.eventType = eventType;
    info.restorePointType = restorePointType;
    info.sequenceNumber = sequenceNumber;
    const std::wstring text = win::widen(description.substr(0, 256));
    std::copy_n(text.begin(), std::min<size_t>(text.size(), 256), info.description);
    StateManagerStatus status{};

    const SetRestorePointW call = function();
    if (!call) return {}; // no System Restore on this system
    RestorePointAnswer answer;
    answer.success = call(&info, &status) != FALSE;
    answer.status = status.status;
    answer.sequenceNumber = status.sequenceNumber;
    return answer;
}

void setRestorePointLibraryForTests(const std::string& path) {
    Service& s = service();
    s.function = nullptr;
    s.library.reset();
    s.loaded = false;
    s.testLibrary = win::widen(path);
}

} // namespace plat
