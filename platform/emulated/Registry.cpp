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
#include <fstream>
#include <iterator>
#include <mutex>

#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/emulated/RegistryTree.h"

namespace plat {
namespace {

using emulated::Key;
using emulated::keyProblem;
using emulated::parse;
using emulated::ParseError;
using emulated::sameText;
using emulated::serialize;
using emulated::splitKeyPath;
using emulated::storableValueName;
using emulated::Tree;
using emulated::Value;

constexpr uint32_t kErrBadDb = 1009;      // ERROR_BADDB
constexpr uint32_t kErrKeyDeleted = 1018; // ERROR_KEY_DELETED
constexpr uint32_t kErrInvalidData = 13;  // ERROR_INVALID_DATA
constexpr uint32_t kErrInvalidHandle = 6; // ERROR_INVALID_HANDLE

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

uint32_t RegKey::queryValue(const std::string& name, RegType& type, std::string& bytes) const {
    if (!impl_) return kErrInvalidHandle;
    Registry& reg = registry();
    std::lock_guard guard(reg.mutex);
    if (!reg.refresh()) return kErrBadDb;
    Key* key = reg.find(impl_->rootName, impl_->names);
    if (!key) return impl_->standIn ? kErrFileNotFound : kErrKeyDeleted;
    const Value* v = key->value(name);
    if (!v) return kErrFileNotFound;
    type = v->type;
    if (v->type == RegType::Dword) {
        bytes.clear();
        for (int shift = 0; shift < 32; shift += 8)
            bytes += static_cast<char>((v->dword >> shift) & 0xFF);
    } else {
        bytes = v->data;
    }
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

uint32_t RegKey::setValue(const std::string& name, RegType type, const std::string& data) {
    Value v;
    v.name = name;
    v.type = type;
    v.data = data;
    if (type == RegType::Dword) {
        if (data.size() != 4) return kErrInvalidParameter;
        for (int i = 3; i >= 0; --i)
            v.dword = v.dword * 256 + static_cast<unsigned char>(data[static_cast<size_t>(i)]);
    }
    return storeValue(impl_.get(), std::move(v));
}

uint32_t RegKey::deleteValue(const std::string& name) {
    return changeValue(impl_.get(), name, [&](Key& key) -> uint32_t {
        return key.eraseValue(name) ? kErrSuccess : kErrFileNotFound;
    });
}

uint32_t regDeleteEmptyKey(RegRoot root, const std::string& path) {
    auto [rootName, names] = storedPath(root, path);
    if (names.empty() || keyProblem(names)) return kErrFileNotFound;
    ChangeLock lock;
    Registry& reg = registry();
    std::lock_guard guard(reg.mutex);
    if (!reg.refresh()) return kErrBadDb;
    const std::string last = names.back();
    names.pop_back();
    Key* parent = reg.find(rootName, names);
    Key* key = parent ? parent->child(last) : nullptr;
    if (!key) return kErrFileNotFound;
    if (!key->values.empty() || !key->children.empty()) return kErrDirNotEmpty;
    parent->eraseChild(last);
    return reg.save();
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
