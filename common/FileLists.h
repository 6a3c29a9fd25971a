// File and folder listings: a string list of names, each with an optional
// TFileInf, sorted case-insensitively (AnsiCompareText).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/FileInfo.h"

namespace setup {

class Effects;

struct FileListEntry {
    std::string name;
    std::optional<TFileInf> info;
};

class TFileList {
  public:
    void Add(std::string name, std::optional<TFileInf> info = std::nullopt);
    // Sorts by AnsiCompareText; keeps equal names in insertion order.
    void Sort();
    bool Sorted() const { return sorted_; }
    size_t Count() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    const FileListEntry& operator[](size_t i) const { return entries_[i]; }
    FileListEntry& operator[](size_t i) { return entries_[i]; }
    // Index of a name (AnsiCompareText); binary search when sorted. nullopt
    // when it is not there.
    std::optional<size_t> IndexOf(const std::string& name) const;
    void Delete(size_t i);
    void Clear();
    std::vector<FileListEntry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<FileListEntry>::const_iterator end() const { return entries_.end(); }

  private:
    std::vector<FileListEntry> entries_;
    bool sorted_ = false;
};

// Adds prefix + name for each file matching mask (normal, read-only, hidden,
// archive; not folders or system files) whose DOS date-time is greater than
// newerThan; upper-cased when asked; with the date and size when withInfo.
void ListFiles(const std::string& mask, const std::string& prefix, TFileList& list,
               int32_t newerThan, bool withInfo, bool upperCase);
// A sorted list of ListFiles(mask, "", ..., 0, ...).
TFileList CreateFileList(const std::string& mask, bool upperCase, bool withInfo);
// Adds prefix + name for each folder matching mask whose name does not begin
// with ".".
void ListSubfolders(const std::string& mask, const std::string& prefix, TFileList& list);
// The sorted sub-folders of folder.
TFileList CreateSubfolderList(const std::string& folder);
// Deletes the files AddBackslash(folder) + mask not newer than dateLimit
// (newer ones stay); clears read-only first when asked. 1 = no match,
// 2 = stopped by AbortRequested, 0 = done.
int DeleteMatchingFiles(Effects& effects, const std::string& folder, const std::string& mask,
                        bool clearReadOnly, int32_t dateLimit);

} // namespace setup
