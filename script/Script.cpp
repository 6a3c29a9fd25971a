#include "script/Script.h"

#include <charconv>
#include <cstring>

#include "common/Ansi.h"
#include "common/RegistryVariables.h"
#include "script/Ini.h"

namespace setup::script {

int32_t Value::Integer(int32_t def) const {
    return IniInteger(text, def);
}

bool Value::Bool(bool def) const {
    return IniBool(text, def);
}

std::string Expanded(const Value& value, const std::string& def) {
    std::string text = value.Or(def);
    ExpandRegistryVariables(text, true);
    return text;
}

namespace {

// Reads the keys of one section through the key table.
class SectionReader {
  public:
    SectionReader(const TIni& ini, std::string section, std::shared_ptr<const std::string> file)
        : file_(std::move(file)) {
        // Found once: a part is read through some sixty lookups.
        const int index = ini.FindSection(section);
        if (index >= 0) entries_ = &ini.Section(index);
    }

    Value Get(Key key, int number = 0) const { return At(Find(key, number)); }
    // As TIni::ReadValue reads it.
    Value GetNamed(std::string_view name) const { return At(FindNamed(name)); }

    // The numbered-key rule, in the one place it is applied: Key1, Key2, ...
    // up to the first number without a value or beyond the key's limit.
    // Appends make(number, value) to list for each, room made at once.
    template <typename T, typename Make>
    void ForEachNumber(Key key, std::vector<T>& list, Make make) const {
        std::vector<int> found; // entry indexes of Key1, Key2, ...
        const KeyDef& def = Def(key);
        for (int n = 1; n <= def.maxNumber; ++n) {
            const int at = Find(key, n);
            if (at < 0) break;
            found.push_back(at);
        }
        list.reserve(list.size() + found.size());
        for (size_t i = 0; i < found.size(); ++i)
            list.push_back(make(static_cast<int>(i) + 1, At(found[i])));
    }
    std::vector<Numbered> Numbers(Key key) const {
        std::vector<Numbered> list;
        ForEachNumber(key, list, [](int n, Value value) { return Numbered{n, std::move(value)}; });
        return list;
    }

  private:
    // The entry of the key with a value; -1 when there is none.
    int FindNamed(std::string_view name) const {
        if (!entries_) return -1;
        const int at = entries_->Find(name);
        return at < 0 || entries_->Value(at).empty() ? -1 : at;
    }
    // As FindNamed(KeyName(key, number)), the name composed without allocating.
    int Find(Key key, int number) const {
        const std::string_view base = Def(key).name;
        char name[64];
        if (number <= 0) return FindNamed(base);
        if (base.size() > sizeof name - 12) return FindNamed(KeyName(key, number));
        std::memcpy(name, base.data(), base.size());
        const auto end = std::to_chars(name + base.size(), name + sizeof name, number).ptr;
        return FindNamed(std::string_view(name, static_cast<size_t>(end - name)));
    }
    Value At(int at) const {
        if (at < 0) return {};
        const uint32_t line = entries_->Line(at);
        return {std::string(entries_->Value(at)), {line ? file_ : nullptr, line}};
    }

