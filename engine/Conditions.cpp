// Whether a part applies: the Windows-version test, the condition question
// of a part, the sub-project of a part, and the disk space test of a run.
#include "engine/ScriptInstall.h"
#include "engine/Steps.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/Ansi.h"
#include "common/Messages.h"
#include "common/PathNormal.h"
#include "common/ScriptEncoding.h"
#include "common/Text.h"
#include "common/WinInfo.h"
#include "platform/FileSystem.h"

namespace setup {

namespace {

// Condition files are short questions; more than this is not read.
constexpr uint64_t kMaxConditionFileSize = 1024 * 1024;
constexpr size_t kMaxConditionLine = 255;

// The file's bytes; nullopt when it cannot be read.
std::optional<std::string> ReadSmallFile(const std::string& path) {
    // A device, pipe or socket would be read forever or wait for a writer.
    if (!plat::isRegularFile(path)) return std::nullopt;
    plat::File file;
    if (!file.open(path, plat::OpenMode::Read)) return std::nullopt;
    std::string bytes;
    char buffer[8192];
    for (;;) {
        const int64_t n = file.read(buffer, sizeof buffer);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
        if (bytes.size() > kMaxConditionFileSize) {
            bytes.resize(kMaxConditionFileSize);
            break;
        }
    }
    return bytes;
}

// Lines ending at CR LF, CR or LF.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\r' || ch == '\n') {
            lines.push_back(line);
            line.clear();
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += ch;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// Sub-projects nest no deeper than this.
constexpr size_t kMaxSubProjectDepth = 16;

// The scripts whose sub-projects are being installed, outermost first, as
// normalised upper-case paths.
std::vector<std::string>& SubProjectChain() {
    static std::vector<std::string> chain;
    return chain;
}

std::optional<uint64_t> DriveFreeSpace(char drive) {
    const char letter = AnsiUpCaseChar(drive);
    if (letter < 'A' || letter > 'Z') return std::nullopt;
    return plat::freeSpace(std::string(1, letter) + ":\\");
}

} // namespace

std::string WinVersionName(int versionCode) {
    switch (versionCode & 0x7F) {
    case 3:
        return "95";
    case 4:
    case 5:
    case 6:
        return "98";
    case 7:
        return "NT";
    case 8:
        return "2000";
    case 9:
        return "XP";
    case 10:
        return "2003";
    case 11:
        return "Vista";
    default:
        return {};
    }
}

bool CheckWinVersion(const std::string& value) {
    if (value.empty()) return true;
    const std::string name = WinVersionName(WindowsVersion());
    if (name.empty()) return true;
    return PosTextNoCase(name, value) > 0;
}

bool CheckCondition(RunContext& run, const std::string& sourceFolder, const std::string& partName,
                    char driveLetter) {
    const std::string& cond = run.PartRecord(partName).conditions.cond.text;
    if (cond.empty()) return true;
    const std::string path = sourceFolder + cond;
    std::optional<std::string> bytes = ReadSmallFile(path);
    if (!bytes) {
        run.counters.leftOut = true; // the part is not installed for want of its question
        InfoMessage(run.MessageOwner(), path + "\rnot found.");
        return false;
    }
    if (std::string error; !ConvertScriptText(*bytes, error)) {
        InfoMessage(run.MessageOwner(),
                    path + "\r" + error + ": der Teil " + partName + " wird nicht installiert.");
        return false;
    }
    if (bytes->find('\0') != std::string::npos) {
        // A binary file is no question to put to the user.
        run.counters.leftOut = true;
        InfoMessage(run.MessageOwner(), path + "\rist keine Textdatei: der Teil " + partName +
                                            " wird nicht installiert.");
        return false;
    }
    std::string question;
    for (std::string line : SplitLines(*bytes)) {
        if (line.size() > kMaxConditionLine) line.resize(kMaxConditionLine);
        size_t i = 0;
        while (i < line.size()) {
            if (line[i] != '%') {
                ++i;
                continue;
            }
            if (i + 1 < line.size() && line[i + 1] == '%') {
                i += 2;
                continue;
            }
            const size_t close = line.find('%', i + 1);
            if (close == std::string::npos) break;
            const std::string text = AnsiUpperCase(line.substr(i + 1, close - i - 1));
            line.erase(i, close - i + 1);
            std::string replacement;
            if (StartsWith("FSIZE ", text)) {
                const std::string files = TrimLeft(text.substr(6));
                replacement = FormatSize(
                    false, static_cast<uint64_t>(CountFiles(sourceFolder + files).bytes));
            } else if (StartsWith("DISKFREE", text)) {
                replacement = FormatSize(false, DriveFreeSpace(driveLetter).value_or(0));
            } else {
                replacement = text;
            }
            line.insert(i, replacement);
            i += replacement.size();
            if (line.size() > kMaxConditionLine) line.resize(kMaxConditionLine);
        }
        question += line + "\r\n";
    }
    return AskYesNoUntitled(run.MessageOwner(), question) == IdYes;
}

int TScriptInstall::RunSubProject(const std::string& partName, bool summary) {
    const std::string& install = run_.PartRecord(partName).subProject.text;
    if (install.empty()) return 0;
    const std::string script = GetScriptPath();
    const std::string path = script.substr(0, LastPosChar('\\', script)) + install;
    if (!plat::fileExists(path)) {
        // Without its script the nested window would install an empty project
        // into a default folder: report it as a sub-project that did not succeed.
        InfoMessage(MessageOwner(), "Installationsscript nicht gefunden.\r\n" + path);
        return 2;
    }
    // A script that is being installed already (the chain of sub-projects
    // leads back to it) would open windows without end, and so would a
    // chain that never repeats a name but never ends either.
    const std::string key = AnsiUpperCase(NormalPath(path));
    const std::string own = AnsiUpperCase(NormalPath(script));
    std::vector<std::string>& chain = SubProjectChain();
    const bool repeated = key == own || std::find(chain.begin(), chain.end(), key) != chain.end();
    if (repeated || chain.size() >= kMaxSubProjectDepth) {
        InfoMessage(MessageOwner(),
                    (repeated ? "Das Installationsscript wird schon installiert:\r\n"
                              : "Zu viele ineinander geschachtelte Installationsscripte:\r\n") +
                        path);
        return 2;
    }
    if (!owner_) return 2;
    // This script is on the way to every sub-project the nested window opens.
    chain.push_back(own);
    struct ChainScope {
        ~ChainScope() { SubProjectChain().pop_back(); }
    } chainScope;
    return owner_->RunSubProjectWindow(path, summary) == 1 ? 1 : 2;
}

bool CheckDiskSpace(RunContext& run) {
    const int64_t needed = run.script ? run.script->Project().bytes.Integer(0) : 0;
    const char drive = AnsiUpCaseChar(FirstChar(run.targetDir));
    std::optional<uint64_t> space;
    if (run.targetDir.size() >= 2 && run.targetDir[1] == ':') {
        space = DriveFreeSpace(drive);
    } else {
        // A target without a drive letter (a network path "\\server\share\..."):
        // the free space of its share when the system tells it; when it does
        // not, there is nothing to test against and the run goes on.
        const size_t share =
            run.targetDir.rfind("\\\\", 0) == 0 ? run.targetDir.find('\\', 2) : std::string::npos;
        const size_t end = share == std::string::npos ? share : run.targetDir.find('\\', share + 1);
        if (share != std::string::npos)
            space = plat::freeSpace(end == std::string::npos ? run.targetDir + "\\"
                                                             : run.targetDir.substr(0, end + 1));
        if (!space) return true;
    }
    const int64_t free = space ? static_cast<int64_t>(*space) : 0;
    if (needed < free) return true;
    InfoMessage(run.MessageOwner(),
                "Auf dem Laufwerk " + std::string(1, drive) +
                    ": ist nicht gen\xFCgend\rSpeicherplatz vorhanden.\r"
                    "ben\xF6tigt: " +
                    FormatSize(false, static_cast<uint64_t>(needed < 0 ? 0 : needed)) +
                    "\rnoch frei: " + FormatSize(false, static_cast<uint64_t>(free)));
    return false;
}

} // namespace setup
