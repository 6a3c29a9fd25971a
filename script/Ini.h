// TIni: reader and writer of INI-style files (the installation script,
// Deinst.ins). Holds the whole file in memory as sections of TSection_i;
// section and key names are compared without regard to case, and an empty
// value counts as missing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

class Effects;

// The lines of one section in file order. Comments and lines without "=" are
// keyless entries whose value is the whole line. Keys and values live in one
// text block per section, so that loading a large script costs few allocations.
class TSection_i {
  public:
    // Parses and appends one line: ";" comments and lines without "=" become
    // keyless entries; "key=" (empty value) is dropped; a value between single
    // quotes loses them. A NUL byte ends the line. lineNumber: where the line
    // stands in its file (1 for the first), 0 when it came from no file.
    void AddLine(std::string_view line, uint32_t lineNumber = 0);
    // Index of the first entry whose key equals key without regard to case;
    // -1 when there is none. An empty key never matches.
    int Find(std::string_view key) const;

    int Count() const { return static_cast<int>(entries_.size()); }
    // Trimmed of blanks, at most 254 characters; empty for a keyless entry.
    std::string_view Key(int index) const {
        const Entry& e = entries_[static_cast<size_t>(index)];
        return std::string_view(text_).substr(e.keyOffset, e.keyLength);
    }
    // Never holds a NUL byte. Valid until the section is next changed.
    std::string_view Value(int index) const {
        const Entry& e = entries_[static_cast<size_t>(index)];
        return std::string_view(text_).substr(e.valueOffset, e.valueLength);
    }
    // The file line of the entry (see AddLine); 0 for an entry added later.
    uint32_t Line(int index) const { return entries_[static_cast<size_t>(index)].line; }
    void Append(std::string_view key, std::string_view value);
    void SetValue(int index, std::string_view value);
    void Delete(int index) {
        entries_.erase(entries_.begin() + index);
        DropIndex(); // the indexes behind it moved: built again when needed
    }
    void Clear() {
        entries_.clear();
        text_.clear();
        DropIndex();
    }

  private:
    struct Entry {
        size_t keyOffset;
        size_t valueOffset;
        uint32_t keyLength;
        uint32_t valueLength;
        uint32_t line;
    };
    size_t Store(std::string_view text);
    // value without NUL
    void AppendPlain(std::string_view key, std::string_view value, uint32_t line = 0);
    void DropIndex() {
        byKey_.clear();
        indexedKeys_ = 0;
        indexed_ = false;
    }

    std::vector<Entry> entries_;
    std::string text_; // the keys and values the entries point into
    // Adds entry index to the key index unless its key is there already.
    void IndexEntry(int index) const;

    // Key -> index of its first entry, for sections too long to search from
    // the start at every lookup (a script of 100,000 File# keys, a Deinst.ins
    // of 200,000 folders): an open-addressing table of entry indexes (-1 for a
    // free slot), hashed without regard to case, at most half full. Empty
    // until such a lookup.
    mutable std::vector<int> byKey_;
    mutable size_t indexedKeys_ = 0;
    mutable bool indexed_ = false;
};

// What a reader is for. A script is read by the rules of the format: lines
// end at CR (with an LF after it), at most 498 characters of a line count.
// A record file (Deinst.ins) is the program's own: lines end at CR, CR LF or
// LF alone, and a line is read whole, so that it reads back what was written.
enum class IniKind { Script, Record };

// The section of a record file that its writer appends to line by line while
// a run goes on (files/InstallRecord.h). A last line of the file without a
// line end may have been cut short there: a record reader leaves it out.
inline constexpr std::string_view kJournalSection = "Installed";

// A value as ReadString gives it (empty when the key is missing) with the
// line of the file it stands on (0 when missing).
struct IniValue {
    std::string text;
    uint32_t line = 0;
};

// The number and yes/no readings of a value text, as ReadInteger and
// ReadBool take them: an empty text gives defaultValue.
int32_t IniInteger(std::string_view text, int32_t defaultValue);
// Blanks, an optional sign, then "$", "x", "X", "0x", "0X" and hexadecimal
// digits or else decimal digits, up to the end, within the 32-bit signed
// range: the number; nullopt for anything else (ReadInteger reads it as 0).
std::optional<int32_t> ScriptInteger(std::string_view text);
// Whether ReadInteger reads text as the number it shows.
bool IsScriptNumber(std::string_view text);
bool IniBool(std::string_view text, bool defaultValue);

