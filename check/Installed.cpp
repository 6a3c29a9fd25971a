#include "check/Installed.h"

#include <set>
#include <tuple>

#include "common/Ansi.h"
#include "common/Paths.h"
#include "platform/FileSystem.h"

namespace setup::check {

namespace {

// How deep a " /s" entry's folder tree is searched for a match.
constexpr int kMaxTreeDepth = 64;

bool IsFile(const plat::DirEntry& e) {
    return (e.attributes & plat::kAttrDirectory) == 0;
}

} // namespace

bool InstalledFiles::Pattern::operator<(const Pattern& o) const {
    return std::tie(folder, mask, tree) < std::tie(o.folder, o.mask, o.tree);
}

bool AnyFileMatches(const std::string& folder, const std::string& mask, bool tree, int depth) {
    {
        plat::DirSearch search;
        if (search.first(folder + mask)) {
            do {
                if (IsFile(search.entry())) return true;
            } while (search.next());
        }
    }
    if (!tree || depth >= kMaxTreeDepth) return false;
    plat::DirSearch search;
    if (!search.first(folder + "*")) return false;
    do {
        const plat::DirEntry& e = search.entry();
        if (IsFile(e) || e.name == "." || e.name == "..") continue;
        if (AnyFileMatches(folder + e.name + "\\", mask, true, depth + 1)) return true;
    } while (search.next());
    return false;
}

InstalledFiles IndexInstalled(const script::Model& model, const std::string& dir) {
    InstalledFiles out;
    std::set<InstalledFiles::Pattern> patterns;
    auto add = [&](const std::string& path, bool tree) {
        const std::string upper = AnsiUpperCase(path);
        const std::string mask = ExtractFileName(upper);
        if (!tree && mask.find_first_of("*?") == std::string::npos)
            out.exact.insert(upper);
        else
            patterns.insert({ExtractFilePath(upper), mask, tree});
    };
    std::set<std::string> seen;
    for (const script::Numbered& n : model.Project().parts) {
        const script::PartRecord& other = model.Part(n.value.text);
        if (other.section.empty() || !AnsiSameText(other.copy.dir.text, dir) ||
            !seen.insert(AnsiUpperCase(other.section)).second)
            continue;
        for (const script::CopyEntry& f : other.copy.files) {
            if (f.noCopy.text == "1") continue;
            std::string value = f.file.text;
            if (!value.empty() && value[0] == '|') value.erase(0, 1);
            bool tree = false;
            if (value.size() >= 3 && value.compare(value.size() - 3, 3, " /s") == 0) {
                tree = true;
                value.resize(value.size() - 3);
            }
            if (!f.newName.empty()) value = ExtractFilePath(value) + f.newName.text;
            add(value, tree);
        }
        for (const script::MacroEntry& m : other.copy.macros)
            add(m.newName.Or(m.file.text), false);
        for (const script::Numbered& h : other.copy.holds)
            add(h.value.text, false);
    }
    out.patterns.assign(patterns.begin(), patterns.end());
    return out;
}

} // namespace setup::check
