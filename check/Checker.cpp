#include "check/Checker.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "check/Encoding.h"
#include "check/Installed.h"
#include "check/Values.h"
#include "common/Ansi.h"
#include "common/PathNormal.h"
#include "common/Paths.h"
#include "common/ScriptEncoding.h"
#include "common/TextFiles.h"
#include "platform/FileSystem.h"
#include "script/Ini.h"
#include "script/Keys.h"
#include "script/Script.h"

namespace setup::check {

namespace {

using script::Key;
using script::Sect;
using script::Value;

// Larger files are no script anyone wrote by hand; the reader refuses them too.
constexpr uint64_t kMaxFileSize = uint64_t{256} << 20;
std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

class Checker {
  public:
    Checker(const Options& options, std::vector<Finding>& out) : options_(options), out_(out) {}

    void Script(const std::string& path, bool main);

  private:
    void Add(const std::string& file, uint32_t line, Code code, std::string text) {
        out_.push_back({file, line, DefaultSeverity(code), code, std::move(text)});
    }
    void AddFor(const Value& v, Code code, std::string text) {
        Add(file_, v.origin.line, code, std::move(text));
    }

    void Sections(const TIni& ini, const std::set<std::string>& partNames);
    void Keys(const TIni& ini, int index, Sect sect);
    void Project(const script::Model& model, uint32_t headerLine);
    void Part(const script::Model& model, const script::PartRecord& part, uint32_t headerLine);
    void Shortcut(const script::Model& model, const script::PartRecord& part, uint32_t headerLine);
    void Variables(const Value& v, std::string_view key, bool dirKnown);
    void Number(const Value& v, std::string_view key);
    void Flag(const Value& v, std::string_view key);
    void Source(const Value& v, std::string_view key, const std::string& folder, std::string mask,
                bool tree = false);
    void LineFile(const std::string& path, bool macro);
    const InstalledFiles& Installed(const script::Model& model, const std::string& dir) {
        const std::string upper = AnsiUpperCase(dir);
        auto it = installed_.find(upper);
        if (it == installed_.end())
            it = installed_.emplace(upper, IndexInstalled(model, dir)).first;
        return it->second;
    }
    bool Exists(const std::string& folder, const std::string& name, bool tree) {
        const std::string key = AnsiUpperCase(folder + name) + (tree ? "|s" : "");
        auto it = exists_.find(key);
        if (it == exists_.end()) {
            const bool wild = name.find_first_of("*?") != std::string::npos;
            const bool found = !tree && !wild ? plat::fileExists(folder + name)
                                              : AnyFileMatches(folder, name, tree);
            it = exists_.emplace(key, found).first;
        }
        return it->second;
    }

    const Options& options_;
    std::vector<Finding>& out_;
    std::set<std::string> visited_;
    // The file being checked and its source root (InstallRootDir); "" when
    // the root holds variables that only a run can expand.
    std::string file_, root_;
    // Per script: what each part folder installs. Per check: what the disk has.
    std::map<std::string, InstalledFiles> installed_;
    std::unordered_map<std::string, bool> exists_;
};

void Checker::Script(const std::string& path, bool main) {
    visited_.insert(AnsiUpperCase(NormalPath(path)));
    // The file, its source root and its index belong to this script only;
    // the caller's come back on every way out.
    struct Restore {
        Checker& c;
        std::string file, root;
        std::map<std::string, InstalledFiles> installed;
        ~Restore() {
            c.file_ = std::move(file);
            c.root_ = std::move(root);
            c.installed_.swap(installed);
        }
    } restore{*this, file_, root_, {}};
    restore.installed.swap(installed_);
    file_ = path;
    if (!plat::fileExists(path)) {
        if (main)
            Add(path, 0, Code::MissingSource, "the script " + Quoted(path) + " does not exist");
        return;
    }
    // A device, pipe or socket would be read forever or wait for a writer.
    if (!plat::isRegularFile(path)) {
        Add(path, 0, Code::MissingSource,
            "the script is not a regular file (a device, pipe or socket)");
        return;
    }
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxFileSize);
    if (!bytes) {
        Add(path, 0, Code::MissingSource, "the script cannot be read (too large or unreadable)");
        return;
    }
    bool fatal = false;
    for (Finding f : EncodingFindings(*bytes, TextKind::Script, fatal)) {
        f.file = path;
        out_.push_back(std::move(f));
    }
    if (fatal) return; // one long line: nothing of it would be read

