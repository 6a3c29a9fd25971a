#include "script/Ini.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <unordered_map>

#include "common/Ansi.h"
#include "common/Effects.h"
#include "common/Error.h"
#include "common/FileInfo.h"
#include "common/Messages.h"
#include "common/ScriptEncoding.h"
#include "common/TextFiles.h"
#include "common/FStream.h"
#include "platform/FileSystem.h"

namespace setup {

namespace {

constexpr uint16_t kStreamBufferSize = 65280;
// A line buffer of 500 bytes, of which ReadLine fills at most 498 characters.
constexpr uint16_t kLineCapacity = 499;
constexpr size_t kLineBufferSize = 500;
constexpr size_t kMaxHeaderName = 80;
constexpr size_t kMaxKey = 254;
constexpr size_t kMaxIntegerText = 20;
constexpr size_t kMaxBoolText = 8;
// Sections up to this many entries are searched from the start; longer ones
// through their key index.
constexpr size_t kIndexFrom = 32;
// Deinst.ins holds a line per folder, font and association: anything larger
// is not a record file this program wrote.
// Why a device, pipe or socket is not read as an INI file.
constexpr const char* kNotRegularFile =
    "keine gew\xF6hnliche Datei (ein Ger\xE4t, eine Pipe oder ein Socket)";
constexpr uint64_t kMaxRecordFileSize = 256 * 1024 * 1024;
// A UTF-8 or UTF-16 file is converted in memory; beyond this it is refused.
constexpr uint64_t kMaxConvertedFileSize = uint64_t{256} << 20;

// Values are zero-terminated texts: a NUL byte ends them.
std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

std::string_view TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsQuoted(std::string_view value) {
    return value.size() >= 2 && value.front() == '\'' && value.back() == '\'';
}

std::string UnreadText(const std::string& fileName) {
    return "\"" + fileName +
           "\" konnte nicht ganz gelesen werden und wird nicht \xFC"
           "berschrieben";
}

// The text of a file that begins with a byte-order mark, converted to
// Windows-1252. nullopt for a file without a mark (it is read as it is) or
// one that cannot be opened, and, with error set, for one that cannot be
// converted.
std::optional<std::string> ReadMarkedFile(const std::string& path, std::string& error) {
    {
        plat::File file;
        char head[3];
        if (!file.open(path, plat::OpenMode::Read)) return std::nullopt;
        const int64_t n = file.read(head, sizeof head);
        if (n <= 0 || !HasByteOrderMark(std::string_view(head, static_cast<size_t>(n))))
            return std::nullopt;
    }
    std::optional<std::string> bytes = ReadWholeFile(path, kMaxConvertedFileSize);
    if (!bytes) {
        error = "zu gro\xDF oder nicht lesbar";
        return std::nullopt;
    }
    if (!ConvertScriptText(*bytes, error)) return std::nullopt;
    return bytes;
}

} // namespace

// ---- TSection_i ----------------------------------------------------------

void TSection_i::AddLine(std::string_view line, uint32_t lineNumber) {
    line = UpToNul(line);
    if (!line.empty() && line[0] == ';') {
        AppendPlain({}, line, lineNumber);
        return;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        AppendPlain({}, line, lineNumber);
        return;
    }
    std::string_view value = line.substr(eq + 1);
    // A key with an empty value does not exist.
    if (value.empty()) return;
    if (IsQuoted(value)) value = value.substr(1, value.size() - 2);
    AppendPlain(TrimBlanks(line.substr(0, std::min(eq, kMaxKey))), value, lineNumber);
}

size_t TSection_i::Store(std::string_view text) {
    const size_t offset = text_.size();
    text_.append(text.data(), text.size());
    return offset;
}

void TSection_i::Append(std::string_view key, std::string_view value) {
    AppendPlain(key, UpToNul(value));
}

void TSection_i::AppendPlain(std::string_view key, std::string_view value, uint32_t line) {
    Entry entry;
    entry.line = line;
    entry.keyLength = static_cast<uint32_t>(key.size());
    entry.keyOffset = Store(key);
    entry.valueLength = static_cast<uint32_t>(value.size());
    entry.valueOffset = Store(value);
    entries_.push_back(entry);
    if (indexed_ && !key.empty()) IndexEntry(static_cast<int>(entries_.size() - 1));
}

void TSection_i::SetValue(int index, std::string_view value) {
    value = UpToNul(value);
    // The old text stays in the block unused; sections are small and short-lived.
    Entry& entry = entries_[static_cast<size_t>(index)];
    entry.valueLength = static_cast<uint32_t>(value.size());
    entry.valueOffset = Store(value);
}

namespace {

// FNV-1a over the upper-case bytes: keys that differ in case only hash alike.
size_t KeyHash(std::string_view key) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : key) {
        hash ^= static_cast<unsigned char>(AnsiUpCaseChar(c));
        hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
}

} // namespace

