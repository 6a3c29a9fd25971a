// Uninstalling from the record: the journal walked from its last line to its
// first, so that each change is undone after the ones that came after it
// (a value before the key it lies in, a file before its folder), and the
// earliest replaced value of a registry value is the one that stays.
#include "engine/Uninstall.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "common/Ansi.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "engine/UninstallRecord.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/System.h"

namespace setup {

namespace {

using Kind = JournalLine::Kind;

constexpr int kQuietRetries = 3;
constexpr uint32_t kRetryPauseMs = 250;
// Retry answers that come from no person (an answers rule used again and
// again) end in Ignore after this many, so that nothing waits for ever.
constexpr int kScriptedRetries = 20;

std::string WithoutBackslash(std::string path) {
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

std::string HexBytes(const std::string& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0x0F];
    }
    return out;
}

// A value as the log shows it: text, a DWORD in decimal, other kinds in hex.
std::string ValueText(const RegistryValue& value) {
    if (value.type == plat::RegType::String || value.type == plat::RegType::ExpandString)
        return value.data;
    if (value.type == plat::RegType::Dword && value.data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = number * 256 + static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
        return std::to_string(number);
    }
    return HexBytes(value.data);
}

std::string RegistryPath(plat::RegRoot root, const std::string& key, const std::string& name) {
    return std::string(plat::regRootName(root)) + "\\" + key + "\\" + name;
}

class Undo {
  public:
    Undo(Effects& effects, const UninstallOptions& options, UninstallResult& result)
        : fx_(effects), options_(options), result_(result) {}

    void Run(const UninstallRecord& record, const std::string& recordFile) {
        RemoveStaleFiles(record);
        const std::vector<JournalLine>& journal = record.journal;
        // Of several lines for one file the last counts; of several for one
        // registry value the first (the value from before the first run).
        std::unordered_map<std::string, size_t> lastFileLine;
        std::unordered_map<std::string, size_t> firstValueLine;
        std::set<std::string> filesWithLine;
        bool hasValueLines = false;
        for (size_t i = 0; i < journal.size(); ++i) {
            const JournalLine& line = journal[i];
            if (line.kind == Kind::File) {
                lastFileLine[AnsiUpperCase(line.path)] = i;
                filesWithLine.insert(AnsiUpperCase(line.path));
            } else if (line.kind == Kind::Value) {
                firstValueLine.try_emplace(ValueIdentity(line), i);
                hasValueLines = true;
            }
        }
        bool fontsChanged = false;
        for (size_t i = journal.size(); i-- > 0;) {
            const JournalLine& line = journal[i];
            switch (line.kind) {
            case Kind::File:
                if (lastFileLine[AnsiUpperCase(line.path)] == i) UndoFile(line);
                break;
            case Kind::Link:
                RemoveFile(line.path);
                break;
            case Kind::Value:
                if (firstValueLine[ValueIdentity(line)] == i) UndoValue(line);
                break;
            case Kind::Key:
                RemoveKey(line.root, line.key);
                break;
            case Kind::Font:
                fx_.RemoveFontResource(line.path);
                if (!filesWithLine.contains(AnsiUpperCase(line.path))) RemoveFile(line.path);
                fontsChanged = true;
                break;
            case Kind::Folder:
                folders_.push_back(line.path);
                break;
            }
        }
        // Records written before the journal: their fonts and associations.
        if (journal.empty())
            for (const std::string& font : record.fonts)
                fontsChanged = UndoOlderFont(font) || fontsChanged;
        if (!hasValueLines)
            for (const auto& [extension, command] : record.associations)
                PutBack(plat::RegRoot::ClassesRoot, "." + extension + "\\shell\\open\\command", "",
                        RegistryValue{plat::RegType::String, command});
        if (fontsChanged) fx_.BroadcastFontChange();

        folders_.insert(folders_.end(), record.pathes.begin(), record.pathes.end());
        if (result_.kept.empty()) {
            if (fx_.DeleteFile(recordFile))
                log::Line("DELETE", {recordFile});
            else if (fx_.FileExists(recordFile))
                Keep(recordFile);
        }
        RemoveFolders();
    }

  private:
    static std::string ValueIdentity(const JournalLine& line) {
        return AnsiUpperCase(RegistryPath(line.root, line.key, "") + "|" + line.name);
    }