    const TIni ini(path);
    if (!ini.LoadError().empty()) {
        Finding f{path, 0, Severity::Error, Code::Encoding,
                  "the text cannot be converted to Windows-1252: " + ini.LoadError()};
        out_.push_back(std::move(f));
        return;
    }
    const int projectIndex = ini.FindSection("Project");
    if (projectIndex < 0) {
        Add(path, 0, Code::MissingPart,
            "the script has no [Project] section: nothing would be installed");
    }
    const script::Model model(ini);
    const script::ProjectRecord& project = model.Project();
    root_ = ExtractFilePath(path);
    if (!project.installPath.empty()) {
        root_ = HasRegistryVariable(project.installPath.text)
                    ? std::string()
                    : AddBackslash(root_ + project.installPath.text);
    }

    // The sections that Part# keys name (after a gap too: the gap is reported).
    std::set<std::string> partNames;
    if (projectIndex >= 0) {
        const TSection_i& keys = ini.Section(projectIndex);
        for (int e = 0; e < keys.Count(); ++e) {
            const auto match = script::FindKey(Sect::Project, keys.Key(e));
            if (match && match->def->key == Key::Part)
                partNames.insert(AnsiUpperCase(keys.Value(e)));
        }
    }
    Sections(ini, partNames);
    if (projectIndex >= 0) Project(model, ini.SectionLine(projectIndex));