void TSection_i::IndexEntry(int index) const {
    if ((indexedKeys_ + 1) * 2 > byKey_.size()) {
        // Twice the room, every key placed again in entry order.
        std::vector<int> old;
        old.swap(byKey_);
        byKey_.assign(std::max<size_t>(64, old.size() * 2), -1);
        indexedKeys_ = 0;
        std::sort(old.begin(), old.end());
        for (const int i : old)
            if (i >= 0) IndexEntry(i);
    }
    const std::string_view key = Key(index);
    const size_t mask = byKey_.size() - 1;
    for (size_t slot = KeyHash(key) & mask;; slot = (slot + 1) & mask) {
        int& at = byKey_[slot];
        if (at < 0) {
            at = index;
            ++indexedKeys_;
            return;
        }
        if (AnsiSameText(Key(at), key)) return; // the first entry of a key counts
    }
}

int TSection_i::Find(std::string_view key) const {
    if (key.empty()) return -1;
    if (entries_.size() > kIndexFrom) {
        if (!indexed_) {
            size_t size = 64;
            while (size < entries_.size() * 2)
                size *= 2;
            byKey_.assign(size, -1);
            indexedKeys_ = 0;
            for (size_t i = 0; i < entries_.size(); ++i)
                if (entries_[i].keyLength != 0) IndexEntry(static_cast<int>(i));
            indexed_ = true;
        }
        const size_t mask = byKey_.size() - 1;
        for (size_t slot = KeyHash(key) & mask;; slot = (slot + 1) & mask) {
            const int at = byKey_[slot];
            if (at < 0) return -1;
            if (AnsiSameText(Key(at), key)) return at;
        }
    }
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (e.keyLength == key.size() &&
            AnsiSameText(std::string_view(text_).substr(e.keyOffset, e.keyLength), key))
            return static_cast<int>(i);
    }
    return -1;
}

// ---- TIni ------------------------------------------------------------------

TIni::TIni(std::string fileName, IniKind kind) : fileName_(std::move(fileName)), kind_(kind) {
    if (!fileName_.empty() && plat::fileExists(fileName_)) LoadFile();
}

TIni::~TIni() {
    if (!modified_) return;
    try {
        SaveFile();
    } catch (const std::exception& e) {
        // The error would otherwise vanish with the object: show it as the
        // error box would have, which also logs it.
        try {
            PlainMessage(e.what());
        } catch (...) {
        }
    }
}