    const TSection_i* entries_ = nullptr;
    std::shared_ptr<const std::string> file_;
};

// The numbers of the keys name# of a section, whatever their order or gaps.
std::vector<int> SparseNumbers(const TIni& ini, std::string_view section, Key key) {
    std::vector<int> numbers;
    const int index = ini.FindSection(section);
    if (index < 0) return numbers;
    const TSection_i& entries = ini.Section(index);
    for (int i = 0; i < entries.Count(); ++i) {
        if (entries.Value(i).empty()) continue;
        const std::optional<KeyMatch> match = FindKey(Def(key).section, entries.Key(i));
        if (match && match->def->key == key) numbers.push_back(match->number);
    }
    return numbers;
}

PartRecord ReadPart(const SectionReader& in, std::string section) {
    using enum Key;
    PartRecord part;
    part.section = std::move(section);
    part.headLine = in.Get(PartHeadLine);
    part.name = in.Get(PartName);
    part.conditions = {in.Get(WinVersion), in.Get(Cond), in.Get(Fak), in.Get(AbortText)};
    part.subProject = in.Get(Install);
    part.registry.single = in.Get(Register);
    part.registry.lines = in.Numbers(RegisterN);
    part.registry.unexpanded = in.Numbers(RegisterX);
    part.registry.onlyNew = in.Get(RegisterCond);
    part.downloads = in.Numbers(URLDir);
    part.copy.dir = in.Get(Dir);
    part.copy.targetDir = in.Get(TDir);
    part.copy.deletes = in.Numbers(Del);
    in.ForEachNumber(File, part.copy.files, [&](int n, Value file) {
        return CopyEntry{n,
                         std::move(file),
                         in.Get(FileN, n),
                         in.Get(FileNoCopy, n),
                         in.Get(FileOverride, n),
                         in.Get(FileReadOnly, n),
                         in.Get(Code, n)};
    });
    in.ForEachNumber(FileMacro, part.copy.macros, [&](int n, Value file) {
        return MacroEntry{n, std::move(file), in.Get(FileMacroN, n), in.Get(FileMacroOverride, n)};
    });
    part.copy.holds = in.Numbers(Hold);
    part.association = in.Get(Extension);
    part.uninstall = {in.Get(UnInst), in.Get(UIcon), in.Get(GroupReg)};
    part.shortcut = {in.Get(Execute), in.Get(Icon), in.Get(IconNr),
                     in.Get(DefDir),  in.Get(Parm), in.Get(PartGroup)};
    return part;
}

} // namespace

Model::Model(const std::string& path) {
    const TIni ini(path);
    Read(ini);
}

Model::Model(const TIni& ini) {
    Read(ini);
}

void Model::Read(const TIni& ini) {
    using enum Key;
    file_ = std::make_shared<const std::string>(ini.FileName());
    loadError_ = ini.LoadError();

    const SectionReader project(ini, "Project", file_);
    ProjectRecord& p = project_;
    p.name = project.Get(Name);
    p.headLine = project.Get(HeadLine);
    p.version = project.Get(Version);
    p.instit = project.Get(Instit);
    p.publisher = project.Get(Publisher);
    p.copyright = project.Get(CR);
    p.www = project.Get(WWW);
    p.email = project.Get(EMail);
    p.memo = project.Get(Memo);
    p.color1 = project.Get(Color1);
    p.color2 = project.Get(Color2);
    p.talk = project.Get(Talk);
    p.installPath = project.Get(IPath);
    p.targetPath = project.Get(Path);
    p.fromTarvel = project.Get(FromTarvel);
    p.group = project.Get(Group);
    p.parentGroup = project.Get(ParentGroup);
    p.bytes = project.Get(Bytes);
    p.need83 = project.Get(Need83);
    p.restorePoint = project.Get(RestorePoint);
    p.delExt = project.Get(DelExt);
    p.registryNode = project.Get(RegistryNode);
    p.parts = project.Numbers(Part);
    p.windowsFiles = project.Numbers(Win);
    p.refusedWinSys = SparseNumbers(ini, "Project", WinSys);
    p.systemFiles = project.Numbers(WSys);
    p.system32Files = project.Numbers(W32Sys);
    p.programs = project.Numbers(Exec);
    project.ForEachNumber(Font, p.fonts, [&](int n, Value file) {
        return FontEntry{n, std::move(file), project.Get(FontName, n)};
    });

    for (int i = 0; i < ini.SectionCount(); ++i) {
        const std::string& name = ini.SectionName(i);
        parts_.emplace(AnsiUpperCase(name), ReadPart(SectionReader(ini, name, file_), name));
    }
    if (const int index = ini.FindSection("Headline"); index >= 0) {
        const SectionReader headlines(ini, "Headline", file_);
        const TSection_i& entries = ini.Section(index);
        for (int e = 0; e < entries.Count(); ++e) {
            if (entries.Key(e).empty()) continue;
            // The first entry of a key is the one that counts.
            headlines_.try_emplace(AnsiUpperCase(entries.Key(e)),
                                   headlines.GetNamed(entries.Key(e)));
        }
    }
    classEntries_ = SectionReader(ini, "Register", file_).Numbers(ClassEntry);
    checkRun_ = SectionReader(ini, "CheckRun", file_).Numbers(CheckRunProgram);
    stopRun_ = SectionReader(ini, "StopRun", file_).Numbers(StopRunProgram);
}

bool Model::HasSection(std::string_view name) const {
    return parts_.count(AnsiUpperCase(name)) != 0;
}

const PartRecord& Model::Part(std::string_view section) const {
    const auto it = parts_.find(AnsiUpperCase(section));
    return it == parts_.end() ? noPart_ : it->second;
}

const Value& Model::PartHeadline(std::string_view part) const {
    const auto it = headlines_.find(AnsiUpperCase(part));
    return it == headlines_.end() ? none_ : it->second;
}

} // namespace setup::script
