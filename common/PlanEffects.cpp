// The planning effects: changes recorded, later reads answered from them.
#include "common/PlanEffects.h"

#include <algorithm>

#include "common/Ansi.h"
#include "common/Paths.h"
#include "platform/Time.h"

namespace setup {

namespace {

// A path as the plan files it: upper case, backslashes, no trailing one.
std::string PathKey(const std::string& path) {
    std::string key = AnsiUpperCase(path);
    std::replace(key.begin(), key.end(), '/', '\\');
    while (key.size() > 3 && key.back() == '\\')
        key.pop_back();
    return key;
}

std::string KeyOf(plat::RegRoot root, const std::string& key) {
    std::string text = AnsiUpperCase(key);
    while (!text.empty() && text.front() == '\\')
        text.erase(0, 1);
    while (!text.empty() && text.back() == '\\')
        text.pop_back();
    return std::string(plat::regRootName(root)) + "\\" + text;
}

std::string ValueOf(plat::RegRoot root, const std::string& key, const std::string& name) {
    return KeyOf(root, key) + "\\\\" + AnsiUpperCase(name);
}

// The folder part of a key (without its last name); empty at the top.
std::string Parent(const std::string& key) {
    const size_t at = key.rfind('\\');
    return at == std::string::npos ? std::string() : key.substr(0, at);
}

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

// Windows' wildcard match of an upper-case name ("*.*" matches every name).
bool Matches(const char* pattern, const char* name) {
    if (*pattern == '\0') return *name == '\0';
    if (*pattern == '*') {
        if (std::string_view(pattern) == "*.*") return true;
        for (const char* at = name;; ++at) {
            if (Matches(pattern + 1, at)) return true;
            if (*at == '\0') return false;
        }
    }
    if (*name == '\0') return std::string_view(pattern) == "." || std::string_view(pattern) == ".*";
    if (*pattern == '?' || *pattern == *name) return Matches(pattern + 1, name + 1);
    return false;
}

class PlanPendingFile final : public PendingFile {
  public:
    explicit PlanPendingFile(PlanEffects& plan) : plan_(plan) {}
    bool Write(const void* data, size_t size) override {
        // Small texts (lists, records) are kept: the run may read them back.
        if (text_ && text_->size() + size <= kMaxKeptText)
            text_->append(static_cast<const char*>(data), size);
        else
            text_.reset();
        written_.size += size;
        return true;
    }
    int64_t CopyFrom(plat::File& source, uint64_t count, void* buffer,
                     uint64_t bufferSize) override {
        // Read, so that a source that fails to read fails here as in the run.
        uint64_t total = 0;
        while (total < count) {
            const int64_t n = source.read(buffer, std::min(bufferSize, count - total));
            if (n < 0) return total > 0 ? static_cast<int64_t>(total) : n;
            if (n == 0) break;
            total += static_cast<uint64_t>(n);
        }
        written_.size += total;
        text_.reset();
        return static_cast<int64_t>(total);
    }
    void Reserve(uint64_t) override {}
    bool Flush() override { return true; }
    uint32_t LastError() const override { return 0; }
    bool Finish(std::optional<plat::FileTime> creation, plat::FileTime writeTime) override {
        written_.creationTime = creation.value_or(writeTime);
        written_.writeTime = writeTime;
        return true;
    }
    bool SetAttributes(uint32_t attributes) override {
        written_.attributes = attributes;
        return true;
    }
    bool Commit(const std::string& dest) override {
        if (written_.writeTime == 0) written_.writeTime = written_.creationTime = plat::now();
        if (written_.attributes == 0) written_.attributes = plat::kAttrArchive;
        plan_.CommitFile(dest, written_, std::move(text_));
        return true;
    }
    void Discard() override {}

