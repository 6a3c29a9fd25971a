#include "common/FileLists.h"

#include "common/Effects.h"

#include <algorithm>

#include "common/Ansi.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "platform/FileSystem.h"

namespace setup {

namespace {

constexpr uint32_t kAttrVolume = 0x08;

// The toolkit's FindFirst filter: hidden, system, volume and folder entries
// are returned only when their bits are among the allowed ones.
bool AttributesAllowed(uint32_t attributes, uint32_t allowed) {
    const uint32_t excluded =
        ~allowed & (plat::kAttrHidden | plat::kAttrSystem | kAttrVolume | plat::kAttrDirectory);
    return (attributes & excluded) == 0;
}

bool IsDotEntry(const std::string& name) {
    return name == "." || name == "..";
}

// Every entry of a search that passes the attribute filter.
std::vector<plat::DirEntry> Search(const std::string& pattern, uint32_t allowed) {
    std::vector<plat::DirEntry> found;
    plat::DirSearch search;
    if (!search.first(pattern)) return found;
    do {
        const plat::DirEntry& e = search.entry();
        if (!IsDotEntry(e.name) && AttributesAllowed(e.attributes, allowed)) found.push_back(e);
    } while (search.next());
    return found;
}

} // namespace

void TFileList::Add(std::string name, std::optional<TFileInf> info) {
    entries_.push_back({std::move(name), info});
    sorted_ = false;
}

void TFileList::Sort() {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const FileListEntry& a, const FileListEntry& b) {
                         return AnsiCompareText(a.name, b.name) < 0;
                     });
    sorted_ = true;
}

std::optional<size_t> TFileList::IndexOf(const std::string& name) const {
    if (sorted_) {
        const auto it = std::lower_bound(entries_.begin(), entries_.end(), name,
                                         [](const FileListEntry& e, const std::string& n) {
                                             return AnsiCompareText(e.name, n) < 0;
                                         });
        if (it != entries_.end() && AnsiCompareText(it->name, name) == 0)
            return static_cast<size_t>(it - entries_.begin());
        return std::nullopt;
    }
    for (size_t i = 0; i < entries_.size(); ++i)
        if (AnsiCompareText(entries_[i].name, name) == 0) return i;
    return std::nullopt;
}

void TFileList::Delete(size_t i) {
    if (i < entries_.size()) entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(i));
}

void TFileList::Clear() {
    entries_.clear();
    sorted_ = false;
}

void ListFiles(const std::string& mask, const std::string& prefix, TFileList& list,
               int32_t newerThan, bool withInfo, bool upperCase) {
    for (const plat::DirEntry& e : Search(mask, plat::kAttrReadOnly | plat::kAttrHidden |
                                                    plat::kAttrArchive | plat::kAttrNormal)) {
        const int32_t stamp = FileTimeToDosDate(e.writeTime);
        if (stamp <= newerThan) continue;
        std::string name = prefix + e.name;
        if (upperCase) name = AnsiUpperCase(name);
        if (withInfo)
            list.Add(std::move(name), TFileInf{stamp, e.size});
        else
            list.Add(std::move(name));
    }
}

TFileList CreateFileList(const std::string& mask, bool upperCase, bool withInfo) {
    TFileList list;
    ListFiles(mask, "", list, 0, withInfo, upperCase);
    list.Sort();
    return list;
}

void ListSubfolders(const std::string& mask, const std::string& prefix, TFileList& list) {
    for (const plat::DirEntry& e : Search(mask, plat::kAttrDirectory))
        if ((e.attributes & plat::kAttrDirectory) != 0 && !e.name.empty() && e.name[0] != '.')
            list.Add(prefix + e.name);
}

TFileList CreateSubfolderList(const std::string& folder) {
    TFileList list;
    ListSubfolders(folder + "*.*", "", list);
    list.Sort();
    return list;
}

int DeleteMatchingFiles(Effects& effects, const std::string& folder, const std::string& mask,
                        bool clearReadOnly, int32_t dateLimit) {
    // The matches are collected first so that deleting does not disturb the search.
    const std::string pattern = AddBackslash(folder) + mask;
    const std::string dir = pattern.substr(0, pattern.rfind('\\') + 1);
    const std::vector<plat::DirEntry> found =
        Search(pattern, plat::kAttrReadOnly | plat::kAttrHidden | plat::kAttrSystem |
                            plat::kAttrArchive | plat::kAttrNormal);
    if (found.empty()) return 1;
    for (const plat::DirEntry& e : found) {
        if (AbortRequested) return 2;
        const std::string path = dir + e.name;
        if (clearReadOnly && (e.attributes & plat::kAttrReadOnly) != 0) {
            const uint32_t rest = e.attributes & ~plat::kAttrReadOnly;
            effects.SetAttributes(path, rest != 0 ? rest : plat::kAttrNormal);
        }
        if (FileTimeToDosDate(e.writeTime) > dateLimit) continue;
        if (effects.DeleteFile(path)) log::Line("DELETE", {path});
    }
    return 0;
}

} // namespace setup