    std::set<std::string> done;
    for (const script::Numbered& named : project.parts) {
        const std::string name = named.value.text;
        if (HasRegistryVariable(name)) continue;
        const int index = ini.FindSection(name);
        if (index < 0) {
            AddFor(named.value, Code::MissingPart,
                   "Part" + std::to_string(named.number) + " names the section [" + name +
                       "], which the script does not have");
            continue;
        }
        if (!done.insert(AnsiUpperCase(name)).second) continue;
        Part(model, model.Part(name), ini.SectionLine(index));
    }
    for (const script::Numbered& entry : model.ClassEntries())
        Variables(entry.value, "R" + std::to_string(entry.number), true);
}

void Checker::Sections(const TIni& ini, const std::set<std::string>& partNames) {
    for (int i = 0; i < ini.SectionCount(); ++i) {
        const std::string& name = ini.SectionName(i);
        const std::string upper = AnsiUpperCase(name);
        if (name.empty()) {
            const TSection_i& s = ini.Section(i);
            for (int e = 0; e < s.Count(); ++e) {
                if (s.Key(e).empty()) continue;
                Add(file_, s.Line(e), Code::UnknownKey,
                    "the key " + Quoted(s.Key(e)) +
                        " stands before the first section header: nothing reads it");
            }
            continue;
        }
        if (partNames.count(upper)) {
            Keys(ini, i, Sect::Part);
            continue;
        }
        static const std::map<std::string, Sect> kFixed = {{"PROJECT", Sect::Project},
                                                           {"HEADLINE", Sect::Headline},
                                                           {"REGISTER", Sect::Register},
                                                           {"CHECKRUN", Sect::CheckRun},
                                                           {"STOPRUN", Sect::StopRun}};
        const auto fixed = kFixed.find(upper);
        if (fixed != kFixed.end()) {
            Keys(ini, i, fixed->second);
            continue;
        }
        std::string text = "the section [" + name + "] is read by nothing";
        if (AnsiSameText(name.substr(0, 3), "PRO") || EditDistance(name, "Project") <= 2)
            text += " (did you mean [Project]?)";
        else
            text += ": no Part# of [Project] names it";
        Add(file_, ini.SectionLine(i), Code::UnknownSection, text);
    }
}

void Checker::Keys(const TIni& ini, int index, Sect sect) {
    const TSection_i& s = ini.Section(index);
    const std::string& section = ini.SectionName(index);
    // Numbers of the Leading keys, and of the Following keys, with their lines.
    std::map<Key, std::map<int, uint32_t>> leading, following;
    std::map<Key, std::string> writtenName;
    for (int e = 0; e < s.Count(); ++e) {
        const std::string_view key = s.Key(e);
        if (key.empty()) {
            const std::string_view text = s.Value(e);
            if (text.empty() || text[0] == ';' ||
                text.find_first_not_of(" \t") == std::string_view::npos)
                continue;
            Add(file_, s.Line(e), Code::UnknownKey,
                "the line " + Quoted(text.substr(0, 40)) + " has no \"=\": nothing reads it");
            continue;
        }
        const auto match = script::FindKey(sect, key);
        if (!match) {
            // The names of the section, numbered like the written key.
            size_t digits = key.size();
            while (digits > 0 && key[digits - 1] >= '0' && key[digits - 1] <= '9')
                --digits;
            std::string number(key.substr(digits));
            if (number.empty() || number[0] == '0') number = "1";
            std::vector<std::string> names;
            for (const script::KeyDef& def : script::AllKeys()) {
                if (def.section != sect || def.name.empty() || def.name == "*") continue;
                names.push_back(std::string(def.name) +
                                (def.numbering == script::Numbering::None ? "" : number));
            }
            std::string text =
                "the key " + Quoted(key) + " is not one of [" + section + "]: nothing reads it";
            if (const std::string near = NearestName(key, names); !near.empty())
                text += " (did you mean " + near + "?)";
            Add(file_, s.Line(e), Code::UnknownKey, text);
            continue;
        }
        const script::KeyDef& def = *match->def;
        if (def.numbering == script::Numbering::Leading) {
            leading[def.key].try_emplace(match->number, s.Line(e));
        } else if (def.numbering == script::Numbering::Following) {
            following[def.key].try_emplace(match->number, s.Line(e));
            writtenName[def.key] = std::string(def.name);
        }
    }
    for (const auto& [key, numbers] : leading) {
        int end = 1;
        while (numbers.count(end))
            ++end;
        const auto after = numbers.upper_bound(end);
        if (after == numbers.end()) continue;
        const std::string name = script::KeyName(key);
        Add(file_, after->second, Code::NumberingGap,
            name + std::to_string(after->first) + " comes after a gap: there is no " + name +
                std::to_string(end) + ", and the installation stops reading " + name + "# there");
    }
    for (const auto& [key, numbers] : following) {
        const Key leader = script::Def(key).leader;
        const auto& lead = leading[leader];
        for (const auto& [number, line] : numbers) {
            if (lead.count(number)) continue;
            Add(file_, line, Code::NumberingGap,
                writtenName[key] + std::to_string(number) + " belongs to " +
                    script::KeyName(leader, number) + ", which the section does not have");
        }
    }
}

void Checker::Number(const Value& v, std::string_view key) {
    if (!v.empty() && !IsScriptNumber(v.text))
        AddFor(v, Code::BadValue,
               std::string(key) + "=" + v.text +
                   " is not a number: the installation reads it as 0");
}

void Checker::Flag(const Value& v, std::string_view key) {
    if (!v.empty() && !IsScriptFlag(v.text))
        AddFor(v, Code::BadValue,
               std::string(key) + "=" + v.text +
                   " is no flag: only 0 is off, every other text is on (write 0 or 1)");
}

void Checker::Variables(const Value& v, std::string_view key, bool dirKnown) {
    for (const std::string& name : UnknownVariables(v.text, Variables::Folder))
        AddFor(v, Code::UnknownVariable,
               name + " in " + std::string(key) +
                   " is no variable of the installation: it stays as text");
    if (!dirKnown) {
        std::string upper = AnsiUpperCase(v.text);
        if (upper.find("%DIR%") != std::string::npos)
            AddFor(v, Code::UnknownVariable,
                   "%DIR% has no value in " + std::string(key) +
                       ": the target folder is not known there");
    }
}

void Checker::Source(const Value& v, std::string_view key, const std::string& folder,
                     std::string mask, bool tree) {
    if (folder.empty() || mask.empty() || HasRegistryVariable(mask)) return;
    std::string sub = ExtractFilePath(mask);
    const std::string name = ExtractFileName(mask);
    const std::string where = folder + sub;
    const bool wild = name.find_first_of("*?") != std::string::npos;
    if (Exists(where, name, tree)) return;
    AddFor(v, Code::MissingSource,
           std::string(key) + ": " + (wild ? "nothing matches " : "there is no file ") +
               Quoted(where + name) + (tree ? " (nor in the folders below)" : ""));
}

void Checker::LineFile(const std::string& path, bool macro) {
    std::optional<std::string> bytes = ReadWholeFile(path, kMaxFileSize);
    if (!bytes) return;
    bool fatal = false;
    for (Finding f : EncodingFindings(*bytes, TextKind::LineFile, fatal)) {
        f.file = path;
        out_.push_back(std::move(f));
    }
    if (!macro) return;
    std::string text = *bytes;
    std::string error;
    if (HasByteOrderMark(text.substr(0, 3)) && !ConvertScriptText(text, error)) {
        Add(path, 0, Code::Encoding, "the text cannot be converted to Windows-1252: " + error);
        return;
    }
    uint32_t line = 1;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        for (const std::string& name :
             UnknownVariables(std::string_view(text).substr(start, end - start), Variables::Macro))
            Add(path, line, Code::UnknownVariable,
                name + " is no variable of a macro file: it is left out of the copy");
        if (end >= text.size()) break;
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        ++line;
    }
}

