// The registry services that need no backend of their own: built on RegKey,
// the same on the real and the emulated Windows.
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace plat {

bool regKeyExists(RegRoot root, const std::string& path) {
    RegKey key;
    return key.open(root, path, RegAccess::Read) == kErrSuccess;
}

const char* regRootName(RegRoot root) {
    switch (root) {
    case RegRoot::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case RegRoot::CurrentUser:
        return "HKEY_CURRENT_USER";
    case RegRoot::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    }
    return "HKEY_CURRENT_USER";
}

} // namespace plat
