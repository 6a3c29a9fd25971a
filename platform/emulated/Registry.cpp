// The registry of the emulated Windows: registry.reg in the root, a REGEDIT4
// text file. The whole file is held in memory, reread when another process has
// replaced it, and rewritten (temporary file, flush, rename) on every change.
#include "platform/Registry.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/emulated/Emulated.h"

namespace plat {
namespace {

using emulated::sameText;

constexpr uint32_t kErrBadDb = 1009;      // ERROR_BADDB
constexpr uint32_t kErrKeyDeleted = 1018; // ERROR_KEY_DELETED
constexpr uint32_t kErrInvalidData = 13;  // ERROR_INVALID_DATA
constexpr uint32_t kErrInvalidHandle = 6; // ERROR_INVALID_HANDLE

// What Windows allows: keys 512 levels deep, key names of 255 characters,
// value names of 16383.
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;

struct Value {
    std::string name;
    RegType type = RegType::String;
    std::string data; // text of a string, little-endian bytes of other kinds
    uint32_t dword = 0;
    std::string raw; // the text after "=" as read (hex forms), written back unchanged
};

struct Key {
    std::string name;
    std::vector<Value> values;
    std::vector<std::unique_ptr<Key>> children;
    // Positions in values and children by upper-case name: keys with very
    // many values or subkeys are looked up without a walk over all of them.
    std::unordered_map<std::string, size_t> valueAt;
    std::unordered_map<std::string, size_t> childAt;

    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    // Subkeys are taken apart one by one: no recursion over the depth of the tree.
    ~Key() {
        std::vector<std::unique_ptr<Key>> pending = std::move(children);
        while (!pending.empty()) {
            std::unique_ptr<Key> key = std::move(pending.back());
            pending.pop_back();
            for (auto& c : key->children)
                pending.push_back(std::move(c));
            key->children.clear();
        }
    }

    Key* child(const std::string& childName) const {
        const auto it = childAt.find(emulated::upper(childName));
        return it == childAt.end() ? nullptr : children[it->second].get();
    }
    Key& addChild(const std::string& childName) {
        childAt.emplace(emulated::upper(childName), children.size());
        children.push_back(std::make_unique<Key>());
        children.back()->name = childName;
        return *children.back();
    }
    Value* value(const std::string& valueName) {
        const auto it = valueAt.find(emulated::upper(valueName));
        return it == valueAt.end() ? nullptr : &values[it->second];
    }
    // Sets a value; an existing value of that name keeps the case of its name.
    void setValue(Value v) {
        if (Value* existing = value(v.name)) {
            v.name = existing->name;
            *existing = std::move(v);
            return;
        }
        valueAt.emplace(emulated::upper(v.name), values.size());
        values.push_back(std::move(v));
    }
    bool eraseValue(const std::string& valueName) {
        const auto it = valueAt.find(emulated::upper(valueName));
        if (it == valueAt.end()) return false;
        const size_t at = it->second;
        values.erase(values.begin() + static_cast<std::ptrdiff_t>(at));
        valueAt.erase(it);
        for (auto& entry : valueAt)
            if (entry.second > at) --entry.second;
        return true;
    }
};

constexpr const char* kRootNames[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS",
                                      "HKEY_CURRENT_CONFIG"};

struct Tree {
    std::vector<std::unique_ptr<Key>> roots;

