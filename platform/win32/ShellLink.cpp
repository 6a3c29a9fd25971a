// Shortcut files through the shell link object of COM.
#include "platform/ShellLink.h"

#include "platform/win32/WindowsSupport.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace plat {

namespace {

// Releases a COM interface exactly once.
template <typename T> struct ComRelease {
    T* ptr = nullptr;
    ComRelease() = default;
    ComRelease(const ComRelease&) = delete;
    ComRelease& operator=(const ComRelease&) = delete;
    ~ComRelease() {
        if (ptr) ptr->Release();
    }
};

constexpr int32_t kNotCreated = static_cast<int32_t>(0x80004003); // E_POINTER

} // namespace

int32_t comInitialize() {
    return static_cast<int32_t>(CoInitialize(nullptr));
}

void comUninitialize() {
    CoUninitialize();
}

struct ShellLink::Impl {
    ComRelease<IShellLinkW> link;
    ComRelease<IPersistFile> file;
};

ShellLink::ShellLink() : impl_(std::make_unique<Impl>()) {}
ShellLink::~ShellLink() = default;

int32_t ShellLink::create() {
    return static_cast<int32_t>(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_IShellLinkW,
                                                 reinterpret_cast<void**>(&impl_->link.ptr)));
}

int32_t ShellLink::setPath(const std::string& path) {
    if (!impl_->link.ptr) return kNotCreated;
    return static_cast<int32_t>(impl_->link.ptr->SetPath(cp1252ToWide(path).c_str()));
}

int32_t ShellLink::setDescription(const std::string& description) {
    if (!impl_->link.ptr) return kNotCreated;
    return static_cast<int32_t>(impl_->link.ptr->SetDescription(cp1252ToWide(description).c_str()));
}

int32_t ShellLink::setWorkingDirectory(const std::string& folder) {
    if (!impl_->link.ptr) return kNotCreated;
    return static_cast<int32_t>(impl_->link.ptr->SetWorkingDirectory(cp1252ToWide(folder).c_str()));
}

int32_t ShellLink::setArguments(const std::string& arguments) {
    if (!impl_->link.ptr) return kNotCreated;
    return static_cast<int32_t>(impl_->link.ptr->SetArguments(cp1252ToWide(arguments).c_str()));
}

int32_t ShellLink::setHotkey(uint16_t hotKey) {
    if (!impl_->link.ptr) return kNotCreated;
    return static_cast<int32_t>(impl_->link.ptr->SetHotkey(hotKey));
}

int32_t ShellLink::setShowCmd(int32_t showCmd) {
    if (!impl_->link.ptr) return kNotCreated;
    return static_cast<int32_t>(impl_->link.ptr->SetShowCmd(showCmd));
}

int32_t ShellLink::setIconLocation(const std::string& iconFile, int32_t index) {
    if (!impl_->link.ptr) return kNotCreated;
    return static_cast<int32_t>(
        impl_->link.ptr->SetIconLocation(cp1252ToWide(iconFile).c_str(), index));
}

int32_t ShellLink::queryPersistFile() {
    if (!impl_->link.ptr) return kNotCreated;
    return static_cast<int32_t>(impl_->link.ptr->QueryInterface(
        IID_IPersistFile, reinterpret_cast<void**>(&impl_->file.ptr)));
}

int32_t ShellLink::save(const std::string& linkFile) {
    if (!impl_->file.ptr) return kNotCreated;
    std::wstring name = cp1252ToWide(linkFile);
    if (name.size() > MAX_PATH - 1) name.resize(MAX_PATH - 1);
    return static_cast<int32_t>(impl_->file.ptr->Save(name.c_str(), TRUE));
}

void broadcastWinIniChange() {
    PostMessageW(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
}

} // namespace plat
