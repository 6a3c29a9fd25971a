// The [Installed] lines of Deinst.ins: their text form, their reading, the
// merging of repeated runs and the journal that appends them during a run.
#include "files/InstallRecord.h"

#include <charconv>
#include <unordered_map>

#include "common/Ansi.h"

namespace setup::record {

namespace {

constexpr char kHex[] = "0123456789abcdef";
// The journal reaches the disk at least this often while lines come.
constexpr uint64_t kSyncLines = 1024;
constexpr auto kSyncInterval = std::chrono::seconds(1);

const char* RootText(plat::RegRoot root) {
    return plat::regRootName(root);
}

std::optional<plat::RegRoot> ParseRoot(std::string_view text) {
    for (plat::RegRoot root :
         {plat::RegRoot::ClassesRoot, plat::RegRoot::CurrentUser, plat::RegRoot::LocalMachine})
        if (text == RootText(root)) return root;
    return std::nullopt;
}

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t bar = text.find('|', start);
        fields.push_back(text.substr(start, bar - start));
        if (bar == std::string_view::npos) return fields;
        start = bar + 1;
    }
}

template <typename Number> std::optional<Number> ParseDecimal(std::string_view text) {
    Number value{};
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string HexBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

std::optional<std::string> ParseHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

// "type|data" of a value that was replaced (or "none|").
std::string FormatOld(const std::optional<RegistryValue>& old) {
    if (!old) return "none|";
    const auto type = static_cast<uint32_t>(old->type);
    switch (old->type) {
    case plat::RegType::String:
        return "sz|" + Escape(old->data);
    case plat::RegType::ExpandString:
        return "expand|" + Escape(old->data);
    case plat::RegType::Dword:
        if (old->data.size() == 4) {
            uint32_t value = 0;
            for (int i = 3; i >= 0; --i)
                value =
                    (value << 8) | static_cast<unsigned char>(old->data[static_cast<size_t>(i)]);
            return "dword|" + std::to_string(value);
        }
        break; // a DWORD of another length keeps its bytes
    case plat::RegType::Binary:
        return "binary|" + HexBytes(old->data);
    default:
        break;
    }
    return "other:" + std::to_string(type) + "|" + HexBytes(old->data);
}

std::optional<std::optional<RegistryValue>> ParseOld(std::string_view type, std::string_view data) {
    if (type == "none") {
        if (!data.empty()) return std::nullopt;
        return std::optional<RegistryValue>();
    }
    RegistryValue value;
    if (type == "sz" || type == "expand") {
        value.type = type == "sz" ? plat::RegType::String : plat::RegType::ExpandString;
        auto text = Unescape(data);
        if (!text) return std::nullopt;
        value.data = std::move(*text);
    } else if (type == "dword") {
        const auto number = ParseDecimal<uint32_t>(data);
        if (!number) return std::nullopt;
        value.type = plat::RegType::Dword;
        for (int shift = 0; shift < 32; shift += 8)
            value.data += static_cast<char>((*number >> shift) & 0xFF);
    } else {
        std::optional<uint32_t> number;
        if (type == "binary")
            number = static_cast<uint32_t>(plat::RegType::Binary);
        else if (type.substr(0, 6) == "other:")
            number = ParseDecimal<uint32_t>(type.substr(6));
        auto bytes = ParseHex(data);
        if (!number || !bytes) return std::nullopt;
        value.type = static_cast<plat::RegType>(*number);
        value.data = std::move(*bytes);
    }
    return std::optional<RegistryValue>(std::move(value));
}

bool HasBar(std::string_view path) {
    return path.find('|') != std::string_view::npos;
}

} // namespace

std::string Escape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '%':
            escaped += "%25";
            break;
        case '|':
            escaped += "%7C";
            break;
        case '\r':
            escaped += "%0D";
            break;
        case '\n':
            escaped += "%0A";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            plain += text[i];
            continue;
        }
        const std::string code = AnsiUpperCase(text.substr(i + 1, 2));
        if (code == "25")
            plain += '%';
        else if (code == "7C")
            plain += '|';
        else if (code == "0D")
            plain += '\r';
        else if (code == "0A")
            plain += '\n';
        else
            return std::nullopt;
        i += 2;
    }
    return plain;
}

