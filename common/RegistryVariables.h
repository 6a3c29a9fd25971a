// Registry variables in script values: "%" + "\xA7" + name + "%" is replaced
// by a registry value. "%%" is a literal "%", "%+" quotes every following
// value, and "\.." after a variable climbs one folder of its value.
#pragma once

#include <string>
#include <vector>

#include "platform/Registry.h"

namespace setup {

// Expands the variables of text in place; ask: prompt for a missing value of
// the registry node. Always true.
bool ExpandRegistryVariables(std::string& text, bool ask);
// The same, telling for each character of the result whether it came from a
// registry value (true) or is the text's own (false).
bool ExpandRegistryVariables(std::string& text, bool ask, std::vector<bool>& fromValues);
// The same scan, resolving only rooted names (others give an empty value);
// projectName goes to DecodeRegistryPath. Always true.
bool ExpandRegistryVariablesShort(std::string& text, const std::string& projectName);
// The value of one variable name: a rooted name, or a value of the registry
// node, or else a value below the installer's machine-wide key ("R\").
std::string RegistryVariableValue(const std::string& name, bool ask);
// The default value of root\path, or else the value named by the last
// component of path in its parent key; empty on any failure.
std::string ReadRegistryText(plat::RegRoot root, const std::string& path);
// Default value of HKEY_CURRENT_USER\Software\<node>\<name>. Missing: empty
// without ask; with ask the user is prompted, "?" when declined.
std::string ReadUserNodeValue(const std::string& node, const std::string& name, bool ask);
// "TIV_NN": the key below HKEY_CURRENT_USER\Software of unrooted variables.
const std::string& RegistryNode();
// Sets the node (at most 12 characters are kept).
void SetRegistryNode(const std::string& node);

} // namespace setup
