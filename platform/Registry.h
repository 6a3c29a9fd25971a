// Registry services of the platform layer: the real registry on Windows, the
// REGEDIT4 file of the emulated Windows on Linux. Key paths have no leading
// backslash; names and values are Windows-1252. Results are Win32 error codes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace plat {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine };

enum class RegAccess { Read, All };

enum class RegType : uint32_t { None = 0, String = 1, ExpandString = 2, Binary = 3, Dword = 4 };

// An open registry key. Not copyable; closes when destroyed.
class RegKey {
  public:
    RegKey();
    ~RegKey();
    RegKey(RegKey&&) noexcept;
    RegKey& operator=(RegKey&&) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Opens root\path (RegOpenKeyEx); with create, missing keys are created
    // (RegCreateKeyEx). An empty path opens the root itself.
    uint32_t open(RegRoot root, const std::string& path, RegAccess access, bool create = false);
    bool isOpen() const;
    void close();

    // Type of a value; nullopt when it does not exist. An empty name is the default value.
    std::optional<RegType> valueType(const std::string& name) const;
    // A REG_SZ or REG_EXPAND_SZ value (without its terminating zero).
    uint32_t queryString(const std::string& name, std::string& out) const;
    uint32_t queryDword(const std::string& name, uint32_t& out) const;
    // Any value as stored: its type and bytes (a string's text without its
    // terminating zero, a DWORD's 4 bytes little-endian, other kinds their bytes).
    uint32_t queryValue(const std::string& name, RegType& type, std::string& bytes) const;
    uint32_t setString(const std::string& name, const std::string& value);
    uint32_t setDword(const std::string& name, uint32_t value);
    // A value of any type: the text of a REG_SZ or REG_EXPAND_SZ (without its
    // terminating zero), the four little-endian bytes of a REG_DWORD, the
    // bytes of any other kind.
    uint32_t setValue(const std::string& name, RegType type, const std::string& data);
    uint32_t deleteValue(const std::string& name);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Whether a key exists (opened for reading).
bool regKeyExists(RegRoot root, const std::string& path);

// Removes a key that holds no values and no subkeys: 0; kErrFileNotFound
// when it does not exist, kErrDirNotEmpty when it holds anything.
uint32_t regDeleteEmptyKey(RegRoot root, const std::string& path);
inline constexpr uint32_t kErrDirNotEmpty = 145; // ERROR_DIR_NOT_EMPTY

// Full name of a root ("HKEY_LOCAL_MACHINE", ...).
const char* regRootName(RegRoot root);

// Puts the registry changes made so far on the disk. Every change is in
// place when its call returns; the emulated registry is flushed only here and
// at exit, Windows flushes its registry itself.
void flushRegistry();

} // namespace plat