std::optional<Entry> Format(const Line& line) {
    struct Formatter {
        std::optional<Entry> operator()(const FolderLine& l) const {
            if (HasBar(l.path)) return std::nullopt;
            return Entry{"Folder", l.path};
        }
        std::optional<Entry> operator()(const FileLine& l) const {
            if (HasBar(l.path)) return std::nullopt;
            return Entry{"File",
                         l.path + "|" + std::to_string(l.size) + "|" + std::to_string(l.writeTime)};
        }
        std::optional<Entry> operator()(const LinkLine& l) const {
            if (HasBar(l.path)) return std::nullopt;
            return Entry{"Link", l.path};
        }
        std::optional<Entry> operator()(const KeyLine& l) const {
            return Entry{"Key", std::string(RootText(l.root)) + "|" + Escape(l.key)};
        }
        std::optional<Entry> operator()(const ValueLine& l) const {
            return Entry{"Value", std::string(RootText(l.root)) + "|" + Escape(l.key) + "|" +
                                      Escape(l.name) + "|" + FormatOld(l.old)};
        }
        std::optional<Entry> operator()(const FontLine& l) const {
            if (HasBar(l.path)) return std::nullopt;
            return Entry{"Font", l.path + "|" + Escape(l.name)};
        }
    };
    return std::visit(Formatter{}, line);
}

std::optional<Line> Parse(std::string_view kind, std::string_view fields) {
    const std::vector<std::string_view> f = SplitFields(fields);
    if (f.empty() || f[0].empty()) return std::nullopt;
    if (kind == "Folder" || kind == "Link") {
        if (f.size() != 1) return std::nullopt;
        if (kind == "Link") return LinkLine{std::string(f[0])};
        return FolderLine{std::string(f[0])};
    }
    if (kind == "File") {
        if (f.size() != 3) return std::nullopt;
        const auto size = ParseDecimal<uint64_t>(f[1]);
        const auto time = ParseDecimal<plat::FileTime>(f[2]);
        if (!size || !time) return std::nullopt;
        return FileLine{std::string(f[0]), *size, *time};
    }
    if (kind == "Font") {
        auto name = f.size() == 2 ? Unescape(f[1]) : std::nullopt;
        if (!name) return std::nullopt;
        return FontLine{std::string(f[0]), std::move(*name)};
    }
    const auto root = ParseRoot(f[0]);
    if (!root || f.size() < 2) return std::nullopt;
    auto key = Unescape(f[1]);
    if (!key || key->empty()) return std::nullopt;
    if (kind == "Key") {
        if (f.size() != 2) return std::nullopt;
        return KeyLine{*root, std::move(*key)};
    }
    if (kind == "Value") {
        if (f.size() != 5) return std::nullopt;
        auto name = Unescape(f[2]);
        auto old = ParseOld(f[3], f[4]);
        if (!name || !old) return std::nullopt;
        return ValueLine{*root, std::move(*key), std::move(*name), std::move(*old)};
    }
    return std::nullopt;
}

std::vector<Line> ReadLines(const TIni& record) {
    std::vector<Line> lines;
    const int index = record.FindSection(kJournalSection);
    if (index < 0) return lines;
    const TSection_i& section = record.Section(index);
    lines.reserve(static_cast<size_t>(section.Count()));
    for (int i = 0; i < section.Count(); ++i)
        if (auto line = Parse(section.Key(i), section.Value(i))) lines.push_back(std::move(*line));
    return lines;
}

namespace {

// What makes two lines the same thing: the kind with its path, key or value
// (without regard to case, as Windows compares them); empty for a line that
// is no record line (kept as it is).
std::string Identity(std::string_view kind, std::string_view fields) {
    const auto line = Parse(kind, fields);
    if (!line) return {};
    if (const auto* value = std::get_if<ValueLine>(&*line))
        return AnsiUpperCase("Value|" + std::string(RootText(value->root)) + "|" +
                             Escape(value->key) + "|" + Escape(value->name));
    if (const auto* file = std::get_if<FileLine>(&*line))
        return AnsiUpperCase("File|" + file->path);
    return AnsiUpperCase(std::string(kind) + "|" + std::string(fields));
}

} // namespace