  private:
    static constexpr size_t kMaxKeptText = 16 * 1024 * 1024;
    PlanEffects& plan_;
    plat::DirEntry written_;
    std::optional<std::string> text_ = std::string();
};

} // namespace

PlanEffects::PlanEffects(Effects& reads) : reads_(reads) {}
PlanEffects::~PlanEffects() = default;

PlanEffects* AsPlan(Effects& effects) {
    for (Effects* e = &effects; e; e = e->Decorated())
        if (auto* plan = dynamic_cast<PlanEffects*>(e)) return plan;
    return nullptr;
}

void PlanEffects::Add(PlannedChange::Kind kind, std::string path, std::string detail,
                      std::string name, uint64_t number) {
    changes_.push_back({kind, std::move(path), std::move(name), std::move(detail), number});
}

void PlanEffects::NoteWebFolder(const std::string& url) {
    Add(PlannedChange::Kind::WebFolder, url);
}

const PlanEffects::FileState* PlanEffects::Recorded(const std::string& path) const {
    const auto it = files_.find(PathKey(path));
    return it == files_.end() ? nullptr : &it->second;
}

bool PlanEffects::UnderRemovedFolder(const std::string& key) const {
    for (std::string folder = Parent(key); !folder.empty(); folder = Parent(folder)) {
        const auto it = folders_.find(folder);
        if (it != folders_.end()) return !it->second;
    }
    return false;
}

void PlanEffects::SetFile(const std::string& path, const plat::DirEntry& entry) {
    FileState& state = files_[PathKey(path)];
    state.exists = true;
    state.entry = entry;
    state.text.reset();
    state.entry.name = ExtractFileName(path);
}

std::optional<plat::DirEntry> PlanEffects::CurrentEntry(const std::string& path) {
    plat::DirEntry entry;
    if (const FileState* state = Recorded(path)) {
        if (!state->exists) return std::nullopt;
        return state->entry;
    }
    if (UnderRemovedFolder(PathKey(path)) || !reads_.Entry(path, entry)) return std::nullopt;
    return entry;
}

// --- reads ---

bool PlanEffects::FileExists(const std::string& path) {
    if (const FileState* state = Recorded(path)) return state->exists;
    if (UnderRemovedFolder(PathKey(path))) return false;
    return reads_.FileExists(path);
}

bool PlanEffects::FolderExists(const std::string& path) {
    const std::string key = PathKey(path);
    if (const auto it = folders_.find(key); it != folders_.end()) return it->second;
    if (const FileState* state = Recorded(path); state && state->exists) return false;
    if (UnderRemovedFolder(key)) return false;
    return reads_.FolderExists(path);
}

std::optional<uint32_t> PlanEffects::Attributes(const std::string& path) {
    if (const FileState* state = Recorded(path)) {
        if (!state->exists) return std::nullopt;
        return state->entry.attributes;
    }
    const std::string key = PathKey(path);
    if (const auto it = folders_.find(key); it != folders_.end()) {
        if (!it->second) return std::nullopt;
        // A folder made by the plan, or one that was there (its own attributes).
        if (const std::optional<uint32_t> real = reads_.Attributes(path)) return real;
        return plat::kAttrDirectory;
    }
    if (UnderRemovedFolder(key)) return std::nullopt;
    return reads_.Attributes(path);
}

bool PlanEffects::Entry(const std::string& path, plat::DirEntry& entry) {
    const std::string name = ExtractFileName(path);
    if (!HasWildcard(name)) {
        const std::optional<plat::DirEntry> found = CurrentEntry(path);
        if (found) entry = *found;
        return found.has_value();
    }
    // A pattern: the machine's matches that the plan left in place first,
    // then the files the plan made.
    const std::string folderKey = PathKey(ExtractFilePath(path));
    if (!UnderRemovedFolder(folderKey + "\\X")) {
        plat::DirSearch search;
        if (search.first(path)) {
            do {
                const plat::DirEntry& e = search.entry();
                if ((e.attributes & plat::kAttrDirectory) != 0) continue;
                const FileState* state = Recorded(ExtractFilePath(path) + e.name);
                if (state && !state->exists) continue;
                entry = state ? state->entry : e;
                return true;
            } while (search.next());
        }
    }
    const std::string pattern = AnsiUpperCase(name);
    for (const auto& [key, state] : files_) {
        if (!state.exists || Parent(key) != folderKey) continue;
        if (Matches(pattern.c_str(), key.c_str() + folderKey.size() + 1)) {
            entry = state.entry;
            return true;
        }
    }
    return false;
}

std::optional<PlanEffects::RegValue> PlanEffects::PlannedValue(plat::RegRoot root,
                                                               const std::string& key,
                                                               const std::string& name) const {
    if (const auto it = values_.find(ValueOf(root, key, name)); it != values_.end())
        return it->second;
    for (std::string k = KeyOf(root, key); k.find('\\') != std::string::npos; k = Parent(k)) {
        if (const auto it = keys_.find(k); it != keys_.end() && !it->second) return RegValue{};
    }
    return std::nullopt;
}

std::optional<std::string> PlanEffects::RegistryString(plat::RegRoot root, const std::string& key,
                                                       const std::string& name) {
    if (const std::optional<RegValue> planned = PlannedValue(root, key, name)) {
        const plat::RegType type = planned->value.type;
        if (!planned->exists ||
            (type != plat::RegType::String && type != plat::RegType::ExpandString))
            return std::nullopt;
        return planned->value.data;
    }
    return reads_.RegistryString(root, key, name);
}

std::optional<RegistryValue> PlanEffects::ReadRegistryValue(plat::RegRoot root,
                                                            const std::string& key,
                                                            const std::string& name) {
    if (const std::optional<RegValue> planned = PlannedValue(root, key, name)) {
        if (!planned->exists) return std::nullopt;
        return planned->value;
    }
    return reads_.ReadRegistryValue(root, key, name);
}

bool PlanEffects::RegistryKeyExists(plat::RegRoot root, const std::string& key) {
    const std::string k = KeyOf(root, key);
    if (const auto it = keys_.find(k); it != keys_.end()) return it->second;
    for (std::string up = Parent(k); up.find('\\') != std::string::npos; up = Parent(up)) {
        if (const auto it = keys_.find(up); it != keys_.end() && !it->second) return false;
    }
    return reads_.RegistryKeyExists(root, key);
}

bool PlanEffects::CanReplace(const std::string& path) {
    const std::optional<plat::DirEntry> entry = CurrentEntry(path);
    if (!entry || (entry->attributes & plat::kAttrReadOnly) != 0) return false;
    // A file the plan wrote could be written again; one of the machine's
    // as the machine says (a running program may hold it).
    return Recorded(path) != nullptr || reads_.CanReplace(path);
}

// --- files and folders ---

uint32_t PlanEffects::CreateFolder(const std::string& path) {
    if (FolderExists(path) || FileExists(path)) return plat::kErrAlreadyExists;
    const std::string key = PathKey(path);
    const std::string parent = Parent(key);
    if (!parent.empty() && parent.size() > 2 && !FolderExists(parent))
        return plat::kErrPathNotFound;
    folders_[key] = true;
    Add(PlannedChange::Kind::Folder, path);
    return 0;
}

std::unique_ptr<PendingFile> PlanEffects::BeginFile(const std::string& folder, const std::string&,
                                                    uint32_t& error) {
    if (!FolderExists(folder)) {
        error = plat::kErrPathNotFound;
        return nullptr;
    }
    error = 0;
    return std::make_unique<PlanPendingFile>(*this);
}

void PlanEffects::CommitFile(const std::string& dest, const plat::DirEntry& written,
                             std::optional<std::string> text) {
    const bool existed = FileExists(dest);
    SetFile(dest, written);
    files_[PathKey(dest)].text = std::move(text);
    Add(existed ? PlannedChange::Kind::FileReplaced : PlannedChange::Kind::FileNew, dest, {}, {},
        written.size);
}

bool PlanEffects::PlannedText(const std::string& path, std::optional<std::string>& text) const {
    const FileState* state = Recorded(path);
    if (!state) return false;
    text = state->exists ? state->text : std::nullopt;
    return true;
}

void PlanEffects::RemoveStaleFiles(const std::string&) {}

bool PlanEffects::MoveFile(const std::string& from, const std::string& to, bool replace) {
    if (const std::optional<plat::DirEntry> entry = CurrentEntry(from)) {
        if (FolderExists(to) || (!replace && FileExists(to))) return false;
        if (!FolderExists(ExtractFilePath(to))) return false;
        SetFile(to, *entry);
        files_[PathKey(from)] = FileState{};
    } else if (FolderExists(from)) {
        if (FolderExists(to) || FileExists(to)) return false;
        folders_[PathKey(from)] = false;
        folders_[PathKey(to)] = true;
    } else {
        return false;
    }
    Add(PlannedChange::Kind::Move, from, to);
    return true;
}

bool PlanEffects::DeleteFile(const std::string& path) {
    const std::optional<plat::DirEntry> entry = CurrentEntry(path);
    if (!entry || (entry->attributes & plat::kAttrReadOnly) != 0) return false;
    files_[PathKey(path)] = FileState{};
    Add(PlannedChange::Kind::Delete, path);
    return true;
}

bool PlanEffects::SetAttributes(const std::string& path, uint32_t attributes) {
    if (std::optional<plat::DirEntry> entry = CurrentEntry(path)) {
        entry->attributes = attributes;
        SetFile(path, *entry);
    } else if (!FolderExists(path)) {
        return false;
    }
    Add(PlannedChange::Kind::Attributes, path, {}, {}, attributes);
    return true;
}

uint32_t PlanEffects::SetWriteTime(const std::string& path, plat::FileTime time) {
    std::optional<plat::DirEntry> entry = CurrentEntry(path);
    if (!entry) return plat::kErrFileNotFound;
    if ((entry->attributes & plat::kAttrReadOnly) != 0) return plat::kErrAccessDenied;
    entry->writeTime = time;
    SetFile(path, *entry);
    Add(PlannedChange::Kind::WriteTime, path);
    return 0;
}

// --- registry ---

RegistryWrite PlanEffects::SetRegistryString(plat::RegRoot root, const std::string& key,
                                             const std::string& name, const std::string& value) {
    CreateRegistryKey(root, key);
    values_[ValueOf(root, key, name)] = RegValue{true, {plat::RegType::String, value}};
    Add(PlannedChange::Kind::RegistryValue, std::string(plat::regRootName(root)) + "\\" + key,
        value, name);
    return {};
}

RegistryWrite PlanEffects::SetRegistryDword(plat::RegRoot root, const std::string& key,
                                            const std::string& name, uint32_t value) {
    CreateRegistryKey(root, key);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    values_[ValueOf(root, key, name)] = RegValue{true, {plat::RegType::Dword, bytes}};
    Add(PlannedChange::Kind::RegistryValue, std::string(plat::regRootName(root)) + "\\" + key,
        std::to_string(value), name, value);
    return {};
}

uint32_t PlanEffects::CreateRegistryKey(plat::RegRoot root, const std::string& key) {
    if (RegistryKeyExists(root, key)) return 0;
    for (std::string k = KeyOf(root, key); k.find('\\') != std::string::npos; k = Parent(k))
        keys_[k] = true;
    Add(PlannedChange::Kind::RegistryKey, std::string(plat::regRootName(root)) + "\\" + key);
    return 0;
}

uint32_t PlanEffects::WriteRegistryValue(plat::RegRoot root, const std::string& key,
                                         const std::string& name, const RegistryValue& value) {
    CreateRegistryKey(root, key);
    values_[ValueOf(root, key, name)] = RegValue{true, value};
    std::string shown = value.data;
    uint32_t number = 0;
    if (value.type == plat::RegType::Dword && value.data.size() == 4) {
        for (int i = 3; i >= 0; --i)
            number = number * 256 + static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
        shown = std::to_string(number);
    } else if (value.type != plat::RegType::String && value.type != plat::RegType::ExpandString) {
        shown = "(" + std::to_string(value.data.size()) + " Bytes)";
    }
    Add(PlannedChange::Kind::RegistryValue, std::string(plat::regRootName(root)) + "\\" + key,
        shown, name, number);
    return 0;
}

uint32_t PlanEffects::DeleteRegistryValue(plat::RegRoot root, const std::string& key,
                                          const std::string& name) {
    if (!ReadRegistryValue(root, key, name)) return 2; // ERROR_FILE_NOT_FOUND
    values_[ValueOf(root, key, name)] = RegValue{};
    Add(PlannedChange::Kind::RegistryValueRemoved,
        std::string(plat::regRootName(root)) + "\\" + key, {}, name);
    return 0;
}

// The machine's own values and subkeys are not listed through the effects:
// a key that exists counts as empty here, as it is after the values the
// installation wrote into it are gone.
uint32_t PlanEffects::DeleteRegistryKey(plat::RegRoot root, const std::string& key) {
    if (!RegistryKeyExists(root, key)) return 2; // ERROR_FILE_NOT_FOUND
    const std::string k = KeyOf(root, key);
    for (const auto& [other, exists] : keys_)
        if (exists && other.size() > k.size() && other.compare(0, k.size(), k) == 0 &&
            other[k.size()] == '\\')
            return 145; // ERROR_DIR_NOT_EMPTY: a subkey the plan made
    keys_[k] = false;
    Add(PlannedChange::Kind::RegistryKeyRemoved, std::string(plat::regRootName(root)) + "\\" + key);
    return 0;
}

bool PlanEffects::RemoveFolder(const std::string& path) {
    if (!FolderExists(path)) return false;
    const std::string folder = path.empty() || path.back() == '\\' ? path : path + "\\";
    plat::DirEntry entry;
    if (Entry(folder + "*", entry)) return false; // a file is left in it
    // A subfolder on the machine that the plan has not removed.
    plat::DirSearch search;
    if (search.first(folder + "*")) {
        do {
            const plat::DirEntry& e = search.entry();
            if ((e.attributes & plat::kAttrDirectory) == 0 || e.name == "." || e.name == "..")
                continue;
            if (FolderExists(folder + e.name)) return false;
        } while (search.next());
    }
    for (const auto& [other, exists] : folders_)
        if (exists && Parent(other) == PathKey(path)) return false;
    folders_[PathKey(path)] = false;
    Add(PlannedChange::Kind::FolderRemoved, path);
    return true;
}

bool PlanEffects::DeleteFileAtRestart(const std::string& path) {
    if (!CurrentEntry(path)) return false;
    files_[PathKey(path)] = FileState{};
    Add(PlannedChange::Kind::Delete, path);
    return true;
}

// --- the shell, fonts, programs ---

int32_t PlanEffects::CreateShortcut(const ShortcutSpec& spec, uint16_t, std::string& error) {
    error.clear();
    if (!FolderExists(ExtractFilePath(spec.LinkFile))) return -1;
    plat::DirEntry link;
    link.attributes = plat::kAttrArchive;
    link.creationTime = link.writeTime = plat::now();
    SetFile(spec.LinkFile, link);
    Add(PlannedChange::Kind::Shortcut, spec.LinkFile, spec.Path);
    return 0;
}

int PlanEffects::AddFontResource(const std::string& file) {
    Add(PlannedChange::Kind::Font, file);
    return 1;
}

uint32_t PlanEffects::RemoveFontResource(const std::string& file) {
    Add(PlannedChange::Kind::FontRemoved, file);
    return 0;
}

uint32_t PlanEffects::CreateScalableFontResource(const std::string& fotFile,
                                                 const std::string& fontFile, const std::string&) {
    plat::DirEntry fot;
    fot.attributes = plat::kAttrArchive;
    fot.creationTime = fot.writeTime = plat::now();
    SetFile(fotFile, fot);
    Add(PlannedChange::Kind::FontResource, fotFile, fontFile);
    return 0;
}

void PlanEffects::BroadcastFontChange() {
    Add(PlannedChange::Kind::Broadcast, {}, "fonts");
}

void PlanEffects::BroadcastWinIniChange() {
    Add(PlannedChange::Kind::Broadcast, {}, "settings");
}

bool PlanEffects::StartProgram(const std::string& commandLine, const std::string& folder) {
    Add(PlannedChange::Kind::Program, commandLine, folder);
    return true;
}

bool PlanEffects::ShellExecute(const std::string& verb, const std::string& file,
                               const std::string& parameters, uintptr_t) {
    Add(PlannedChange::Kind::ShellVerb, file, parameters, verb);
    return true;
}

} // namespace setup
