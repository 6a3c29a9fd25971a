// The version resource of a file (VS_VERSIONINFO): Win32 version API on
// Windows, a PE resource reader of our own on Linux.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// Size of the file's version resource; 0 when it has none or cannot be read.
uint32_t versionInfoSize(const std::string& file);
// Reads the version resource block; false when the file has none.
bool readVersionInfo(const std::string& file, std::vector<uint8_t>& block);
// Looks up a string in a block read by readVersionInfo; subBlock is a path
// such as "StringFileInfo\040704E4\CompanyName". false when it is not there.
bool queryVersionString(const std::vector<uint8_t>& block, const std::string& subBlock,
                        std::string& value);
// Both steps for one string.
bool queryVersionString(const std::string& file, const std::string& subBlock, std::string& value);

} // namespace plat