    Key& rootKey(const std::string& name) {
        for (const auto& r : roots)
            if (sameText(r->name, name)) return *r;
        roots.push_back(std::make_unique<Key>());
        roots.back()->name = name;
        return *roots.back();
    }
};

std::vector<std::string> splitKeyPath(const std::string& path) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('\\', i);
        if (j == std::string::npos) j = path.size();
        if (j > i) out.push_back(path.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

// Root name and key names of a key as it is stored (HKEY_CLASSES_ROOT lives
// in HKEY_LOCAL_MACHINE\Software\Classes).
std::pair<std::string, std::vector<std::string>> storedPath(RegRoot root, const std::string& path) {
    std::vector<std::string> names = splitKeyPath(path);
    if (root == RegRoot::ClassesRoot) {
        names.insert(names.begin(), {"Software", "Classes"});
        return {"HKEY_LOCAL_MACHINE", names};
    }
    return {regRootName(root), names};
}

// Why a key of these names (below its root) cannot be stored; nullptr when it
// can. A control character would break the "[...]" line of the key; a tab is
// kept as it is.
const char* keyProblem(const std::vector<std::string>& names) {
    if (names.size() > kMaxKeyDepth) return "mehr als 512 Ebenen";
    for (const std::string& name : names) {
        if (name.size() > kMaxKeyName) return "Schl\xFCsselname l\xE4nger als 255 Zeichen";
        for (unsigned char c : name)
            if (c < 0x20 && c != '\t') return "Steuerzeichen im Schl\xFCsselnamen";
    }
    return nullptr;
}

// A value name can be written: line breaks are escaped in its quotes, other
// control characters have no form there.
bool storableValueName(const std::string& name) {
    if (name.size() > kMaxValueName) return false;
    for (unsigned char c : name)
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

// ---- Writing ----

bool needsHexForm(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 && c != '\t') return true;
    return false;
}

// A quoted name or text; line breaks in a value name are written as \r and \n.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            out += c == '\r' ? "\\r" : "\\n";
            continue;
        }
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string hexBytes(const char* prefix, const std::string& bytes) {
    std::string out = prefix;
    size_t column = out.size();
    char buffer[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
        out += buffer;
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column > 76) { // regedit's continuation lines
                out += "\\\r\n  ";
                column = 2;
            }
        }
    }
    return out;
}

// Writes a root and its keys depth first, in the order they were created,
// with a stack of its own: no recursion over the depth of the tree.
void writeTree(std::string& out, const Key& root) {
    std::vector<std::pair<const Key*, std::string>> pending{{&root, root.name}};
    while (!pending.empty()) {
        const auto [key, path] = std::move(pending.back());
        pending.pop_back();
        // Keys that only hold other keys come into being with them.
        if (!key->values.empty() || (key != &root && key->children.empty())) {
            out += "[" + path + "]\r\n";
            for (const Value& v : key->values) {
                out += v.name.empty() ? std::string("@") : quoted(v.name);
                out += '=';
                if (!v.raw.empty()) {
                    out += v.raw;
                } else if (v.type == RegType::Dword) {
                    char buffer[16];
                    std::snprintf(buffer, sizeof buffer, "dword:%08x", v.dword);
                    out += buffer;
                } else if (needsHexForm(v.data)) {
                    // Line breaks inside a quoted text would break the file: REG_SZ in hex form.
                    out += hexBytes("hex(1):", v.data + std::string(1, '\0'));
                } else {
                    out += quoted(v.data);
                }
                out += "\r\n";
            }
            out += "\r\n";
        }
        for (auto it = key->children.rbegin(); it != key->children.rend(); ++it)
            pending.emplace_back(it->get(), path + "\\" + (*it)->name);
    }
}

std::string serialize(const Tree& tree) {
    std::string out = "REGEDIT4\r\n\r\n";
    for (const auto& r : tree.roots)
        writeTree(out, *r);
    return out;
}

// ---- Reading ----

