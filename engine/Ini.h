// TIni: reader and writer of INI-style files (the installation script,
// Deinst.ins). Holds the whole file in memory as sections of TSection_i;
// section and key names are compared without regard to case, and an empty
// value counts as missing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

// The lines of one section in file order. Comments and lines without "=" are
// keyless entries whose value is the whole line.
class TSection_i {
  public:
    struct Entry {
        std::string key;   // trimmed of blanks, at most 254 characters; empty when keyless
        std::string value; // never holds a NUL byte
    };

    // Parses and appends one line: ";" comments and lines without "=" become
    // keyless entries; "key=" (empty value) is dropped; a value between single
    // quotes loses them.
    void AddLine(std::string_view line);
    // Index of the first entry whose key equals key without regard to case;
    // -1 when there is none. An empty key never matches.
    int Find(std::string_view key) const;

    int Count() const { return static_cast<int>(entries_.size()); }
    const Entry& operator[](int index) const { return entries_[static_cast<size_t>(index)]; }
    void Append(std::string key, std::string value);
    void SetValue(int index, std::string value) {
        entries_[static_cast<size_t>(index)].value = std::move(value);
    }
    void Delete(int index) { entries_.erase(entries_.begin() + index); }
    void Clear() { entries_.clear(); }

  private:
    std::vector<Entry> entries_;
};

class TIni {
  public:
    // Stores the name and, when it is not empty and the file exists, loads it.
    // A missing or unreadable file gives an empty reader.
    explicit TIni(std::string fileName);
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
    // Adds, replaces or (with an empty value) removes the first entry of key.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    const std::string& FileName() const { return fileName_; }
    bool Modified() const { return modified_; }
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
    // Index of the section of that name (without regard to case); -1 when missing.
    int FindSection(std::string_view name) const;

  private:
    struct NamedSection {
        std::string name;
        std::unique_ptr<TSection_i> section;
    };

    // Index where name is or would be inserted; found tells which.
    size_t LowerBound(std::string_view name, bool& found) const;
    TSection_i& FindOrAddSection(std::string_view name);
    void SaveIfStale();

    std::string fileName_;
    std::vector<NamedSection> sections_;
    int32_t fileAgeStamp_ = 0;
    bool modified_ = false;
};

} // namespace setup
