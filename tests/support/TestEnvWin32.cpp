#ifdef _WIN32
// Test isolation on Windows (and Wine): scratch folders in the temp folder,
// a new one per test, removed again afterwards. Paths are already native.
#include "support/TestEnv.h"

#include <atomic>
#include <vector>

#include "platform/win32/WindowsSupport.h"

namespace testenv {
namespace {

using plat::win::narrow;
using plat::win::widen;

std::wstring tempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH) return L"C:\\";
    // The temp path may be given in 8.3 form; tests compare long names.
    wchar_t longName[MAX_PATH + 1];
    DWORD m = ::GetLongPathNameW(buffer, longName, MAX_PATH + 1);
    std::wstring folder = (m > 0 && m <= MAX_PATH) ? longName : buffer;
    if (folder.back() != L'\\') folder += L'\\';
    return folder;
}

void createFolders(const std::wstring& path) {
    for (size_t i = 3; i < path.size(); ++i)
        if (path[i] == L'\\') ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

// Deletes a folder and everything below it, read-only files included.
void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    plat::win::FindHandle find(::FindFirstFileW((folder + L"*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + name;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path + L"\\");
            else
                ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(find.get(), &data));
    }
    find.reset();
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace

std::string NewScratchFolder() {
    static std::atomic<unsigned> counter{0};
    const std::wstring base = tempFolder();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::wstring folder = base + L"SetupTest-" + std::to_wstring(::GetCurrentProcessId()) +
                              L"-" + std::to_wstring(counter++) + L"\\";
        if (::CreateDirectoryW(folder.c_str(), nullptr)) return narrow(folder);
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    ADD_FAILURE() << "cannot create a scratch folder in " << narrow(base);
    return narrow(base);
}

std::string Native(const std::string& windowsPath) {
    return windowsPath;
}

void WriteFile(const std::string& windowsPath, const std::string& bytes) {
    std::wstring path = widen(windowsPath);
    createFolders(path);
    plat::win::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file ||
        !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) ||
        written != bytes.size())
        ADD_FAILURE() << "cannot write " << windowsPath;
}

std::string ReadFile(const std::string& windowsPath) {
    plat::win::FileHandle file(::CreateFileW(widen(windowsPath).c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file) {
        ADD_FAILURE() << "cannot read " << windowsPath;
        return bytes;
    }
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return bytes;
}

void FreshEnv::SetUp() {
    scratch_ = NewScratchFolder();
}

void FreshEnv::TearDown() {
    if (!scratch_.empty()) removeTree(widen(scratch_));
}

} // namespace testenv
#endif
