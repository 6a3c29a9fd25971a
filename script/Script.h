// The model of an installation script: install.ins read once into typed
// records. Every value keeps its raw text (the run expands variables in it
// when it uses it, in the order it always has) and the file and line it came
// from. Keys are read through the table of script/Keys.h.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/Keys.h"

namespace setup {

class TIni;

namespace script {

// Where a value stands: the script's path and its line (from 1); line 0 for a
// value the script does not have.
struct Origin {
    std::shared_ptr<const std::string> file;
    uint32_t line = 0;
};

// One value of the script as written (outer single quotes taken off); empty
// when the key is missing or has an empty value.
struct Value {
    std::string text;
    Origin origin;

    bool empty() const { return text.empty(); }
    // The text, or def when it is empty.
    std::string Or(const std::string& def) const { return text.empty() ? def : text; }
    // As TIni::ReadInteger / ReadBool read it; def when empty.
    int32_t Integer(int32_t def) const;
    bool Bool(bool def) const;
};

// The value (def when empty) with its registry variables (%\xA7name%) and "%%"
// expanded, as the run reads [Project] values.
std::string Expanded(const Value& value, const std::string& def = {});

// A Following key beside the Leading key that gives its number.
struct Numbered {
    int number = 0;
    Value value;
};

// File# with the keys of the same number.
struct CopyEntry {
    int number = 0;
    Value file, newName, noCopy, override, readOnly, code;
};

// FileMacro# with the keys of the same number.
struct MacroEntry {
    int number = 0;
    Value file, newName, override;
};

// Font# with FontName# of the same number.
struct FontEntry {
    int number = 0;
    Value file, name;
};

// The tests that decide whether a part is installed.
struct PartConditions {
    Value winVersion, cond, optional /* fak */, abortText;
};

// The register lines of a part: Register, Register#, RegisterX#.
struct RegisterLines {
    Value single;
    std::vector<Numbered> lines;
    std::vector<Numbered> unexpanded; // RegisterX#
    Value onlyNew;                    // RegisterCond
};

// The start-menu shortcut of a part.
struct ShortcutRecord {
    Value execute, icon, iconNumber, workingFolder /* DefDir */, arguments /* Parm */, group;
};

// The uninstall entry of a part (UnInst; its name and headline are the part's).
struct UninstallRecord {
    Value command, icon /* UIcon */, groupKey /* GroupReg */;
};

// The copy section of a part: its folders, files, macro files, deletions and
// files to keep.
struct CopyRecord {
    Value dir, targetDir /* TDir */;
    std::vector<Numbered> deletes; // Del#
    std::vector<CopyEntry> files;
    std::vector<MacroEntry> macros;
    std::vector<Numbered> holds; // Hold#
};

// One section of the script read as a part (every section is one: tests and
// steps may name any).
struct PartRecord {
    std::string section;  // as written in the script
    Value headLine, name; // HeadLine, Name
    PartConditions conditions;
    Value subProject; // Install
    RegisterLines registry;
    std::vector<Numbered> downloads; // URLDir#
    CopyRecord copy;
    Value association; // Extension
    UninstallRecord uninstall;
    ShortcutRecord shortcut;
};

struct ProjectRecord {
    Value name, headLine, version, instit, publisher, copyright /* CR */, www, email, memo;
    Value color1, color2, talk, installPath /* IPath */, targetPath /* Path */, fromTarvel;
    Value group, parentGroup, bytes, need83, restorePoint, delExt, registryNode;
    std::vector<Numbered> parts;
    std::vector<Numbered> windowsFiles;  // Win#
    std::vector<int> refusedWinSys;      // the numbers of WinSys# keys (no longer taken)
    std::vector<Numbered> systemFiles;   // WSys#
    std::vector<Numbered> system32Files; // W32Sys#
    std::vector<Numbered> programs;      // Exec#
    std::vector<FontEntry> fonts;
};

class Model {
  public:
    // Reads the script at path (a missing file gives an empty model).
    explicit Model(const std::string& path);
    // The records of a script already read.
    explicit Model(const TIni& ini);

    const std::string& FileName() const { return *file_; }
    // Why the file could not be read (see TIni::LoadError); empty otherwise.
    const std::string& LoadError() const { return loadError_; }
    bool HasSection(std::string_view name) const;

    const ProjectRecord& Project() const { return project_; }
    // The part of that section; an empty record (section "") when the
    // script has no such section.
    const PartRecord& Part(std::string_view section) const;
    // [Headline] <part>=
    const Value& PartHeadline(std::string_view part) const;
    const std::vector<Numbered>& ClassEntries() const { return classEntries_; } // [Register] R#
    const std::vector<Numbered>& CheckRun() const { return checkRun_; }
    const std::vector<Numbered>& StopRun() const { return stopRun_; }

  private:
    void Read(const TIni& ini);

    std::shared_ptr<const std::string> file_;
    std::string loadError_;
    ProjectRecord project_;
    std::map<std::string, PartRecord> parts_; // by upper-case section name
    std::map<std::string, Value> headlines_;  // by upper-case part name
    std::vector<Numbered> classEntries_, checkRun_, stopRun_;
    PartRecord noPart_;
    Value none_;
};

} // namespace script
} // namespace setup