    void Keep(const std::string& what) {
        result_.kept.push_back(what);
        plat::writeConsole("Nicht entfernt: " + what + "\n", true);
    }

    // The temporary files of a copy that was killed, in every recorded folder.
    void RemoveStaleFiles(const UninstallRecord& record) {
        std::set<std::string> done;
        const auto clean = [&](const std::string& folder) {
            const std::string withSlash = AddBackslash(WithoutBackslash(folder));
            if (done.insert(AnsiUpperCase(withSlash)).second && fx_.FolderExists(withSlash))
                fx_.RemoveStaleFiles(withSlash);
        };
        for (const JournalLine& line : record.journal) {
            if (line.kind == Kind::Folder) clean(line.path);
            if (line.kind == Kind::File) clean(ExtractFilePath(line.path));
        }
        for (const std::string& folder : record.pathes)
            clean(folder);
    }

    void UndoFile(const JournalLine& line) {
        plat::DirEntry entry;
        if (!fx_.Entry(line.path, entry)) return; // gone already
        if (entry.size != line.size || entry.writeTime != line.writeTime) {
            // Changed since it was installed: the user's now.
            log::Line("FILE", {"2", line.path});
            Keep(line.path);
            return;
        }
        RemoveFile(line.path);
    }

    // Removes a file; one held open by a running program is tried again,
    // then the person is asked, then it is left for Windows' next restart.
    void RemoveFile(const std::string& path) {
        int asked = 0;
        for (int attempt = 0;; ++attempt) {
            if (fx_.DeleteFile(path)) {
                log::Line("DELETE", {path});
                return;
            }
            if (!fx_.FileExists(path)) return;
            if (const std::optional<uint32_t> attributes = fx_.Attributes(path);
                attributes && (*attributes & plat::kAttrReadOnly) != 0 &&
                fx_.SetAttributes(path, *attributes & ~plat::kAttrReadOnly))
                continue;
            if (MoveAside(path)) return;
            if (attempt < kQuietRetries) {
                plat::sleepMs(kRetryPauseMs);
                continue;
            }
            const int answer = AskRetryIgnore("Die Datei\r\n" + path +
                                              "\r\nwird von einer laufenden Anwendung\r\n"
                                              "benutzt und kann nicht entfernt werden.");
            if (answer == IdRetry &&
                (LastAnswerSource() == AnswerSource::User || ++asked < kScriptedRetries)) {
                attempt = 0;
                continue;
            }
            if (fx_.DeleteFileAtRestart(path)) {
                result_.atRestart.push_back(path);
                plat::writeConsole("Wird beim n\xE4"
                                   "chsten Neustart entfernt: " +
                                       path + "\n",
                                   true);
                return;
            }
            Keep(path);
            return;
        }
    }

    void UndoValue(const JournalLine& line) {
        if (line.before) {
            PutBack(line.root, line.key, line.name, *line.before);
            return;
        }
        const uint32_t error = fx_.DeleteRegistryValue(line.root, line.key, line.name);
        if (error == 0)
            log::Line("UNREG", {plat::regRootName(line.root), line.key, line.name});
        else if (error != plat::kErrFileNotFound)
            Keep(RegistryPath(line.root, line.key, line.name));
    }

    void PutBack(plat::RegRoot root, const std::string& key, const std::string& name,
                 const RegistryValue& value) {
        if (fx_.WriteRegistryValue(root, key, name, value) == 0)
            log::Line("RESTORE", {RegistryPath(root, key, name), ValueText(value)});
        else
            Keep(RegistryPath(root, key, name));
    }

    // A created key goes when nothing else put anything into it.
    void RemoveKey(plat::RegRoot root, const std::string& key) {
        if (fx_.DeleteRegistryKey(root, key) == 0)
            log::Line("UNREG", {plat::regRootName(root), key, ""});
    }

