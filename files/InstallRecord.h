// The record of what installation runs did, the [Installed] section of
// Deinst.ins: a journal of lines KIND=FIELDS in the order things happened,
// fields separated by "|". Paths are written as the run used them (a path
// holding "|" is not recorded); registry keys, value names, data and font
// names are escaped ("%" "|" CR LF as %25 %7C %0D %0A) so that any value
// reads back as it was.
//
// Kinds: Folder (a created folder, with a backslash), File (path, size,
// write time of a copied or downloaded file), Link (a shortcut), Key (a
// created registry key), Value (a registry value before it was written: what
// it replaced), Font (a font file with its registered name).
//
// RecordJournal appends the lines while a run goes on, each with one write,
// so that a kill at any moment leaves whole lines behind.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <variant>
#include <vector>

#include "common/Effects.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "script/Ini.h"

namespace setup::record {

struct FolderLine {
    std::string path; // ends with a backslash
    bool operator==(const FolderLine&) const = default;
};
struct FileLine {
    std::string path;
    uint64_t size = 0;
    plat::FileTime writeTime = 0;
    bool operator==(const FileLine&) const = default;
};
struct LinkLine {
    std::string path;
    bool operator==(const LinkLine&) const = default;
};
struct KeyLine {
    plat::RegRoot root = plat::RegRoot::LocalMachine;
    std::string key;
    bool operator==(const KeyLine&) const = default;
};
struct ValueLine {
    plat::RegRoot root = plat::RegRoot::LocalMachine;
    std::string key;
    std::string name; // empty: the key's default value
    // What the value was before it was written; nullopt: there was none.
    std::optional<RegistryValue> old;
    bool operator==(const ValueLine&) const = default;
};
struct FontLine {
    std::string path;
    std::string name;
    bool operator==(const FontLine&) const = default;
};

using Line = std::variant<FolderLine, FileLine, LinkLine, KeyLine, ValueLine, FontLine>;

// A line as key (the kind) and value (the fields) of the section.
struct Entry {
    std::string kind;
    std::string fields;
};

// "%" "|" CR LF as %25 %7C %0D %0A, nothing else.
std::string Escape(std::string_view text);
// nullopt for a "%" that starts none of the four escapes.
std::optional<std::string> Unescape(std::string_view text);

// The entry of line; nullopt when a path holds "|" (it could not be read back).
std::optional<Entry> Format(const Line& line);
// The line of an entry; nullopt for an entry that is no record line (an
// unknown kind, a field missing or malformed).
std::optional<Line> Parse(std::string_view kind, std::string_view fields);

// The record lines of every [Installed] section of record in file order;
// entries that are no record line are left out.
std::vector<Line> ReadLines(const TIni& record);

// Drops repeated lines of the [Installed] section (see the implementation);
// true when it dropped any.
bool Compact(TIni& record);

// Appends record lines to the record file while a run goes on. The lines also
// go into the record's [Installed] section in memory, so that a save of the
// record (its other sections) keeps them; around such a save the journal lets
// go of the file and appends to the new one afterwards. Appends are
// serialised with each other and with saves of the record; the record's other
// sections are changed by one thread at a time.
class RecordJournal {
  public:
    // record: loaded whole (ReadComplete). The file is compacted and written
    // again first when it holds journal lines; Open raises the save's error.
    explicit RecordJournal(TIni& record);
    ~RecordJournal();
    RecordJournal(const RecordJournal&) = delete;
    RecordJournal& operator=(const RecordJournal&) = delete;

    // Writes line to the file (nothing for a line Format refuses).
    void Append(const Line& line);
    // Whether a File line for path (without regard to case) is in the record.
    bool HasFile(const std::string& path) const;
    // Puts the lines appended so far on the disk.
    void Sync();
    // Lines that could not be written (the file could not be opened or written).
    uint64_t Failures() const;

  private:
    void OpenFile();
    void CloseFile();

    TIni& record_;
    mutable std::mutex mutex_;
    plat::File file_;
    uint64_t unsynced_ = 0;
    uint64_t failures_ = 0;
    std::chrono::steady_clock::time_point lastSync_;
    std::unordered_set<std::string> files_; // upper-case paths of File lines
};

} // namespace setup::record
