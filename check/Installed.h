// What a script installs and what the disk has, as the checker compares
// them: the files the parts of one folder install, and whether a mask of a
// source folder matches a file.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "script/Script.h"

namespace setup::check {

// What the parts of one folder (one Dir) install: exact paths, and masks
// with the folder they apply in (and below, for " /s" entries); upper case.
struct InstalledFiles {
    struct Pattern {
        std::string folder, mask;
        bool tree;
        bool operator<(const Pattern& o) const;
    };
    std::unordered_set<std::string> exact;
    std::vector<Pattern> patterns;
};

InstalledFiles IndexInstalled(const script::Model& model, const std::string& dir);

// Whether a file of folder (with its trailing backslash) matches mask, in
// the folder itself or, with tree, in any folder below it.
bool AnyFileMatches(const std::string& folder, const std::string& mask, bool tree, int depth = 0);

} // namespace setup::check
