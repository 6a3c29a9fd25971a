// Registry entries of a run: the steps that write register lines, the
// [Register] section, the install record, the uninstall entry and file
// associations, and their writing primitives: a root and one path holding
// key and value name ("\Software\X\Count": key "\Software\X", value "Count";
// a path ending with a backslash names the key's default value). Every write
// goes through the run's effects.
#pragma once

#include <cstdint>
#include <string>

#include "common/Effects.h"
#include "files/RunContext.h"
#include "platform/Registry.h"

namespace setup {

// 0: written, or nothing to write (no backslash after the first character);
// 3: the key cannot be opened or created. Errors of the write are shown as
// information messages "SetRegistryString(2):" / "SetRegistryInteger(2):".
int SetRegistryString(Effects& effects, plat::RegRoot root, const std::string& path,
                      const std::string& text);
int SetRegistryInteger(Effects& effects, plat::RegRoot root, const std::string& path,
                       int32_t number);

// Sets the default value of root\key (REG_SZ), creating the key; logs it.
// false when the key cannot be opened or the value not written.
bool SetKeyDefault(Effects& effects, plat::RegRoot root, const std::string& key,
                   const std::string& text);

// The number of a "#dw:" value: "-" decimal negative, "$" hexadecimal, digits
// up to the first that is not one of the base, none give 0. A number outside
// -2147483648 .. 4294967295 gives false (nothing is written then); numbers
// above 2147483647 give the DWORD of the same bits ("$FFFFFFFF" all bits set).
bool ParseDwordValue(const std::string& text, int32_t& number);

// Sets the open command of an extension (".abc") under HKEY_CLASSES_ROOT.
void SetOpenCommand(Effects& effects, const std::string& dottedExtension,
                    const std::string& command);

// --- steps of a run ---
// One register line of a part ("R\key\name=value", #dw: and #sz: values;
// a line without a root is an outdated one under HKCU\SOFTWARE\RegistryNode).
void RegisterLine(RunContext& run, const PartInRun& part, const std::string& line);
// [Register] R#: keys and default values under HKEY_CLASSES_ROOT.
void RegisterClassesSection(RunContext& run);
// The install record that the next run reads back as its previous folder.
void RecordInstallFolder(RunContext& run, const std::string& folder);
// The uninstall entry of a part (UnInst) with its icon and the groups made.
void WriteUninstallEntry(RunContext& run, const PartInRun& part, const std::string& unInst);
// Extension=: the open command of an extension, asked before a different
// one is replaced; the command found first is recorded in [Extensions] of
// Deinst.ins (Associations.cpp).
void RegisterExtension(RunContext& run, const std::string& value);

} // namespace setup