// Of several lines for the same thing one stays: the first of a registry
// value (it holds the value from before the first run), the last of a file
// (the size and time of the copy now in place), the first of a folder, key,
// shortcut or font. Lines that are no record line stay as they are.
bool Compact(TIni& record) {
    const int index = record.FindSection(kJournalSection);
    if (index < 0) return false;
    const TSection_i& section = record.Section(index);
    const int count = section.Count();
    std::vector<std::string> identities(static_cast<size_t>(count));
    std::unordered_map<std::string, int> lastFile;
    for (int i = 0; i < count; ++i) {
        identities[static_cast<size_t>(i)] = Identity(section.Key(i), section.Value(i));
        if (identities[static_cast<size_t>(i)].rfind("FILE|", 0) == 0)
            lastFile[identities[static_cast<size_t>(i)]] = i;
    }
    std::unordered_set<std::string> seen;
    std::vector<Entry> kept;
    for (int i = 0; i < count; ++i) {
        const std::string& id = identities[static_cast<size_t>(i)];
        const bool keep =
            id.empty() || (id.rfind("FILE|", 0) == 0 ? lastFile[id] == i : seen.insert(id).second);
        if (keep) kept.push_back(Entry{std::string(section.Key(i)), std::string(section.Value(i))});
    }
    if (kept.size() == static_cast<size_t>(count)) return false;
    TSection_i& edited = record.EditSection(kJournalSection);
    edited.Clear();
    for (const Entry& entry : kept)
        edited.Append(entry.kind, entry.fields);
    return true;
}

RecordJournal::RecordJournal(TIni& record) : record_(record) {
    // The record file is written again when it holds journal lines: merged,
    // and without a line a killed writer may have left unfinished.
    const int index = record_.FindSection(kJournalSection);
    Compact(record_);
    if (index >= 0) record_.SaveFile();
    for (const Line& line : ReadLines(record_))
        if (const auto* file = std::get_if<FileLine>(&line))
            files_.insert(AnsiUpperCase(file->path));
    lastSync_ = std::chrono::steady_clock::now();
    record_.OnSave = [this](bool before) {
        if (before) {
            mutex_.lock();
            CloseFile();
        } else {
            mutex_.unlock();
        }
    };
}

RecordJournal::~RecordJournal() {
    std::lock_guard lock(mutex_);
    CloseFile();
    record_.OnSave = nullptr;
}

void RecordJournal::OpenFile() {
    const std::string& name = record_.FileName();
    if (!file_.open(name, plat::OpenMode::Write) && !file_.open(name, plat::OpenMode::CreateNew)) {
        ++failures_;
        return;
    }
    const uint64_t size = file_.size().value_or(0);
    char last = '\n';
    if (size > 0 && (!file_.seek(size - 1) || file_.read(&last, 1) != 1)) last = '\n';
    file_.seek(size);
    // A fresh header: appending works whatever section the file ends with.
    const std::string header =
        std::string(last == '\n' ? "" : "\r\n") + "[" + std::string(kJournalSection) + "]\r\n";
    if (file_.write(header.data(), header.size()) != static_cast<int64_t>(header.size())) {
        ++failures_;
        file_.close();
    }
}

void RecordJournal::CloseFile() {
    if (!file_.isOpen()) return;
    if (unsynced_ > 0) file_.flush();
    unsynced_ = 0;
    file_.close();
}

void RecordJournal::Append(const Line& line) {
    const std::optional<Entry> entry = Format(line);
    if (!entry) return;
    const std::string text = entry->kind + "=" + entry->fields + "\r\n";
    std::lock_guard lock(mutex_);
    if (const auto* file = std::get_if<FileLine>(&line)) files_.insert(AnsiUpperCase(file->path));
    if (!file_.isOpen()) OpenFile();
    // In memory also when it could not be written: a later save of the record
    // puts it on the disk.
    record_.AddSavedEntry(kJournalSection, entry->kind, entry->fields);
    if (!file_.isOpen()) return;
    if (file_.write(text.data(), text.size()) != static_cast<int64_t>(text.size())) {
        ++failures_;
        return;
    }
    ++unsynced_;
    const auto now = std::chrono::steady_clock::now();
    if (unsynced_ >= kSyncLines || now - lastSync_ >= kSyncInterval) {
        file_.flush();
        unsynced_ = 0;
        lastSync_ = now;
    }
}

bool RecordJournal::HasFile(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return files_.count(AnsiUpperCase(path)) != 0;
}

void RecordJournal::Sync() {
    std::lock_guard lock(mutex_);
    if (file_.isOpen() && unsynced_ > 0) file_.flush();
    unsynced_ = 0;
    lastSync_ = std::chrono::steady_clock::now();
}

uint64_t RecordJournal::Failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

} // namespace setup::record
