#include "script/Keys.h"

#include <array>
#include <climits>

#include "common/Ansi.h"

namespace setup::script {

namespace {

constexpr int kAny = INT_MAX;

constexpr KeyDef Plain(Key key, std::string_view name, Sect section) {
    return {key, name, section, Numbering::None, 0, key};
}
constexpr KeyDef Leading(Key key, std::string_view name, Sect section, int maxNumber = kAny) {
    return {key, name, section, Numbering::Leading, maxNumber, key};
}
constexpr KeyDef Following(Key key, std::string_view name, Sect section, Key leader) {
    return {key, name, section, Numbering::Following, 0, leader};
}

using enum Key;
constexpr Sect Project = Sect::Project;
constexpr Sect Headline = Sect::Headline;
constexpr Sect CheckRun = Sect::CheckRun;
constexpr Sect StopRun = Sect::StopRun;

// One row per key. Adding a key: a row here, its name in Key, a field in the
// record of script/Script.h that Script.cpp fills, and its use in a step.
constexpr std::array<KeyDef, static_cast<size_t>(Count_)> kKeys = {{
    Plain(Name, "Name", Project),
    Plain(HeadLine, "HeadLine", Project),
    Plain(Version, "Version", Project),
    Plain(Instit, "Instit", Project),
    Plain(Publisher, "Publisher", Project),
    Plain(CR, "CR", Project),
    Plain(WWW, "WWW", Project),
    Plain(EMail, "EMail", Project),
    Plain(Memo, "Memo", Project),
    Plain(Color1, "Color1", Project),
    Plain(Color2, "Color2", Project),
    Plain(Talk, "talk", Project),
    Plain(IPath, "IPath", Project),
    Plain(Path, "Path", Project),
    Plain(FromTarvel, "fromTarvel", Project),
    Plain(Group, "Group", Project),
    Plain(ParentGroup, "ParentGroup", Project),
    Plain(Bytes, "Bytes", Project),
    Plain(Need83, "Need83", Project),
    Plain(RestorePoint, "RestorePoint", Project),
    Plain(DelExt, "DelExt", Project),
    Plain(RegistryNode, "RegistryNode", Project),
    Leading(Part, "Part", Project, 9999),
    Leading(Win, "Win", Project),
    {WinSys, "WinSys", Project, Numbering::Sparse, 0, WinSys},
    Leading(WSys, "WSys", Project),
    Leading(W32Sys, "W32Sys", Project),
    Leading(Exec, "Exec", Project, 999),
    Leading(Font, "Font", Project, 999),
    Following(FontName, "FontName", Project, Font),
    Plain(PartHeadLine, "HeadLine", Sect::Part),
    Plain(WinVersion, "WinVersion", Sect::Part),
    Plain(Dir, "Dir", Sect::Part),
    Plain(TDir, "TDir", Sect::Part),
    Plain(Cond, "Cond", Sect::Part),
    Plain(Fak, "fak", Sect::Part),
    Plain(Install, "Install", Sect::Part),
    Plain(AbortText, "AbortText", Sect::Part),
    Plain(Register, "Register", Sect::Part),
    Leading(RegisterN, "Register", Sect::Part),
    Leading(RegisterX, "RegisterX", Sect::Part),
    Plain(RegisterCond, "RegisterCond", Sect::Part),
    Plain(Extension, "Extension", Sect::Part),
    Plain(UnInst, "UnInst", Sect::Part),
    Plain(PartName, "Name", Sect::Part),
    Plain(UIcon, "UIcon", Sect::Part),
    Plain(GroupReg, "GroupReg", Sect::Part),
    Plain(Execute, "Execute", Sect::Part),
    Plain(Icon, "Icon", Sect::Part),
    Plain(IconNr, "IconNr", Sect::Part),
    Plain(DefDir, "DefDir", Sect::Part),
    Plain(Parm, "Parm", Sect::Part),
    Plain(PartGroup, "Group", Sect::Part),
    Leading(URLDir, "URLDir", Sect::Part),
    Leading(File, "File", Sect::Part),
    Following(FileN, "FileN", Sect::Part, File),
    Following(FileNoCopy, "FileNoCopy", Sect::Part, File),
    Following(FileOverride, "FileOverride", Sect::Part, File),
    Following(FileReadOnly, "FileReadOnly", Sect::Part, File),
    Following(Code, "Code", Sect::Part, File),
    Leading(Del, "Del", Sect::Part),
    Leading(FileMacro, "FileMacro", Sect::Part),
    Following(FileMacroN, "FileMacroN", Sect::Part, FileMacro),
    Following(FileMacroOverride, "FileMacroOverride", Sect::Part, FileMacro),
    Leading(Hold, "Hold", Sect::Part),
    Plain(HeadlineOf, "*", Headline),
    Leading(ClassEntry, "R", Sect::Register, 99999),
    Leading(CheckRunProgram, "", CheckRun),
    Leading(StopRunProgram, "S", StopRun),
}};

constexpr bool InKeyOrder() {
    for (size_t i = 0; i < kKeys.size(); ++i) {
        if (static_cast<size_t>(kKeys[i].key) != i) return false;
    }
    return true;
}
static_assert(InKeyOrder(), "the rows of kKeys follow the order of Key");

// The number of a written key's tail: digits from 1 without a leading zero.
std::optional<int> NumberOf(std::string_view digits) {
    if (digits.empty() || digits.size() > 9 || digits[0] == '0') return std::nullopt;
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

} // namespace

std::span<const KeyDef> AllKeys() {
    return kKeys;
}

const KeyDef& Def(Key key) {
    return kKeys[static_cast<size_t>(key)];
}

std::string KeyName(Key key, int number) {
    std::string name(Def(key).name);
    if (number > 0) name += std::to_string(number);
    return name;
}

std::optional<KeyMatch> FindKey(Sect section, std::string_view written) {
    // A plain key first ("Color1" is a name of its own), then the numbered
    // key whose name is the longest that leaves a number ("FileN3": FileN).
    std::optional<KeyMatch> found;
    for (const KeyDef& def : kKeys) {
        if (def.section != section) continue;
        if (def.numbering == Numbering::None) {
            if (def.name == "*" ||
                (written.size() == def.name.size() && AnsiSameText(written, def.name)))
                return KeyMatch{&def, 0};
            continue;
        }
        if (written.size() <= def.name.size()) continue;
        if (!AnsiSameText(written.substr(0, def.name.size()), def.name)) continue;
        const std::optional<int> number = NumberOf(written.substr(def.name.size()));
        if (!number || (def.numbering == Numbering::Leading && *number > def.maxNumber)) continue;
        if (!found || found->def->name.size() < def.name.size()) found = KeyMatch{&def, *number};
    }
    return found;
}

} // namespace setup::script