void Checker::Project(const script::Model& model, uint32_t headerLine) {
    const script::ProjectRecord& p = model.Project();
    Number(p.color1, "Color1");
    Number(p.color2, "Color2");
    Number(p.talk, "talk");
    Number(p.bytes, "Bytes");
    Flag(p.fromTarvel, "fromTarvel");
    Flag(p.need83, "Need83");
    Flag(p.restorePoint, "RestorePoint");
    if (p.group.empty())
        Add(file_, headerLine, Code::BadValue,
            "[Project] has no Group: the start-menu folder would be named \"Group= (untitled)\"");

    // The target folder.
    const Value& path = p.targetPath;
    const size_t before = out_.size();
    Variables(path, "Path", false);
    const std::string target = path.Or("%PDIR%\\Qorv\\XXX");
    if (out_.size() == before && !HasRegistryVariable(target)) {
        std::string full;
        const std::string line = path.empty() ? "" : "Path=" + path.text + ": ";
        if (!FullFolderPath(WithStandInFolders(target), full))
            Add(file_, path.origin.line, Code::UnsafeTarget,
                line + "the target folder is not a full path (a drive and its root, or a share)");
        else if (options_.zDriveUnsafe && (full[0] == 'Z' || full[0] == 'z'))
            Add(file_, path.origin.line, Code::UnsafeTarget,
                line + "the target folder is on Z:, the Linux root folder, where the "
                       "installation writes nothing");
    }

    const std::string& root = root_;
    for (const script::Numbered& n : p.windowsFiles)
        Source(n.value, "Win" + std::to_string(n.number), root, n.value.text);
    for (const script::Numbered& n : p.systemFiles)
        Source(n.value, "WSys" + std::to_string(n.number), root, n.value.text);
    for (const script::Numbered& n : p.system32Files) {
        std::string name = n.value.text;
        if (name.size() >= 2 && name.compare(name.size() - 2, 2, ",U") == 0)
            name.resize(name.size() - 2);
        Source(n.value, "W32Sys" + std::to_string(n.number), root, name);
    }
    for (const script::FontEntry& font : p.fonts)
        Source(font.file, "Font" + std::to_string(font.number), root, font.file.text);
}