struct ParseError {
    size_t line;
    std::string reason;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

// A quoted text starting at s[pos] == '"'; pos ends after the closing quote.
bool parseQuoted(const std::string& s, size_t& pos, std::string& out) {
    out.clear();
    ++pos;
    while (pos < s.size()) {
        const char c = s[pos++];
        if (c == '"') return true;
        if (c == '\\' && pos < s.size()) {
            const char e = s[pos++];
            if (e == '\\' || e == '"')
                out += e;
            else if (e == 'n')
                out += '\n';
            else if (e == 'r')
                out += '\r';
            else {
                out += '\\';
                out += e;
            }
        } else {
            out += c;
        }
    }
    return false;
}

// "hex:..." or "hex(N):..." with its bytes; false when malformed.
bool parseHex(const std::string& text, RegType& type, std::string& bytes) {
    size_t pos = 3;
    uint32_t kind = static_cast<uint32_t>(RegType::Binary);
    if (pos < text.size() && text[pos] == '(') {
        size_t close = text.find(')', pos);
        if (close == std::string::npos || close == pos + 1) return false;
        kind = 0;
        for (size_t i = pos + 1; i < close; ++i) {
            const int d = hexDigit(text[i]);
            if (d < 0 || kind > 0x0FFFFFFF) return false;
            kind = kind * 16 + static_cast<uint32_t>(d);
        }
        pos = close + 1;
    }
    if (pos >= text.size() || text[pos] != ':') return false;
    ++pos;
    bytes.clear();
    bool expectByte = true;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\\') {
            ++pos;
        } else if (c == ',' && !expectByte) {
            expectByte = true;
            ++pos;
        } else if (expectByte && pos + 1 < text.size() && hexDigit(c) >= 0 &&
                   hexDigit(text[pos + 1]) >= 0) {
            bytes += static_cast<char>(hexDigit(c) * 16 + hexDigit(text[pos + 1]));
            expectByte = false;
            pos += 2;
        } else {
            return false;
        }
    }
    if (expectByte && !bytes.empty()) return false; // a trailing comma
    type = static_cast<RegType>(kind);
    return true;
}

std::optional<ParseError> parse(const std::string& bytes, Tree& tree) {
    std::vector<std::string> lines;
    {
        size_t i = 0;
        while (i < bytes.size()) {
            size_t j = bytes.find('\n', i);
            if (j == std::string::npos) j = bytes.size();
            std::string line = bytes.substr(i, j - i);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            i = j + 1;
        }
    }
    if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);
    if (lines.empty() || trimmed(lines[0]) != "REGEDIT4")
        return ParseError{1, "\"REGEDIT4\" erwartet"};

    Key* current = nullptr;
    for (size_t n = 1; n < lines.size(); ++n) {
        const std::string line = trimmed(lines[n]);
        const size_t lineNo = n + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return ParseError{lineNo, "\"]\" fehlt"};
            const std::string inner = line.substr(1, line.size() - 2);
            if (!inner.empty() && inner[0] == '-')
                return ParseError{lineNo, "L\xF6schzeilen werden nicht unterst\xFCtzt"};
            std::vector<std::string> names = splitKeyPath(inner);
            if (names.empty()) return ParseError{lineNo, "Schl\xFCsselname fehlt"};
            std::string rootName;
            if (sameText(names[0], "HKEY_CLASSES_ROOT")) {
                rootName = "HKEY_LOCAL_MACHINE";
                names.erase(names.begin());
                names.insert(names.begin(), {"Software", "Classes"});
            } else {
                for (const char* known : kRootNames)
                    if (sameText(names[0], known)) rootName = known;
                if (rootName.empty())
                    return ParseError{lineNo, "unbekannter Hauptschl\xFCssel " + names[0]};
                names.erase(names.begin());
            }
            if (const char* problem = keyProblem(names)) return ParseError{lineNo, problem};
            current = &tree.rootKey(rootName);
            for (const std::string& name : names) {
                Key* next = current->child(name);
                current = next ? next : &current->addChild(name);
            }
            continue;
        }
        if (line[0] != '"' && line[0] != '@') return ParseError{lineNo, "unerwarteter Text"};
        if (!current)
            return ParseError{lineNo, "Wert au\xDF"
                                      "erhalb eines Schl\xFCssels"};
        Value v;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!parseQuoted(line, pos, v.name)) {
            return ParseError{lineNo, "Anf\xFChrungszeichen fehlt"};
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        if (pos >= line.size() || line[pos] != '=') return ParseError{lineNo, "\"=\" fehlt"};
        ++pos;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        const std::string rest = line.substr(pos);
        if (!rest.empty() && rest[0] == '"') {
            size_t p = 0;
            if (!parseQuoted(rest, p, v.data) || !trimmed(rest.substr(p)).empty())
                return ParseError{lineNo, "Text ohne schlie\xDF"
                                          "endes Anf\xFChrungszeichen"};
            v.type = RegType::String;
        } else if (rest.rfind("dword:", 0) == 0) {
            const std::string digits = trimmed(rest.substr(6));
            if (digits.empty() || digits.size() > 8) return ParseError{lineNo, "DWORD ung\xFCltig"};
            uint32_t value = 0;
            for (char c : digits) {
                if (hexDigit(c) < 0) return ParseError{lineNo, "DWORD ung\xFCltig"};
                value = value * 16 + static_cast<uint32_t>(hexDigit(c));
            }
            v.type = RegType::Dword;
            v.dword = value;
        } else if (rest.rfind("hex", 0) == 0) {
            // Continuation lines end with a backslash; keep them as written.
            std::string raw = rest;
            size_t last = n;
            while (!trimmed(raw).empty() && trimmed(raw).back() == '\\' &&
                   last + 1 < lines.size()) {
                ++last;
                raw += "\r\n" + lines[last];
            }
            n = last;
            if (!parseHex(raw, v.type, v.data)) return ParseError{lineNo, "Hex-Daten ung\xFCltig"};
            v.raw = raw;
            if (v.type == RegType::Dword) {
                if (v.data.size() != 4) return ParseError{lineNo, "DWORD ung\xFCltig"};
                for (int i = 3; i >= 0; --i)
                    v.dword = v.dword * 256 + static_cast<unsigned char>(v.data[i]);
            } else if (v.type == RegType::String || v.type == RegType::ExpandString) {
                while (!v.data.empty() && v.data.back() == '\0')
                    v.data.pop_back();
            }
        } else {
            return ParseError{lineNo, "unbekannte Wertart"};
        }
        if (Value* existing = current->value(v.name))
            *existing = std::move(v);
        else
            current->setValue(std::move(v));
    }
    return std::nullopt;
}

