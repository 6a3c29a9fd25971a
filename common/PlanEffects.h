// PlanEffects: the effects of a run worked out instead of carried out. Reads
// go to the machine (through another Effects) unless the plan changed what
// they are about: a folder it "created" exists, a file it "wrote" has its new
// size, times and attributes, a file it "moved" or "deleted" is gone, a
// registry value it "wrote" reads back. Every change is kept, in order, as a
// PlannedChange; nothing on the machine changes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Effects.h"

namespace setup {

struct PlannedChange {
    enum class Kind {
        Folder,               // path
        FileNew,              // path, bytes
        FileReplaced,         // path, bytes
        Move,                 // path (from), detail (to)
        Delete,               // path
        Attributes,           // path, number (the attributes)
        WriteTime,            // path
        RegistryValue,        // path (root\key), name, detail (value, or the number as text)
        RegistryKey,          // path (root\key), created
        Shortcut,             // path (link file), detail (target)
        Font,                 // path (font file added to the font table)
        FontRemoved,          // path
        FontResource,         // path (.FOT file), detail (font file)
        Broadcast,            // detail ("fonts" or "settings")
        Program,              // path (command line), detail (folder)
        ShellVerb,            // path (file), name (verb), detail (parameters)
        WebFolder,            // path (the web folder's address): not asked
        RegistryValueRemoved, // path (root\key), name
        RegistryKeyRemoved,   // path (root\key)
        FolderRemoved,        // path
    };
    Kind kind;
    std::string path;
    std::string name;
    std::string detail;
    uint64_t number = 0;
};

class PlanEffects final : public Effects {
  public:
    // reads: where the machine's state is read (DirectEffects for the machine).
    explicit PlanEffects(Effects& reads);
    ~PlanEffects() override;
    PlanEffects(const PlanEffects&) = delete;
    PlanEffects& operator=(const PlanEffects&) = delete;

    const std::vector<PlannedChange>& Changes() const { return changes_; }
    // A web folder the run would ask for its list of files (a plan asks none).
    void NoteWebFolder(const std::string& url);

    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    std::optional<uint32_t> Attributes(const std::string& path) override;
    bool Entry(const std::string& path, plat::DirEntry& entry) override;
    std::optional<std::string> RegistryString(plat::RegRoot root, const std::string& key,
                                              const std::string& name) override;
    bool RegistryKeyExists(plat::RegRoot root, const std::string& key) override;
    std::optional<RegistryValue> ReadRegistryValue(plat::RegRoot root, const std::string& key,
                                                   const std::string& name) override;

    uint32_t CreateFolder(const std::string& path) override;
    std::unique_ptr<PendingFile> BeginFile(const std::string& folder, const std::string& extension,
                                           uint32_t& error) override;
    void RemoveStaleFiles(const std::string& folder) override;
    bool MoveFile(const std::string& from, const std::string& to, bool replace) override;
    bool DeleteFile(const std::string& path) override;
    bool SetAttributes(const std::string& path, uint32_t attributes) override;
    uint32_t SetWriteTime(const std::string& path, plat::FileTime time) override;
    bool CanReplace(const std::string& path) override;

    RegistryWrite SetRegistryString(plat::RegRoot root, const std::string& key,
                                    const std::string& name, const std::string& value) override;
    RegistryWrite SetRegistryDword(plat::RegRoot root, const std::string& key,
                                   const std::string& name, uint32_t value) override;
    uint32_t CreateRegistryKey(plat::RegRoot root, const std::string& key) override;
    uint32_t WriteRegistryValue(plat::RegRoot root, const std::string& key, const std::string& name,
                                const RegistryValue& value) override;
    uint32_t DeleteRegistryValue(plat::RegRoot root, const std::string& key,
                                 const std::string& name) override;
    uint32_t DeleteRegistryKey(plat::RegRoot root, const std::string& key) override;
    bool RemoveFolder(const std::string& path) override;
    bool DeleteFileAtRestart(const std::string& path) override;

    int32_t CreateShortcut(const ShortcutSpec& spec, uint16_t hotKey, std::string& error) override;
    int AddFontResource(const std::string& file) override;
    uint32_t RemoveFontResource(const std::string& file) override;
    uint32_t CreateScalableFontResource(const std::string& fotFile, const std::string& fontFile,
                                        const std::string& folder) override;
    void BroadcastFontChange() override;
    void BroadcastWinIniChange() override;
    bool StartProgram(const std::string& commandLine, const std::string& folder) override;
    bool ShellExecute(const std::string& verb, const std::string& file,
                      const std::string& parameters, uintptr_t owner) override;

    // A file written through a PendingFile of this plan put in dest's place;
    // text: its bytes when they were written whole and are small.
    void CommitFile(const std::string& dest, const plat::DirEntry& written,
                    std::optional<std::string> text);
    // Whether the plan wrote, moved or deleted path; text then holds the
    // bytes it wrote (nullopt for a file that is gone or whose bytes were
    // not kept).
    bool PlannedText(const std::string& path, std::optional<std::string>& text) const;

  private:
    struct FileState {
        bool exists = false;
        plat::DirEntry entry;
        std::optional<std::string> text;
    };
    struct RegValue {
        bool exists = false;
        RegistryValue value;
    };
    // The planned value; nullopt when the plan did not touch it (or its key).
    std::optional<RegValue> PlannedValue(plat::RegRoot root, const std::string& key,
                                         const std::string& name) const;
    // The recorded state of a file; null when the plan did not touch it.
    const FileState* Recorded(const std::string& path) const;
    // A planned file's entry, taken from the machine when the plan has none.
    std::optional<plat::DirEntry> CurrentEntry(const std::string& path);
    // Whether a folder (or one above it) was removed by the plan.
    bool UnderRemovedFolder(const std::string& key) const;
    void Add(PlannedChange::Kind kind, std::string path, std::string detail = {},
             std::string name = {}, uint64_t number = 0);
    void SetFile(const std::string& path, const plat::DirEntry& entry);

    Effects& reads_;
    std::vector<PlannedChange> changes_;
    std::map<std::string, FileState> files_; // by upper-case path
    std::map<std::string, bool> folders_;    // true created, false removed
    std::map<std::string, RegValue> values_; // by root\KEY\NAME, upper case
    std::map<std::string, bool> keys_;       // by root\KEY, upper case
};

// The plan the effects belong to, when they are those of a plan.
PlanEffects* AsPlan(Effects& effects);

} // namespace setup