class TIni {
  public:
    // Stores the name and, when it is not empty and the file exists, loads it.
    // A missing or unreadable file gives an empty reader.
    explicit TIni(std::string fileName, IniKind kind = IniKind::Script);
    // Saves when Modified. A failing save cannot be raised from here: its
    // message is shown with PlainMessage (and thereby logged). Owners that
    // need the error as an exception call SaveFile themselves first.
    ~TIni();
    TIni(const TIni&) = delete;
    TIni& operator=(const TIni&) = delete;

    // Releases all sections and reads the file again.
    void LoadFile();
    // Writes all sections to FileName (nothing when it is empty). The file is
    // written beside the old one under a temporary name and replaces it only
    // when complete. Raises the stream's SetupError on failure; then the old
    // file is unchanged and Modified stays set.
    void SaveFile();

    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& defaultValue);
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue);
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue);
    // ReadString with the value's line; never saves (see ReadString).
    IniValue ReadValue(std::string_view section, std::string_view key) const;
    // Adds, replaces or (with an empty value) removes the first entry of key.
    // A key or value that would read back as something else (see
    // WritableKey; a value holding CR or LF) is refused: false, nothing changes.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    // The section of that name (added when missing) for changes the caller
    // makes entry by entry; they count as a modification.
    TSection_i& EditSection(std::string_view name);
    // Appends an entry that is on the disk already (its writer appended the
    // line to the file): later saves keep it; Modified stays as it is.
    void AddSavedEntry(std::string_view section, std::string_view key, std::string_view value);
    // Called before a save writes the file (true) and after it (false, also
    // when it failed), so that a writer appending to the file itself can let
    // go of it meanwhile.
    std::function<void(bool before)> OnSave;
    // Whether key=... written to the file reads back as this key: not empty,
    // at most 254 characters, no "=", CR or LF, no leading "[" (a section
    // header) or ";" (a comment), no blank at either end.
    static bool WritableKey(std::string_view key);
    // False when the file exists but could not be read whole (a record file
    // that cannot be opened, is too large or was cut short): SaveFile then
    // refuses to write over the records it could not read.
    bool ReadComplete() const { return readComplete_; }

    const std::string& FileName() const { return fileName_; }
    // Why the last load read nothing although the file exists: a file with a
    // byte-order mark whose text has no Windows-1252 form ("Zeile 3: ...",
    // see ConvertScriptText) or is too large. Empty otherwise.
    const std::string& LoadError() const { return loadError_; }
    bool Modified() const { return modified_; }
    // Saves through effects (the run's) instead of writing the file directly.
    void SaveThrough(Effects* effects) { effects_ = effects; }
    // Packed DOS date-time of the file when last read or written; 0 before.
    int32_t FileAgeStamp() const { return fileAgeStamp_; }

    // The sections in case-insensitive alphabetical order (the empty name first).
    int SectionCount() const { return static_cast<int>(sections_.size()); }
    const std::string& SectionName(int index) const {
        return sections_[static_cast<size_t>(index)].name;
    }
    const TSection_i& Section(int index) const {
        return *sections_[static_cast<size_t>(index)].section;
    }
    // The line of the section's first header in the file (0 for the lines
    // before the first header and for a section added by WriteString).
    uint32_t SectionLine(int index) const { return sections_[static_cast<size_t>(index)].line; }
    // Index of the section of that name (without regard to case); -1 when missing.
    int FindSection(std::string_view name) const;

  private:
    struct NamedSection {
        std::string name;
        std::unique_ptr<TSection_i> section;
        uint32_t line = 0;
    };

    // Index where name is or would be inserted; found tells which.
    size_t LowerBound(std::string_view name, bool& found) const;
    TSection_i& FindOrAddSection(std::string_view name);
    void SaveIfStale();
    void LoadRecordFile();
    // Builds the sections from the lines nextLine gives until it returns false.
    void LoadLines(const std::function<bool(std::string_view&)>& nextLine);
    // The text of the file, piece by piece.
    void WriteSections(const std::function<void(std::string_view)>& out) const;

    std::string fileName_;
    IniKind kind_;
    bool readComplete_ = true;
    std::string loadError_;
    std::vector<NamedSection> sections_;
    int32_t fileAgeStamp_ = 0;
    bool modified_ = false;
    Effects* effects_ = nullptr;
};

} // namespace setup