void Checker::Part(const script::Model& model, const script::PartRecord& part,
                   uint32_t headerLine) {
    const auto key = [](std::string_view name, int number) {
        return std::string(name) + std::to_string(number);
    };
    Flag(part.conditions.optional, "fak");
    Flag(part.registry.onlyNew, "RegisterCond");

    // The part's folder: relative to the target folder.
    const Value& dir = part.copy.dir;
    const size_t before = out_.size();
    Variables(dir, "Dir", false);
    if (!dir.empty() && out_.size() == before) {
        if (dir.text[0] == '\\' || dir.text[0] == '/')
            AddFor(dir, Code::UnsafeTarget,
                   "Dir=" + dir.text +
                       " begins with a backslash: the part's files would go to a folder "
                       "relative to the current folder, not the target folder");
        else if (dir.text.find(':') != std::string::npos ||
                 !PathInsideFolder("C:\\Target\\" + dir.text + "\\x", "C:\\Target\\"))
            AddFor(dir, Code::UnsafeTarget, "Dir=" + dir.text + " leads out of the target folder");
    }
    const Value& tdir = part.copy.targetDir;
    if (!tdir.empty() && tdir.text != "..") {
        const size_t mark = out_.size();
        Variables(tdir, "TDir", true);
        std::string full;
        if (out_.size() == mark && !HasRegistryVariable(tdir.text) &&
            !AnsiSameText(tdir.text.substr(0, 5), "%DIR%")) {
            if (!FullFolderPath(WithStandInFolders(tdir.text), full))
                AddFor(tdir, Code::UnsafeTarget, "TDir=" + tdir.text + " is not a full path");
            else if (options_.zDriveUnsafe && (full[0] == 'Z' || full[0] == 'z'))
                AddFor(tdir, Code::UnsafeTarget,
                       "TDir=" + tdir.text + " is on Z:, where the installation writes nothing");
        }
    }

    // Where its files come from.
    std::string source;
    if (!root_.empty() && dir.text.find('%') == std::string::npos)
        source = root_ + AddBackslash(dir.text);

    if (!part.conditions.cond.empty() && !source.empty()) {
        const std::string cond = source + part.conditions.cond.text;
        if (!plat::fileExists(cond))
            AddFor(part.conditions.cond, Code::MissingSource,
                   "Cond: the condition file " + Quoted(cond) + " does not exist");
        else
            LineFile(cond, false);
    }
    if (!part.subProject.empty() && !HasRegistryVariable(part.subProject.text)) {
        const std::string sub = ExtractFilePath(file_) + part.subProject.text;
        if (!plat::fileExists(sub))
            AddFor(part.subProject, Code::MissingSource,
                   "Install: the sub-project script " + Quoted(sub) + " does not exist");
        else if (!visited_.count(AnsiUpperCase(NormalPath(sub))))
            Script(sub, false);
    }

    // Register lines.
    auto registerLine = [&](const Value& v, const std::string& name) {
        if (const std::string problem = RegisterLineProblem(v.text); !problem.empty())
            AddFor(v, Code::BadValue, name + ": " + problem);
        Variables(v, name, true);
    };
    if (!part.registry.single.empty()) registerLine(part.registry.single, "Register");
    for (const script::Numbered& n : part.registry.lines)
        registerLine(n.value, key("Register", n.number));
    for (const script::Numbered& n : part.registry.unexpanded)
        registerLine(n.value, key("RegisterX", n.number));

    for (const script::Numbered& n : part.downloads) {
        if (!IsWebAddress(n.value.text) && !HasRegistryVariable(n.value.text))
            AddFor(n.value, Code::BadValue,
                   key("URLDir", n.number) + "=" + n.value.text +
                       " is no web address (http:// or https:// and a host)");
    }

    // Files.
    for (const script::Numbered& n : part.copy.deletes) {
        const size_t comma = n.value.text.find(',');
        if (comma != std::string::npos && !IsDeleteLimit(n.value.text.substr(comma + 1)))
            AddFor(n.value, Code::BadValue,
                   key("Del", n.number) + ": the limit " + Quoted(n.value.text.substr(comma + 1)) +
                       " is not a packed DOS date-time number (decimal or $hexadecimal)");
    }
    for (const script::CopyEntry& f : part.copy.files) {
        Flag(f.noCopy, key("FileNoCopy", f.number));
        Number(f.override, key("FileOverride", f.number));
        Number(f.readOnly, key("FileReadOnly", f.number));
        if (!f.code.empty() && !IsCodeValue(f.code.text))
            AddFor(f.code, Code::BadValue,
                   key("Code", f.number) + "=" + f.code.text +
                       " is not an optional digit, a comma and a file name");
        if (f.noCopy.text == "1" || source.empty()) continue;
        std::string value = f.file.text;
        if (!value.empty() && value[0] == '|') continue; // may match nothing
        bool tree = false;
        if (value.size() >= 3 && value.compare(value.size() - 3, 3, " /s") == 0) {
            tree = true;
            value.resize(value.size() - 3);
        }
        Source(f.file, key("File", f.number), source, value, tree);
    }
    for (const script::MacroEntry& m : part.copy.macros) {
        Flag(m.override, key("FileMacroOverride", m.number));
        if (source.empty() || HasRegistryVariable(m.file.text)) continue;
        const std::string path = source + m.file.text;
        if (!plat::fileExists(path))
            AddFor(m.file, Code::MissingSource,
                   key("FileMacro", m.number) + ": the macro file " + Quoted(path) +
                       " does not exist");
        else
            LineFile(path, true);
    }

    if (!part.association.empty()) Variables(part.association, "Extension", true);
    if (!part.uninstall.command.empty()) {
        Variables(part.uninstall.command, "UnInst", true);
        if (part.name.empty())
            AddFor(part.uninstall.command, Code::BadValue,
                   "UnInst without the part's Name: the uninstall entry has no key of its own");
    }
    if (!part.uninstall.icon.empty()) Variables(part.uninstall.icon, "UIcon", true);
    const Value& groupReg = part.uninstall.groupKey;
    if (!groupReg.empty() && (groupReg.text.size() < 3 || groupReg.text[1] != '\\'))
        AddFor(groupReg, Code::BadValue,
               "GroupReg=" + groupReg.text + " is not a registry path with a root letter (U\\...)");
    if (part.subProject.empty()) Shortcut(model, part, headerLine);
}