// ---- The registry of this process ----

struct Stamp {
    bool exists = false;
    ino_t inode = 0;
    off_t size = 0;
    int64_t mtimeNs = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp stampOf(const std::string& file) {
    Stamp s;
    struct stat st;
    if (stat(file.c_str(), &st) == 0) {
        s.exists = true;
        s.inode = st.st_ino;
        s.size = st.st_size;
        s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return s;
}

struct Registry {
    std::mutex mutex;
    bool loaded = false;
    std::string file;
    Stamp stamp;
    Tree tree;
    std::string problem;

    // Brings the contents up to date with the file; false when it is unusable.
    bool refresh() {
        const std::string base = emulated::root();
        if (base.empty()) {
            problem = emulated::rootProblem();
            loaded = false;
            return false;
        }
        const std::string path = base + "/registry.reg";
        const Stamp now = stampOf(path);
        if (loaded && path == file && now == stamp) return problem.empty();
        file = path;
        stamp = now;
        tree = Tree();
        problem.clear();
        loaded = true;
        if (!now.exists) return true; // removed by hand: an empty registry
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        if (!in.good() && !in.eof()) {
            problem = "Die Registrierung " + utf8ToCp1252(path) + " kann nicht gelesen werden.";
            return false;
        }
        if (const std::optional<ParseError> error = parse(bytes, tree)) {
            tree = Tree();
            problem = "Die Registrierung " + utf8ToCp1252(path) + " ist in Zeile " +
                      std::to_string(error->line) +
                      " besch\xE4"
                      "digt (" +
                      error->reason + ").";
            return false;
        }
        return true;
    }

    // Writes the contents; on failure forgets them so that the next call rereads the file.
    uint32_t save() {
        uint32_t error = 0;
        if (!emulated::replaceFile(file, serialize(tree), error)) {
            loaded = false;
            return error;
        }
        stamp = stampOf(file);
        return kErrSuccess;
    }

    Key* find(const std::string& rootName, const std::vector<std::string>& names) {
        Key* key = nullptr;
        for (const auto& r : tree.roots)
            if (sameText(r->name, rootName)) key = r.get();
        for (const std::string& name : names) {
            if (!key) return nullptr;
            key = key->child(name);
        }
        return key;
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

// Serialises changes between processes: an exclusive lock on registry.lock.
class ChangeLock {
  public:
    ChangeLock() {
        const std::string base = emulated::root();
        if (base.empty()) return;
        fd_ = ::open((base + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0)
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~ChangeLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    ChangeLock(const ChangeLock&) = delete;
    ChangeLock& operator=(const ChangeLock&) = delete;

  private:
    int fd_ = -1;
};

// Where an open key lives; the key itself is looked up anew on every call,
// since the contents may have been reread in between.
struct KeyRef {
    std::string rootName;
    std::vector<std::string> names;
    bool writable = false;
    bool standIn = false; // an always-present system key that registry.reg lacks
};

// Keys that every NT Windows has. The version rules take a missing key for an
// old NT; the emulation's version defaults (Windows 7) imply the key, so a
// registry.reg without it reads as the key with no values.
bool isSystemKey(const std::string& rootName, const std::vector<std::string>& names) {
    static const char* const kVersionKey[] = {"Software", "Microsoft", "Windows NT",
                                              "CurrentVersion"};
    if (rootName != "HKEY_LOCAL_MACHINE" || names.size() != 4) return false;
    for (size_t i = 0; i < 4; ++i)
        if (strcasecmp(names[i].c_str(), kVersionKey[i]) != 0) return false;
    return true;
}

} // namespace

struct RegKey::Impl : KeyRef {};

RegKey::RegKey() = default;
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;

uint32_t RegKey::open(RegRoot root, const std::string& path, RegAccess access, bool create) {
    impl_.reset();
    auto [rootName, names] = storedPath(root, path);
    if (keyProblem(names)) return create ? kErrInvalidParameter : kErrFileNotFound;
    Registry& reg = registry();
    std::optional<ChangeLock> lock;
    if (create) lock.emplace();
    std::lock_guard guard(reg.mutex);
    if (!reg.refresh()) return kErrBadDb;
    Key* key = &reg.tree.rootKey(rootName);
    bool created = false;
    bool standIn = false;
    for (const std::string& name : names) {
        Key* next = key->child(name);
        if (!next && !create && access == RegAccess::Read && isSystemKey(rootName, names)) {
            standIn = true;
            break;
        }
        if (!next) {
            if (!create) return kErrFileNotFound;
            next = &key->addChild(name);
            created = true;
        }
        key = next;
    }
    if (created)
        if (const uint32_t error = reg.save()) return error;
    impl_ = std::make_unique<Impl>();
    impl_->rootName = rootName;
    impl_->names = std::move(names);
    impl_->writable = access == RegAccess::All;
    impl_->standIn = standIn;
    return kErrSuccess;
}

bool RegKey::isOpen() const {
    return impl_ != nullptr;
}

void RegKey::close() {
    impl_.reset();
}

std::optional<RegType> RegKey::valueType(const std::string& name) const {
    if (!impl_) return std::nullopt;
    Registry& reg = registry();
    std::lock_guard guard(reg.mutex);
    if (!reg.refresh()) return std::nullopt;
    Key* key = reg.find(impl_->rootName, impl_->names);
    const Value* v = key ? key->value(name) : nullptr;
    if (!v) return std::nullopt;
    return v->type;
}

uint32_t RegKey::queryString(const std::string& name, std::string& out) const {
    if (!impl_) return kErrInvalidHandle;
    Registry& reg = registry();
    std::lock_guard guard(reg.mutex);
    if (!reg.refresh()) return kErrBadDb;
    Key* key = reg.find(impl_->rootName, impl_->names);
    if (!key) return impl_->standIn ? kErrFileNotFound : kErrKeyDeleted;
    const Value* v = key->value(name);
    if (!v) return kErrFileNotFound;
    if (v->type != RegType::String && v->type != RegType::ExpandString) return kErrInvalidData;
    out = v->data;
    return kErrSuccess;
}

uint32_t RegKey::queryDword(const std::string& name, uint32_t& out) const {
    if (!impl_) return kErrInvalidHandle;
    Registry& reg = registry();
    std::lock_guard guard(reg.mutex);
    if (!reg.refresh()) return kErrBadDb;
    Key* key = reg.find(impl_->rootName, impl_->names);
    if (!key) return impl_->standIn ? kErrFileNotFound : kErrKeyDeleted;
    const Value* v = key->value(name);
    if (!v) return kErrFileNotFound;
    if (v->type != RegType::Dword) return kErrInvalidData;
    out = v->dword;
    return kErrSuccess;
}

namespace {

// Applies one change to value name of the key under the locks and writes the file.
template <typename Change>
uint32_t changeValue(const KeyRef* impl, const std::string& name, Change&& change) {
    if (!impl) return kErrInvalidHandle;
    if (!impl->writable) return kErrAccessDenied;
    if (!storableValueName(name)) return kErrInvalidParameter;
    ChangeLock lock;
    Registry& reg = registry();
    std::lock_guard guard(reg.mutex);
    if (!reg.refresh()) return kErrBadDb;
    Key* key = reg.find(impl->rootName, impl->names);
    if (!key) return kErrKeyDeleted;
    const uint32_t result = change(*key);
    if (result != kErrSuccess) return result;
    return reg.save();
}

// Sets a value; an existing value of that name keeps the case of its name.
uint32_t storeValue(const KeyRef* impl, Value v) {
    return changeValue(impl, v.name, [&](Key& key) {
        key.setValue(std::move(v));
        return kErrSuccess;
    });
}

} // namespace

uint32_t RegKey::setString(const std::string& name, const std::string& value) {
    Value v;
    v.name = name;
    v.type = RegType::String;
    v.data = value;
    return storeValue(impl_.get(), std::move(v));
}

uint32_t RegKey::setDword(const std::string& name, uint32_t value) {
    Value v;
    v.name = name;
    v.type = RegType::Dword;
    v.dword = value;
    return storeValue(impl_.get(), std::move(v));
}

uint32_t RegKey::deleteValue(const std::string& name) {
    return changeValue(impl_.get(), name, [&](Key& key) -> uint32_t {
        return key.eraseValue(name) ? kErrSuccess : kErrFileNotFound;
    });
}

void flushRegistry() {
    emulated::flushReplacedFiles();
}

namespace emulated {

bool writeFreshRegistry(const std::string& file, uint32_t& error) {
    Tree tree;
    auto keyAt = [&](const char* rootName, const std::string& path) -> Key& {
        Key* key = &tree.rootKey(rootName);
        for (const std::string& name : splitKeyPath(path)) {
            Key* next = key->child(name);
            key = next ? next : &key->addChild(name);
        }
        return *key;
    };
    auto add = [](Key& key, const char* name, const std::string& text) {
        Value v;
        v.name = name;
        v.data = text;
        key.setValue(std::move(v));
    };
    const std::string version = "Software\\Microsoft\\Windows\\CurrentVersion";
    const std::string shell = version + "\\Explorer\\Shell Folders";
    const std::string userMenu =
        "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
    const std::string commonMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
    add(keyAt("HKEY_LOCAL_MACHINE", version), "ProgramFilesDir", "C:\\Program Files");
    Key& machineShell = keyAt("HKEY_LOCAL_MACHINE", shell);
    add(machineShell, "Common Start Menu", commonMenu);
    add(machineShell, "Common Programs", commonMenu + "\\Programs");
    Key& userShell = keyAt("HKEY_CURRENT_USER", shell);
    add(userShell, "Start Menu", userMenu);
    add(userShell, "Programs", userMenu + "\\Programs");
    return replaceFile(file, serialize(tree), error);
}

void resetRegistry() {
    Registry& reg = registry();
    std::lock_guard guard(reg.mutex);
    reg.loaded = false;
    reg.file.clear();
    reg.tree = Tree();
    reg.problem.clear();
}

bool registryProblem(std::string& message) {
    Registry& reg = registry();
    std::lock_guard guard(reg.mutex);
    if (reg.refresh()) return false;
    message = reg.problem;
    return true;
}

} // namespace emulated
} // namespace plat