size_t TIni::LowerBound(std::string_view name, bool& found) const {
    size_t lo = 0, hi = sections_.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        const int cmp = AnsiCompareText(sections_[mid].name, name);
        if (cmp == 0) {
            found = true;
            return mid;
        }
        if (cmp < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    found = false;
    return lo;
}

int TIni::FindSection(std::string_view name) const {
    bool found = false;
    const size_t at = LowerBound(name, found);
    return found ? static_cast<int>(at) : -1;
}

TSection_i& TIni::FindOrAddSection(std::string_view name) {
    bool found = false;
    const size_t at = LowerBound(name, found);
    if (!found) {
        sections_.insert(sections_.begin() + static_cast<std::ptrdiff_t>(at),
                         NamedSection{std::string(name), std::make_unique<TSection_i>(), 0});
    }
    return *sections_[at].section;
}

void TIni::LoadFile() {
    sections_.clear();
    fileAgeStamp_ = FileDosDate(fileName_);
    readComplete_ = true;
    loadError_.clear();
    if (fileName_.empty()) return;
    // A device, pipe or socket would be read forever or wait for a writer.
    // A record that cannot be read is never written over; a script is empty.
    if (!plat::isRegularFile(fileName_)) {
        readComplete_ = kind_ != IniKind::Record;
        loadError_ = kNotRegularFile;
        return;
    }
    if (kind_ == IniKind::Record) {
        LoadRecordFile();
        return;
    }
    TFStream stream(kStreamBufferSize);
    stream.FileName = fileName_;
    if (std::optional<std::string> text = ReadMarkedFile(fileName_, loadError_))
        stream.OpenText(std::move(*text));
    else if (!loadError_.empty() || !stream.OpenRead())
        return;
    char line[kLineBufferSize];
    LoadLines([&](std::string_view& text) {
        if (stream.EndOfFile()) return false;
        stream.ReadLine(line, kLineCapacity);
        text = std::string_view(line, std::strlen(line));
        return true;
    });
}

void TIni::LoadRecordFile() {
    if (!plat::fileExists(fileName_)) return;
    const std::optional<std::string> bytes = ReadWholeFile(fileName_, kMaxRecordFileSize);
    if (!bytes) {
        readComplete_ = false;
        return;
    }
    std::string_view all(*bytes);
    // A journal line the writer did not finish (no line end after it) is
    // left out; any other last line is read as it is.
    if (!all.empty() && all.back() != '\n' && all.back() != '\r') {
        const size_t lastLine = all.find_last_of("\r\n") + 1; // 0 when there is none
        size_t header = std::string_view::npos;
        for (size_t at = lastLine; at > 0 && header == std::string_view::npos;) {
            const size_t begin = all.find_last_of("\r\n", at - 1);
            const size_t lineStart = begin == std::string_view::npos ? 0 : begin + 1;
            if (lineStart < at && all[lineStart] == '[') header = lineStart;
            at = begin == std::string_view::npos ? 0 : begin;
        }
        if (header != std::string_view::npos) {
            std::string_view name = all.substr(header + 1);
            name = name.substr(0, name.find_first_of("]\r\n"));
            if (AnsiSameText(std::string(name), std::string(kJournalSection)))
                all = all.substr(0, lastLine);
        }
    }
    size_t start = 0;
    LoadLines([&](std::string_view& text) {
        if (start >= all.size()) return false;
        size_t end = all.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = all.size();
        text = all.substr(start, end - start);
        start = end;
        if (start < all.size() && all[start] == '\r') ++start;
        if (start < all.size() && all[start] == '\n') ++start;
        return true;
    });
}

void TIni::LoadLines(const std::function<bool(std::string_view&)>& nextLine) {
    // Sections are collected in file order and sorted once at the end, so
    // that many sections load in O(n log n); a hash of the upper-case names
    // finds a section that appears again.
    std::unordered_map<std::string, size_t> byName;
    TSection_i* current = nullptr;
    auto sectionFor = [&](std::string_view name, uint32_t line) -> TSection_i* {
        auto [it, added] = byName.try_emplace(AnsiUpperCase(name), sections_.size());
        if (added)
            sections_.push_back(
                NamedSection{std::string(name), std::make_unique<TSection_i>(), line});
        return sections_[it->second].section.get();
    };

    try {
        std::string_view text;
        uint32_t lineNumber = 0;
        while (nextLine(text)) {
            ++lineNumber;
            if (text.empty()) continue;
            if (text[0] == '[') {
                std::string_view name = text.substr(1, kMaxHeaderName);
                name = name.substr(0, name.find(']'));
                current = sectionFor(name, lineNumber);
                continue;
            }
            if (!current) current = sectionFor({}, 0);
            current->AddLine(text, lineNumber);
        }
    } catch (...) {
        sections_.clear();
        throw;
    }
    std::sort(sections_.begin(), sections_.end(), [](const NamedSection& a, const NamedSection& b) {
        return AnsiCompareText(a.name, b.name) < 0;
    });
}

void TIni::WriteSections(const std::function<void(std::string_view)>& out) const {
    for (const NamedSection& named : sections_) {
        const TSection_i& section = *named.section;
        if (section.Count() == 0) continue;
        if (!named.name.empty()) {
            out("[");
            out(named.name);
            out("]\r\n");
        }
        for (int i = 0; i < section.Count(); ++i) {
            const std::string_view key = section.Key(i);
            const std::string_view value = section.Value(i);
            if (!key.empty()) {
                out(key);
                out("=");
            }
            // Reading takes a pair of outer quotes off: a value that has them
            // of its own gets another pair.
            const bool quote = !key.empty() && IsQuoted(value);
            if (quote) out("'");
            out(value);
            if (quote) out("'");
            out("\r\n");
        }
        out("\r\n");
    }
}

TSection_i& TIni::EditSection(std::string_view name) {
    modified_ = true;
    return FindOrAddSection(name);
}

void TIni::AddSavedEntry(std::string_view section, std::string_view key, std::string_view value) {
    FindOrAddSection(section).Append(key, value);
}

void TIni::SaveFile() {
    if (fileName_.empty()) return;
    if (!readComplete_) throw SetupError(UnreadText(fileName_));
    if (OnSave) OnSave(true);
    struct SaveDone {
        const std::function<void(bool)>& onSave;
        ~SaveDone() {
            if (onSave) onSave(false);
        }
    } saveDone{OnSave};
    // Written beside the old file and moved over it only when complete, so
    // that a full disk never leaves a half-written file where a good one was.
    if (effects_) {
        // Through the run's effects (a plan records the file instead).
        std::string text;
        WriteSections([&](std::string_view part) { text.append(part); });
        if (WriteWholeFile(*effects_, fileName_, text) != 0)
            throw SetupError("\"" + fileName_ + "\" kann nicht geschrieben werden");
        modified_ = false;
        fileAgeStamp_ = FileDosDate(*effects_, fileName_);
        return;
    }
    const std::string tempName = fileName_ + ".tmp";
    std::string error;
    {
        TFStream stream(kStreamBufferSize);
        stream.FileName = tempName;
        try {
            stream.OpenWrite();
            WriteSections(
                [&](std::string_view part) { stream.WriteBlock(part.data(), part.size()); });
            stream.Close();
        } catch (const SetupError& e) {
            error = e.what();
        }
    }
    if (!error.empty()) {
        plat::deleteFile(tempName);
        // The message names the file the caller asked for, not the temporary one.
        const size_t at = error.find(tempName);
        if (at != std::string::npos) error.replace(at, tempName.size(), fileName_);
        throw SetupError(error);
    }
    if (!plat::moveFile(tempName, fileName_, true)) {
        plat::deleteFile(tempName);
        throw SetupError("\"" + fileName_ + "\" kann nicht geschrieben werden");
    }
    modified_ = false;
    fileAgeStamp_ = FileDosDate(fileName_);
}

void TIni::SaveIfStale() {
    if (modified_ && int64_t{fileAgeStamp_} < int64_t{DosDateNow()} - 5) SaveFile();
}

std::string TIni::ReadString(std::string_view section, std::string_view key,
                             const std::string& defaultValue) {
    SaveIfStale();
    const int si = FindSection(section);
    if (si < 0) return defaultValue;
    const TSection_i& sec = *sections_[static_cast<size_t>(si)].section;
    const int ki = sec.Find(key);
    if (ki < 0 || sec.Value(ki).empty()) return defaultValue;
    return std::string(sec.Value(ki));
}

std::optional<int32_t> ScriptInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return std::nullopt;
    constexpr int64_t kLimit = int64_t{1} << 31; // magnitude of INT32_MIN
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = base == 16                           ? HexDigit(text[i])
                          : (text[i] >= '0' && text[i] <= '9') ? text[i] - '0'
                                                               : -1;
        if (digit < 0) return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > kLimit) return std::nullopt;
    }
    if (negative) return static_cast<int32_t>(-magnitude);
    if (magnitude > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(magnitude);
}