void Checker::Shortcut(const script::Model& model, const script::PartRecord& part,
                       uint32_t headerLine) {
    const script::ShortcutRecord& sc = part.shortcut;
    std::string icon = sc.icon.text;
    while (!icon.empty() && icon.front() == ' ')
        icon.erase(0, 1);
    while (!icon.empty() && icon.back() == ' ')
        icon.pop_back();
    if (icon == "-") return; // no shortcut
    Variables(sc.execute, "Execute", true);
    Variables(sc.icon, "Icon", true);
    Variables(sc.workingFolder, "DefDir", true);
    Variables(sc.arguments, "Parm", true);
    if (!sc.iconNumber.empty() && !IsScriptNumber(sc.iconNumber.text))
        AddFor(sc.iconNumber, Code::BadValue,
               "IconNr=" + sc.iconNumber.text + " is not a number: the icon index would be 0");

    // The program of the shortcut, when it lies in the part's folder.
    std::string program = sc.execute.Or(part.section + ".EXE");
    if (program.empty() || program[0] == '\\' || program.find(":\\") != std::string::npos ||
        program.find('%') != std::string::npos)
        return;
    // Files that land in the part's folder: those of every part with the same Dir.
    const InstalledFiles& files = Installed(model, part.copy.dir.text);
    const std::string targetFolder = AnsiUpperCase(ExtractFilePath(program));
    const std::string targetName = ExtractFileName(program);
    bool installed = files.exact.count(AnsiUpperCase(program)) != 0;
    for (size_t i = 0; i < files.patterns.size() && !installed; ++i) {
        const InstalledFiles::Pattern& p = files.patterns[i];
        const bool inFolder =
            p.tree ? targetFolder.rfind(p.folder, 0) == 0 : targetFolder == p.folder;
        installed = inFolder && MatchesMask(targetName, p.mask);
    }
    if (installed) return;
    const std::string text = "the shortcut's program " + Quoted(program) +
                             " lies in the part's folder, but the project installs no such file";
    if (sc.execute.empty())
        Add(file_, headerLine, Code::MissingSource,
            text + " (without Execute the program is the part's name + .EXE)");
    else
        AddFor(sc.execute, Code::MissingSource, "Execute: " + text);
}

} // namespace

std::vector<Finding> CheckScript(const std::string& path, const Options& options) {
    std::vector<Finding> findings;
    Checker(options, findings).Script(path, true);
    // In file order: the files as they were first met, each by line.
    std::map<std::string, size_t> fileOrder;
    for (const Finding& f : findings)
        fileOrder.try_emplace(f.file, fileOrder.size());
    std::stable_sort(findings.begin(), findings.end(), [&](const Finding& a, const Finding& b) {
        const size_t fa = fileOrder[a.file], fb = fileOrder[b.file];
        return fa != fb ? fa < fb : a.line < b.line;
    });
    return findings;
}

} // namespace setup::check
