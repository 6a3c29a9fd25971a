// The record of the installations into a folder (Deinst.ins) as the
// uninstaller reads it: the journal of [Installed] in file order, the
// created folders of [Pathes], the fonts of [Fonts] and the earlier
// associations of [Extensions] (records written before the journal).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Effects.h"
#include "platform/Registry.h"

namespace setup {

struct JournalLine {
    enum class Kind { Folder, File, Link, Key, Value, Font };
    Kind kind = Kind::Folder;
    std::string path; // Folder, File, Link, Font: the file or folder
    uint64_t size = 0;
    plat::FileTime writeTime = 0;
    plat::RegRoot root = plat::RegRoot::LocalMachine; // Key, Value
    std::string key;
    std::string name;                    // Value: the value name; Font: the registered name
    std::optional<RegistryValue> before; // Value: what it replaced; none when there was nothing
};

struct UninstallRecord {
    std::vector<JournalLine> journal;
    std::vector<std::string> pathes;                               // [Pathes] P#
    std::vector<std::string> fonts;                                // [Fonts] FO#
    std::vector<std::pair<std::string, std::string>> associations; // [Extensions]
};

// Reads file (a Deinst.ins). nullopt with a message (German, naming the file
// and, where it can, the line) when it is missing or not a record: then
// nothing may be undone from it. A last journal line cut short by a killed
// run (no line end after it) is left out.
std::optional<UninstallRecord> ReadUninstallRecord(const std::string& file, std::string& problem);

// One journal line's text after "KIND=" (see the record's format); nullopt
// when it is not of that form.
std::optional<JournalLine> ParseJournalLine(const std::string& kind, const std::string& fields);

} // namespace setup
