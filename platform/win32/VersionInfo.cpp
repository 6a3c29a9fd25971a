#include "platform/VersionInfo.h"

#include "platform/win32/WindowsSupport.h"

namespace plat {

uint32_t versionInfoSize(const std::string& file) {
    DWORD handle = 0;
    return ::GetFileVersionInfoSizeW(win::widen(file).c_str(), &handle);
}

bool readVersionInfo(const std::string& file, std::vector<uint8_t>& block) {
    block.clear();
    const std::wstring path = win::widen(file);
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return false;
    block.resize(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) {
        block.clear();
        return false;
    }
    return true;
}

bool queryVersionString(const std::vector<uint8_t>& block, const std::string& subBlock,
                        std::string& value) {
    if (block.empty()) return false;
    std::wstring query = win::widen(subBlock);
    if (query.empty() || query.front() != L'\\') query.insert(query.begin(), L'\\');
    void* data = nullptr;
    UINT length = 0;
    // VerQueryValueW does not write to the block; it takes a non-const pointer.
    if (!::VerQueryValueW(const_cast<uint8_t*>(block.data()), query.c_str(), &data, &length) ||
        data == nullptr)
        return false;
    const wchar_t* text = static_cast<const wchar_t*>(data);
    std::wstring wide(text, length);
    const size_t nul = wide.find(L'\0');
    if (nul != std::wstring::npos) wide.resize(nul);
    value = win::narrow(wide);
    return true;
}

bool queryVersionString(const std::string& file, const std::string& subBlock, std::string& value) {
    std::vector<uint8_t> block;
    return readVersionInfo(file, block) && queryVersionString(block, subBlock, value);
}

} // namespace plat
