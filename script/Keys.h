// The keys of an installation script in one table: each key's name, the
// section it belongs in and how it is numbered. The script model reads every
// key through this table, and a checker of scripts or of the key reference
// looks names up in it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace setup::script {

// The kind of section a key belongs in. Part is every section a Part# value
// names; Headline holds one key per part.
enum class Sect : uint8_t { Project, Part, Headline, Register, CheckRun, StopRun };

// How a key is numbered. A Leading key is read as Key1, Key2, ... up to the
// first number that is missing (a key with an empty value is missing) or
// beyond maxNumber; a Following key is read with the numbers its leader found
// (FileN3 belongs to File3), gaps and all; a Sparse key is looked up by any
// number (a key that is only reported).
enum class Numbering : uint8_t { None, Leading, Following, Sparse };

enum class Key : uint16_t {
    // [Project]
    Name,
    HeadLine,
    Version,
    Instit,
    Publisher,
    CR,
    WWW,
    EMail,
    Memo,
    Color1,
    Color2,
    Talk,
    IPath,
    Path,
    FromTarvel,
    Group,
    ParentGroup,
    Bytes,
    Need83,
    RestorePoint,
    DelExt,
    RegistryNode,
    Part,
    Win,
    WinSys,
    WSys,
    W32Sys,
    Exec,
    Font,
    FontName,
    // a part's section
    PartHeadLine,
    WinVersion,
    Dir,
    TDir,
    Cond,
    Fak,
    Install,
    AbortText,
    Register,
    RegisterN,
    RegisterX,
    RegisterCond,
    Extension,
    UnInst,
    PartName,
    UIcon,
    GroupReg,
    Execute,
    Icon,
    IconNr,
    DefDir,
    Parm,
    PartGroup,
    URLDir,
    File,
    FileN,
    FileNoCopy,
    FileOverride,
    FileReadOnly,
    Code,
    Del,
    FileMacro,
    FileMacroN,
    FileMacroOverride,
    Hold,
    // other sections
    HeadlineOf,      // [Headline] <part>=
    ClassEntry,      // [Register] R#
    CheckRunProgram, // [CheckRun] #
    StopRunProgram,  // [StopRun] S#
    Count_
};

struct KeyDef {
    Key key;
    std::string_view name; // as the reference writes it; "" for bare numbers, "*" for any
    Sect section;
    Numbering numbering;
    int maxNumber; // the highest number a Leading key is read to
    Key leader;    // the Leading key of a Following key (else the key itself)
};

// Every key, in the order of Key.
std::span<const KeyDef> AllKeys();
const KeyDef& Def(Key key);
// The name of the key as written in a script: name + number for numbered keys.
std::string KeyName(Key key, int number = 0);

// A key as written in a script ("File12", "Color1", "3"): the key it is and
// its number (0 when not numbered). Names are compared without regard to
// case; a numbered key takes a number from 1 without leading zeros.
struct KeyMatch {
    const KeyDef* def = nullptr;
    int number = 0;
};
std::optional<KeyMatch> FindKey(Sect section, std::string_view written);

} // namespace setup::script
