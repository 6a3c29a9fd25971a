// The one place of the Win32 backend that includes <windows.h>: a fixed
// target version, owners that close every handle the backend opens, and the
// conversion of the program's Windows-1252 texts to the UTF-16 of the W
// functions (explicitly code page 1252, whatever the machine's ANSI code page).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/Cp1252.h"

namespace plat::win {

// Owns one handle of the kind Traits describes and closes it exactly once.
template <typename Traits> class ScopedHandle {
  public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle h) : h_(h) {}
    ~ScopedHandle() { reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : h_(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle get() const { return h_; }
    bool valid() const { return Traits::valid(h_); }
    explicit operator bool() const { return valid(); }
    Handle release() {
        Handle h = h_;
        h_ = Traits::invalid();
        return h;
    }
    void reset(Handle h = Traits::invalid()) {
        if (Traits::valid(h_)) Traits::close(h_);
        h_ = h;
    }

  private:
    Handle h_ = Traits::invalid();
};

// CreateFile and friends: both INVALID_HANDLE_VALUE and null mean "none".
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static bool valid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(Handle h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static bool valid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(Handle h) { ::FindClose(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::RegCloseKey(h); }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::FreeLibrary(h); }
};

// Memory the system allocated with LocalAlloc (CommandLineToArgvW, FormatMessage).
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::LocalFree(h); }
};

// A device context of a window, released with ReleaseDC.
class WindowDC {
  public:
    explicit WindowDC(HWND wnd) : wnd_(wnd), dc_(::GetDC(wnd)) {}
    ~WindowDC() {
        if (dc_) ::ReleaseDC(wnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

  private:
    HWND wnd_;
    HDC dc_;
};

using FileHandle = ScopedHandle<FileHandleTraits>;
using FindHandle = ScopedHandle<FindHandleTraits>;
using RegKeyHandle = ScopedHandle<RegKeyTraits>;
using ModuleHandle = ScopedHandle<ModuleTraits>;
using LocalMemory = ScopedHandle<LocalMemoryTraits>;

// Windows-1252 -> UTF-16 for a W function.
inline std::wstring widen(const std::string& text) {
    return cp1252ToWide(text);
}
// UTF-16 from a W function -> Windows-1252 ("?" for characters it lacks).
inline std::string narrow(const std::wstring& text) {
    return wideToCp1252(text);
}
inline std::string narrow(const wchar_t* text) {
    return text ? wideToCp1252(std::wstring(text)) : std::string();
}

// The error of a call that just failed. Never 0: a failure must not read as
// success even when the API forgot to set the thread's error code.
inline uint32_t failureCode() {
    DWORD code = ::GetLastError();
    return code != ERROR_SUCCESS ? static_cast<uint32_t>(code) : ERROR_GEN_FAILURE;
}

inline uint64_t fromFileTime(const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
inline FILETIME toFileTime(uint64_t t) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return ft;
}

// Keeps the system from showing "no disk in drive" boxes while a drive is
// probed (floppy, empty card reader); restores the previous mode afterwards.
class CriticalErrorsSilenced {
  public:
    CriticalErrorsSilenced() : old_(::SetErrorMode(SEM_FAILCRITICALERRORS)) {
        ::SetErrorMode(old_ | SEM_FAILCRITICALERRORS);
    }
    ~CriticalErrorsSilenced() { ::SetErrorMode(old_); }
    CriticalErrorsSilenced(const CriticalErrorsSilenced&) = delete;
    CriticalErrorsSilenced& operator=(const CriticalErrorsSilenced&) = delete;

  private:
    UINT old_;
};

} // namespace plat::win
