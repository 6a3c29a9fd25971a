#include "platform/Registry.h"

namespace plat {

struct RegKey::Impl {};
RegKey::RegKey() = default;
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;
uint32_t RegKey::open(RegRoot, const std::string&, RegAccess, bool) { return 2; }
bool RegKey::isOpen() const { return false; }
void RegKey::close() {}
std::optional<RegType> RegKey::valueType(const std::string&) const { return std::nullopt; }
uint32_t RegKey::queryString(const std::string&, std::string&) const { return 6; }
uint32_t RegKey::queryDword(const std::string&, uint32_t&) const { return 6; }
uint32_t RegKey::setString(const std::string&, const std::string&) { return 6; }
uint32_t RegKey::setDword(const std::string&, uint32_t) { return 6; }
uint32_t RegKey::deleteValue(const std::string&) { return 6; }
bool regKeyExists(RegRoot, const std::string&) { return false; }
const char* regRootName(RegRoot root) {
    switch (root) {
    case RegRoot::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case RegRoot::CurrentUser: return "HKEY_CURRENT_USER";
    default: return "HKEY_LOCAL_MACHINE";
    }
}

} // namespace plat
