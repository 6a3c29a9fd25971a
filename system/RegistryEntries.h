// The writing primitives of the register lines: a root and one path holding
// key and value name ("\Software\X\Count": key "\Software\X", value "Count";
// a path ending with a backslash names the key's default value).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Registry.h"

namespace setup {

// 0: written, or nothing to write (no backslash after the first character);
// 3: the key cannot be opened or created. Errors of the write are shown as
// information messages "SetRegistryString(2):" / "SetRegistryInteger(2):".
int SetRegistryString(plat::RegRoot root, const std::string& path, const std::string& text);
int SetRegistryInteger(plat::RegRoot root, const std::string& path, int32_t number);

// Sets the default value of root\key (REG_SZ), creating the key; logs it.
// false when the key cannot be opened or the value not written.
bool SetKeyDefault(plat::RegRoot root, const std::string& key, const std::string& text);

// The number of a "#dw:" value: "-" decimal negative, "$" hexadecimal, digits
// up to the first that is not one of the base, none give 0. A number outside
// -2147483648 .. 4294967295 gives false (nothing is written then); numbers
// above 2147483647 give the DWORD of the same bits ("$FFFFFFFF" all bits set).
bool ParseDwordValue(const std::string& text, int32_t& number);

// Sets the open command of an extension (".abc") under HKEY_CLASSES_ROOT.
void SetOpenCommand(const std::string& dottedExtension, const std::string& command);

} // namespace setup
