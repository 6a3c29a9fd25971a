#include "platform/Registry.h"

#include <cstring>
#include <vector>

#include "platform/win32/WindowsSupport.h"

namespace plat {
namespace {

HKEY rootKey(RegRoot root) {
    switch (root) {
    case RegRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    }
    return HKEY_CURRENT_USER;
}

// A key name longer than Windows allows (255 characters). Creating such a
// path would first create its parents and then fail.
bool hasOverlongName(const std::string& path) {
    size_t run = 0;
    for (char c : path) {
        run = c == '\\' ? 0 : run + 1;
        if (run > 255) return true;
    }
    return false;
}

} // namespace

// The default registry view is used on purpose: the shipped 32-bit program
// sees the WOW64 view on 64-bit Windows, as every 32-bit installer does.
struct RegKey::Impl {
    win::RegKeyHandle key;
};

RegKey::RegKey() : impl_(std::make_unique<Impl>()) {}
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;

uint32_t RegKey::open(RegRoot root, const std::string& path, RegAccess access, bool create) {
    if (!impl_) impl_ = std::make_unique<Impl>();
    impl_->key.reset();
    if (create && hasOverlongName(path)) return ERROR_INVALID_PARAMETER;
    REGSAM sam = access == RegAccess::Read ? KEY_READ : KEY_ALL_ACCESS;
    std::wstring subKey = win::widen(path);
    HKEY key = nullptr;
    LSTATUS status;
    // An empty path opens a new handle to the root itself; RegCreateKeyEx
    // wants a name.
    if (create && !subKey.empty())
        status = ::RegCreateKeyExW(rootKey(root), subKey.c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, sam, nullptr, &key, nullptr);
    else
        status = ::RegOpenKeyExW(rootKey(root), subKey.c_str(), 0, sam, &key);
    if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
    impl_->key.reset(key);
    return ERROR_SUCCESS;
}

bool RegKey::isOpen() const {
    return impl_ && impl_->key.valid();
}

void RegKey::close() {
    if (impl_) impl_->key.reset();
}

std::optional<RegType> RegKey::valueType(const std::string& name) const {
    if (!isOpen()) return std::nullopt;
    DWORD type = 0;
    LSTATUS status = ::RegQueryValueExW(impl_->key.get(), win::widen(name).c_str(), nullptr, &type,
                                        nullptr, nullptr);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return static_cast<RegType>(type);
}

uint32_t RegKey::queryString(const std::string& name, std::string& out) const {
    if (!isOpen()) return ERROR_INVALID_HANDLE;
    std::wstring wideName = win::widen(name);
    std::vector<BYTE> data(256);
    DWORD type = 0;
    LSTATUS status;
    // The value may grow between the two calls: ask again until it fits.
    while (true) {
        DWORD size = static_cast<DWORD>(data.size());
        status = ::RegQueryValueExW(impl_->key.get(), wideName.c_str(), nullptr, &type, data.data(),
                                    &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(size + 2);
            continue;
        }
        if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
        data.resize(size);
        break;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_UNSUPPORTED_TYPE;
    // The stored text need not end with a zero, and may hold more after one.
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    out = win::narrow(text);
    return ERROR_SUCCESS;
}

uint32_t RegKey::queryDword(const std::string& name, uint32_t& out) const {
    if (!isOpen()) return ERROR_INVALID_HANDLE;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    LSTATUS status = ::RegQueryValueExW(impl_->key.get(), win::widen(name).c_str(), nullptr, &type,
                                        reinterpret_cast<BYTE*>(&value), &size);
    if (status == ERROR_MORE_DATA) return ERROR_UNSUPPORTED_TYPE;
    if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
    if (type != REG_DWORD || size != sizeof(value)) return ERROR_UNSUPPORTED_TYPE;
    out = value;
    return ERROR_SUCCESS;
}

uint32_t RegKey::queryValue(const std::string& name, RegType& type, std::string& bytes) const {
    if (!isOpen()) return ERROR_INVALID_HANDLE;
    std::wstring wideName = win::widen(name);
    std::vector<BYTE> data(256);
    DWORD kind = 0;
    // The value may grow between the two calls: ask again until it fits.
    while (true) {
        DWORD size = static_cast<DWORD>(data.size());
        const LSTATUS status = ::RegQueryValueExW(impl_->key.get(), wideName.c_str(), nullptr,
                                                  &kind, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(size + 2);
            continue;
        }
        if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
        data.resize(size);
        break;
    }
    type = static_cast<RegType>(kind);
    if (kind == REG_SZ || kind == REG_EXPAND_SZ) {
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
        const size_t end = text.find(L'\0');
        if (end != std::wstring::npos) text.resize(end);
        bytes = win::narrow(text);
    } else {
        bytes.assign(reinterpret_cast<const char*>(data.data()), data.size());
    }
    return ERROR_SUCCESS;
}

uint32_t RegKey::setString(const std::string& name, const std::string& value) {
    if (!isOpen()) return ERROR_INVALID_HANDLE;
    std::wstring text = win::widen(value);
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return static_cast<uint32_t>(
        ::RegSetValueExW(impl_->key.get(), win::widen(name).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(text.c_str()), bytes));
}

uint32_t RegKey::setDword(const std::string& name, uint32_t value) {
    if (!isOpen()) return ERROR_INVALID_HANDLE;
    DWORD data = value;
    return static_cast<uint32_t>(::RegSetValueExW(impl_->key.get(), win::widen(name).c_str(), 0,
                                                  REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                                  sizeof(data)));
}

uint32_t RegKey::setValue(const std::string& name, RegType type, const std::string& data) {
    if (!isOpen()) return ERROR_INVALID_HANDLE;
    const DWORD kind = static_cast<DWORD>(type);
    std::vector<BYTE> bytes;
    if (type == RegType::String || type == RegType::ExpandString) {
        const std::wstring text = win::widen(data);
        bytes.resize((text.size() + 1) * sizeof(wchar_t));
        std::memcpy(bytes.data(), text.c_str(), bytes.size());
    } else {
        if (type == RegType::Dword && data.size() != sizeof(DWORD)) return ERROR_INVALID_PARAMETER;
        bytes.assign(data.begin(), data.end());
    }
    return static_cast<uint32_t>(::RegSetValueExW(impl_->key.get(), win::widen(name).c_str(), 0,
                                                  kind, bytes.data(),
                                                  static_cast<DWORD>(bytes.size())));
}

uint32_t RegKey::deleteValue(const std::string& name) {
    if (!isOpen()) return ERROR_INVALID_HANDLE;
    return static_cast<uint32_t>(::RegDeleteValueW(impl_->key.get(), win::widen(name).c_str()));
}

uint32_t regDeleteEmptyKey(RegRoot root, const std::string& path) {
    if (path.empty()) return ERROR_FILE_NOT_FOUND;
    const std::wstring subKey = win::widen(path);
    HKEY opened = nullptr;
    LSTATUS status = ::RegOpenKeyExW(rootKey(root), subKey.c_str(), 0, KEY_READ, &opened);
    if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
    win::RegKeyHandle key(opened);
    DWORD subKeys = 0;
    DWORD values = 0;
    status = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                &values, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
    if (subKeys != 0 || values != 0) return kErrDirNotEmpty;
    key.reset();
    return static_cast<uint32_t>(::RegDeleteKeyW(rootKey(root), subKey.c_str()));
}

void flushRegistry() {
    // Windows writes its registry to the disk itself.
}

} // namespace plat
