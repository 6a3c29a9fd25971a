#include "common/RegistryVariables.h"

#include "common/Messages.h"
#include "common/RegistryAccess.h"

namespace setup {

namespace {

constexpr char kSectionSign = '\xA7';
constexpr size_t kMaxNodeLength = 12;
// A value may itself hold variables, and the scan continues inside an
// inserted value; these limits end a value that names itself.
constexpr int kMaxExpansions = 1000;
constexpr size_t kMaxExpandedLength = 256 * 1024;

std::string registryNode = "TIV_NN";

// Strips one trailing and one leading backslash.
std::string StripBackslashes(std::string path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
    if (!path.empty() && path.front() == '\\') path.erase(0, 1);
    return path;
}

std::string RootedValue(const std::string& name, const std::string& projectName) {
    plat::RegRoot root;
    std::string keyPath;
    DecodeRegistryPath(name, root, keyPath, projectName);
    return ReadRegistryText(root, StripBackslashes(keyPath));
}

bool IsRooted(const std::string& name) {
    return name.size() >= 2 && name[1] == '\\';
}

// The default value of HKEY_CURRENT_USER\keyPath; false when it cannot be read.
bool ReadDefaultValue(const std::string& keyPath, std::string& value) {
    plat::RegKey key;
    if (key.open(plat::RegRoot::CurrentUser, keyPath, plat::RegAccess::Read) != 0) return false;
    return key.queryString("", value) == 0;
}

// The scan shared by both forms; valueOf gives the value of one name. With
// fromValues, each character of the result has a flag there: true where it
// came from a value (the quotes of "%+" are the author's).
template <typename ValueOf>
void Expand(std::string& text, ValueOf valueOf, std::vector<bool>* fromValues = nullptr) {
    if (fromValues) fromValues->assign(text.size(), false);
    auto erase = [&](size_t at, size_t count) {
        text.erase(at, count);
        if (fromValues)
            fromValues->erase(fromValues->begin() + at, fromValues->begin() + at + count);
    };
    bool quoting = false;
    int expansions = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (text[i + 1] == '%') {
            erase(i, 1); // "%%": keep one "%" and step over it
            continue;
        }
        if (text[i + 1] == '+') {
            erase(i + 1, 1);
            quoting = true;
            if (i + 1 >= text.size()) break;
        }
        if (text[i + 1] != kSectionSign || i + 2 >= text.size()) continue;
        if (expansions >= kMaxExpansions || text.size() > kMaxExpandedLength) continue;
        const size_t close = text.find('%', i + 2);
        if (close == std::string::npos) continue;
        const std::string name = text.substr(i + 2, close - (i + 2));
        erase(i, close - i + 1);
        std::string value = valueOf(name);
        ++expansions;
        // Each "\.." after the variable climbs one folder of its value.
        size_t climbs = 0;
        while (text.compare(i + 3 * climbs, 3, "\\..") == 0)
            ++climbs;
        erase(i, 3 * climbs);
        for (size_t c = 0; c < climbs && !value.empty(); ++c) {
            if (value.back() == '\\') value.pop_back();
            const size_t slash = value.rfind('\\');
            value.resize(slash == std::string::npos ? 0 : slash + 1);
        }
        if (!value.empty() && value.back() == '\\' && i < text.size() && text[i] == '\\')
            value.pop_back();
        const bool quote = quoting && (value.empty() || value.front() != '"');
        if (quote) value = '"' + value + '"';
        text.insert(i, value);
        if (fromValues) {
            fromValues->insert(fromValues->begin() + i, value.size(), true);
            if (quote) {
                (*fromValues)[i] = false;
                (*fromValues)[i + value.size() - 1] = false;
            }
        }
        // The scan goes on at the next position, inside the inserted value.
    }
}

} // namespace

const std::string& RegistryNode() {
    return registryNode;
}

void SetRegistryNode(const std::string& node) {
    registryNode = node.substr(0, kMaxNodeLength);
}

std::string ReadRegistryText(plat::RegRoot root, const std::string& path) {
    try {
        plat::RegKey key;
        std::string value;
        if (key.open(root, path, plat::RegAccess::Read) == 0)
            return key.queryString("", value) == 0 ? value : std::string();
        const size_t slash = path.rfind('\\');
        const std::string parent =
            slash == std::string::npos ? std::string() : path.substr(0, slash);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (key.open(root, parent, plat::RegAccess::Read) != 0) return {};
        return key.queryString(name, value) == 0 ? value : std::string();
    } catch (const std::exception&) {
        return {};
    }
}

std::string ReadUserNodeValue(const std::string& node, const std::string& name, bool ask) {
    const std::string keyPath = "Software\\" + node + "\\" + name;
    std::string value;
    if (ReadDefaultValue(keyPath, value)) return value;
    if (!ask) return {};
    const std::string missing = "In der Registry ist kein Wert f\xFCr\rHKEY_CURRENT_USER\\";
    const std::string askEnter =
        missing + keyPath + " enthalten.\rWollen Sie diesen jetzt eintragen?";
    const std::string askRegEdit =
        missing + name + " enthalten.\rTragen Sie diesen mit RegEdit ein!";
    // Each Yes promises a value; nobody can keep that promise when nobody is
    // at the screen, and a person gets a fair number of tries.
    int triesLeft = IsUnattended() ? 2 : 20;
    for (;;) {
        while (AskYesNo(ActiveForm, askEnter) == IdYes) {
            if (ReadDefaultValue(keyPath, value)) return value;
            if (--triesLeft <= 0) return "?";
        }
        if (AskYesNo(ActiveForm, askRegEdit) != IdYes) return "?";
        if (ReadDefaultValue(keyPath, value)) return value;
        if (--triesLeft <= 0) return "?";
    }
}

std::string RegistryVariableValue(const std::string& name, bool ask) {
    if (IsRooted(name)) return RootedValue(name, "");
    std::string value = ReadUserNodeValue(registryNode, name, ask);
    if (!value.empty() && value != "?") return value;
    return RootedValue("R\\" + name, "");
}

bool ExpandRegistryVariables(std::string& text, bool ask) {
    Expand(text, [ask](const std::string& name) { return RegistryVariableValue(name, ask); });
    return true;
}

bool ExpandRegistryVariables(std::string& text, bool ask, std::vector<bool>& fromValues) {
    Expand(
        text, [ask](const std::string& name) { return RegistryVariableValue(name, ask); },
        &fromValues);
    return true;
}

bool ExpandRegistryVariablesShort(std::string& text, const std::string& projectName) {
    Expand(text, [&projectName](const std::string& name) {
        return IsRooted(name) ? RootedValue(name, projectName) : std::string();
    });
    return true;
}

} // namespace setup