bool IsScriptNumber(std::string_view text) {
    // The reader looks at the first characters only: a longer text reads as
    // something else than it says.
    return text.size() <= kMaxIntegerText && ScriptInteger(text).has_value();
}

int32_t IniInteger(std::string_view text, int32_t defaultValue) {
    if (text.empty()) return defaultValue;
    return ScriptInteger(text.substr(0, kMaxIntegerText)).value_or(0);
}

bool IniBool(std::string_view text, bool defaultValue) {
    if (text.empty()) return defaultValue;
    return text.substr(0, kMaxBoolText) != "0";
}

int32_t TIni::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) {
    return IniInteger(ReadString(section, key, {}), defaultValue);
}

bool TIni::ReadBool(std::string_view section, std::string_view key, bool defaultValue) {
    return IniBool(ReadString(section, key, {}), defaultValue);
}

IniValue TIni::ReadValue(std::string_view section, std::string_view key) const {
    const int si = FindSection(section);
    if (si < 0) return {};
    const TSection_i& sec = *sections_[static_cast<size_t>(si)].section;
    const int ki = sec.Find(key);
    if (ki < 0 || sec.Value(ki).empty()) return {};
    return {std::string(sec.Value(ki)), sec.Line(ki)};
}

bool TIni::WritableKey(std::string_view key) {
    return !key.empty() && key.size() <= kMaxKey && key[0] != '[' && key[0] != ';' &&
           key.find_first_of("=\r\n") == std::string_view::npos && TrimBlanks(key) == key;
}

bool TIni::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    value = UpToNul(value);
    if (!WritableKey(key) || value.find_first_of("\r\n") != std::string_view::npos) return false;
    TSection_i& sec = FindOrAddSection(section);
    const int ki = sec.Find(key);
    if (ki < 0) {
        if (value.empty()) return true;
        sec.Append(key, value);
        modified_ = true;
        return true;
    }
    if (sec.Value(ki) == value) return true;
    if (value.empty())
        sec.Delete(ki);
    else
        sec.SetValue(ki, value);
    modified_ = true;
    return true;
}

} // namespace setup
