// The registry path notation (a root letter and a backslash in front of a key
// path; a path without one lies below the application key) and reads and
// writes through it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Registry.h"

namespace setup {

class Effects;

// "Qorv\" + program file name (first letter upper, rest lower) + "\".
const std::string& ApplicationKey();
// Builds the application key from the program's file name ("SETUP.EXE" ->
// "Qorv\Setup.exe\").
void SetApplicationKey(const std::string& programFileName);

// Decodes path into a root and a key path. The key path begins with a
// backslash ("\Software\X"); strip it before calling the platform.
// projectName is used by the letters A and P.
void DecodeRegistryPath(const std::string& path, plat::RegRoot& root, std::string& keyPath,
                        const std::string& projectName = "");

// A key path as the platform takes it and the registry stores it: without
// leading and trailing backslashes, each run of backslashes one separator
// ("\Software\\\X\" -> "Software\X").
std::string PlatformKeyPath(const std::string& keyPath);

// The value when the key opens and the value is a non-empty text, else def.
std::string ReadRegistryString(const std::string& path, const std::string& valueName,
                               const std::string& def);
// The REG_DWORD value, else def (the key is created when missing).
int32_t ReadRegistryInteger(const std::string& path, const std::string& valueName, int32_t def);
// Write REG_SZ / REG_DWORD, creating the key. Nothing happens when the key
// cannot be opened; a failed write raises SetupError.
void WriteRegistryString(const std::string& path, const std::string& valueName,
                         const std::string& text);
// The same through the effects of a run.
void WriteRegistryString(Effects& effects, const std::string& path, const std::string& valueName,
                         const std::string& text);
void WriteRegistryInteger(const std::string& path, const std::string& valueName, int32_t number);

} // namespace setup