    // A font of [Fonts] (FO#): its registered file, unregistered and removed.
    bool UndoOlderFont(const std::string& fontName) {
        bool changed = false;
        const std::string valueName = fontName + " (TrueType)";
        const std::string fonts = AddBackslash(WindowsFolder()) + "Fonts\\";
        for (const char* key : {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                                "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts"}) {
            const std::optional<std::string> file =
                fx_.RegistryString(plat::RegRoot::LocalMachine, key, valueName);
            if (!file || file->empty()) continue;
            const std::string path = file->find('\\') == std::string::npos ? fonts + *file : *file;
            fx_.RemoveFontResource(path);
            RemoveFile(path);
            if (fx_.DeleteRegistryValue(plat::RegRoot::LocalMachine, key, valueName) == 0)
                log::Line("UNREG",
                          {plat::regRootName(plat::RegRoot::LocalMachine), key, valueName});
            changed = true;
        }
        const std::string fot = fonts + fontName + ".FOT";
        if (fx_.FileExists(fot)) {
            fx_.RemoveFontResource(fot);
            RemoveFile(fot);
            changed = true;
        }
        return changed;
    }

    // The recorded folders that are empty now, deepest first. A folder that
    // holds a file left for the restart is left for the restart too.
    void RemoveFolders() {
        std::vector<std::string> folders;
        std::set<std::string> seen;
        for (const std::string& folder : folders_) {
            std::string path = WithoutBackslash(folder);
            if (path.size() <= 3) continue; // a drive's root stays
            if (seen.insert(AnsiUpperCase(path)).second) folders.push_back(path);
        }
        const auto depth = [](const std::string& path) {
            return std::count(path.begin(), path.end(), '\\');
        };
        std::stable_sort(folders.begin(), folders.end(), [&](const auto& a, const auto& b) {
            return depth(a) != depth(b) ? depth(a) > depth(b) : a.size() > b.size();
        });
        for (const std::string& folder : folders) {
            if (fx_.RemoveFolder(folder)) {
                log::Line("DELETE", {AddBackslash(folder)});
                continue;
            }
            const std::string prefix = AnsiUpperCase(AddBackslash(folder));
            const bool holdsLeftOver = std::any_of(
                result_.atRestart.begin(), result_.atRestart.end(),
                [&](const std::string& file) { return AnsiUpperCase(file).starts_with(prefix); });
            if (holdsLeftOver && fx_.DeleteFileAtRestart(folder))
                result_.atRestart.push_back(AddBackslash(folder));
        }
    }

    // The waiting program's file cannot be removed, but moved out of the way.
    bool MoveAside(const std::string& path) {
        if (options_.waitingProgram.empty() || options_.asideFolder.empty() ||
            !AnsiSameText(path, options_.waitingProgram))
            return false;
        const std::string aside = AddBackslash(options_.asideFolder) + "~" + ExtractFileName(path);
        fx_.DeleteFile(aside);
        if (!fx_.MoveFile(path, aside, false)) return false;
        fx_.DeleteFileAtRestart(aside);
        log::Line("DELETE", {path});
        return true;
    }

    Effects& fx_;
    const UninstallOptions& options_;
    UninstallResult& result_;
    std::vector<std::string> folders_;
};

} // namespace

std::string UninstallRecordFile(const std::string& folder) {
    return AddBackslash(WithoutBackslash(folder)) + "Deinst.ins";
}

UninstallResult Uninstall(Effects& effects, const std::string& folder,
                          const UninstallOptions& options) {
    UninstallResult result;
    const std::string recordFile = UninstallRecordFile(folder);
    std::optional<UninstallRecord> record;
    if (effects.FileExists(recordFile))
        record = ReadUninstallRecord(recordFile, result.problem);
    else
        result.problem = "Keine Deinstallationsdaten gefunden:\r\n" + recordFile;
    if (!record) {
        result.status = 2;
        return result;
    }
    if (AskYesNo(ActiveForm, "Die Installation in\r\n" + AddBackslash(WithoutBackslash(folder)) +
                                 "\r\nmit allen installierten Dateien und Einstellungen "
                                 "entfernen?") != IdYes) {
        result.status = 1;
        return result;
    }
    Undo(effects, options, result).Run(*record, recordFile);
    result.status = result.kept.empty() ? 0 : 3;
    return result;
}

std::string UninstallReport(const UninstallResult& result) {
    std::string text = result.kept.empty() ? "Die Installation wurde entfernt."
                                           : "Die Installation wurde entfernt bis auf:";
    for (const std::string& kept : result.kept)
        text += "\r\n" + kept;
    if (!result.atRestart.empty()) {
        text += "\r\n\r\nBeim n\xE4"
                "chsten Neustart von Windows werden entfernt:";
        for (const std::string& file : result.atRestart)
            text += "\r\n" + file;
    }
    return text;
}

} // namespace setup
