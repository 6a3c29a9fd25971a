// Shortcut files in the published Shell Link binary format: the header, a
// LinkInfo with the target's local base path (ANSI and Unicode), and the
// StringData (description, relative path, working folder, arguments, icon
// location) in UTF-16. No COM on this side: the link is kept in memory and
// written when saved.
#include "platform/ShellLink.h"

#include <vector>

#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/System.h"

namespace plat {

namespace {

enum : uint32_t {
    HasLinkInfo = 0x02,
    HasName = 0x04,
    HasRelativePath = 0x08,
    HasWorkingDir = 0x10,
    HasArguments = 0x20,
    HasIconLocation = 0x40,
    IsUnicode = 0x80,
};

constexpr uint8_t LinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t DriveFixed = 3;

class Bytes {
  public:
    void u16(uint32_t v) {
        data.push_back(static_cast<uint8_t>(v));
        data.push_back(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void u64(uint64_t v) {
        u32(static_cast<uint32_t>(v));
        u32(static_cast<uint32_t>(v >> 32));
    }
    void raw(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        data.insert(data.end(), b, b + n);
    }
    // Zero-terminated Windows-1252 text.
    void ansiz(const std::string& text) { raw(text.c_str(), text.size() + 1); }
    // Zero-terminated UTF-16.
    void unicodez(const std::string& text) {
        for (wchar_t c : cp1252ToWide(text))
            u16(static_cast<uint32_t>(c));
        u16(0);
    }
    // A StringData entry: count of characters, then UTF-16 without terminator.
    void counted(const std::string& text) {
        const std::wstring wide = cp1252ToWide(text);
        u16(static_cast<uint32_t>(wide.size() > 0xFFFF ? 0xFFFF : wide.size()));
        for (size_t i = 0; i < wide.size() && i < 0xFFFF; ++i)
            u16(static_cast<uint32_t>(wide[i]));
    }
    void patch32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            data[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    }
    std::vector<uint8_t> data;
};

bool IsAbsolute(const std::string& path) {
    return path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

char UpCase(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 32);
    return c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpCase(a[i]) != UpCase(b[i])) return false;
    return true;
}

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The target relative to the folder of the link file (".\x.exe",
// "..\Apps\x.exe"); empty when they lie on different drives.
std::string RelativePath(const std::string& linkFile, const std::string& target) {
    if (!IsAbsolute(linkFile) || !IsAbsolute(target)) return {};
    std::vector<std::string> from = Components(linkFile);
    from.pop_back(); // the link file's own name
    const std::vector<std::string> to = Components(target);
    if (from.empty() || to.empty() || !SameName(from[0], to[0])) return {};
    size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && SameName(from[common], to[common]))
        ++common;
    std::string result;
    for (size_t i = common; i < from.size(); ++i)
        result += "..\\";
    if (result.empty()) result = ".\\";
    for (size_t i = common; i < to.size(); ++i)
        result += to[i] + (i + 1 < to.size() ? "\\" : "");
    return result;
}

int32_t FromWin32(uint32_t error) {
    return error == 0 ? static_cast<int32_t>(0x80004005) // E_FAIL
                      : static_cast<int32_t>(0x80070000u | (error & 0xFFFF));
}

} // namespace

int32_t comInitialize() {
    return 0;
}

void comUninitialize() {}

struct ShellLink::Impl {
    std::string path, description, workingDirectory, arguments, iconFile;
    int32_t iconIndex = 0;
    int32_t showCmd = 1;
    uint16_t hotKey = 0;

    std::vector<uint8_t> Serialise(const std::string& linkFile) const {
        const bool absolute = IsAbsolute(path);
        const std::string relative = absolute ? RelativePath(linkFile, path) : path;
        uint32_t flags = IsUnicode;
        if (absolute) flags |= HasLinkInfo;
        if (!description.empty()) flags |= HasName;
        if (!relative.empty()) flags |= HasRelativePath;
        if (!workingDirectory.empty()) flags |= HasWorkingDir;
        if (!arguments.empty()) flags |= HasArguments;
        if (!iconFile.empty()) flags |= HasIconLocation;

        // Attributes, times and size of the target as far as it exists.
        const std::optional<DirEntry> target = absolute ? statPath(path) : std::nullopt;

        Bytes out;
        out.u32(0x4C);
        out.raw(LinkClsid, sizeof LinkClsid);
        out.u32(flags);
        out.u32(target ? target->attributes : 0);
        out.u64(target ? target->creationTime : 0);
        out.u64(target ? target->accessTime : 0);
        out.u64(target ? target->writeTime : 0);
        out.u32(target ? static_cast<uint32_t>(target->size) : 0);
        out.u32(static_cast<uint32_t>(iconIndex));
        // Stored as given, as the Windows shell link object does (readers
        // treat commands other than 3 and 7 as a normal window).
        out.u32(static_cast<uint32_t>(showCmd));
        out.u16(hotKey);
        out.u16(0);
        out.u32(0);
        out.u32(0);

        if (absolute) {
            // LinkInfo: header of 0x24 bytes (with the Unicode offsets), the
            // VolumeID of a fixed drive without label, the base path in both
            // forms and an empty common path suffix.
            const size_t start = out.data.size();
            out.u32(0); // size, patched below
            out.u32(0x24);
            out.u32(1); // VolumeIDAndLocalBasePath
            const size_t offsets = out.data.size();
            for (int i = 0; i < 6; ++i)
                out.u32(0);
            const auto here = [&] { return static_cast<uint32_t>(out.data.size() - start); };
            out.patch32(offsets, here()); // VolumeIDOffset
            out.u32(0x11);
            out.u32(DriveFixed);
            out.u32(0);    // serial number
            out.u32(0x10); // label offset
            out.data.push_back(0);
            out.patch32(offsets + 4, here()); // LocalBasePathOffset
            out.ansiz(path);
            out.patch32(offsets + 12, here()); // CommonPathSuffixOffset
            out.data.push_back(0);
            if (out.data.size() % 2) out.data.push_back(0);
            out.patch32(offsets + 16, here()); // LocalBasePathOffsetUnicode
            out.unicodez(path);
            out.patch32(offsets + 20, here()); // CommonPathSuffixOffsetUnicode
            out.u16(0);
            out.patch32(start, here());
        }

        if (flags & HasName) out.counted(description);
        if (flags & HasRelativePath) out.counted(relative);
        if (flags & HasWorkingDir) out.counted(workingDirectory);
        if (flags & HasArguments) out.counted(arguments);
        if (flags & HasIconLocation) out.counted(iconFile);
        out.u32(0); // TerminalBlock
        return out.data;
    }
};

ShellLink::ShellLink() : impl_(std::make_unique<Impl>()) {}
ShellLink::~ShellLink() = default;

int32_t ShellLink::create() {
    return 0;
}
int32_t ShellLink::setPath(const std::string& path) {
    impl_->path = path;
    // A bare program name is looked up in the system and Windows folders, as
    // the shell's link object searches for it.
    if (!path.empty() && path.find_first_of("\\:") == std::string::npos) {
        for (std::string folder : {systemDirectory(), windowsDirectory()}) {
            if (folder.empty()) continue;
            if (folder.back() != '\\') folder += '\\';
            if (fileExists(folder + path)) {
                impl_->path = folder + path;
                break;
            }
        }
    }
    return 0;
}
int32_t ShellLink::setDescription(const std::string& description) {
    impl_->description = description;
    return 0;
}
int32_t ShellLink::setWorkingDirectory(const std::string& folder) {
    impl_->workingDirectory = folder;
    return 0;
}
int32_t ShellLink::setArguments(const std::string& arguments) {
    impl_->arguments = arguments;
    return 0;
}
int32_t ShellLink::setHotkey(uint16_t hotKey) {
    impl_->hotKey = hotKey;
    return 0;
}
int32_t ShellLink::setShowCmd(int32_t showCmd) {
    impl_->showCmd = showCmd;
    return 0;
}
int32_t ShellLink::setIconLocation(const std::string& iconFile, int32_t index) {
    impl_->iconFile = iconFile;
    impl_->iconIndex = index;
    return 0;
}
int32_t ShellLink::queryPersistFile() {
    return 0;
}

int32_t ShellLink::save(const std::string& linkFile) {
    std::string name = linkFile.substr(0, 259);
    const std::vector<uint8_t> bytes = impl_->Serialise(name);
    // Written beside the old file and moved over it: a failed write leaves
    // any earlier shortcut as it was. The temporary name is the copier's
    // ("~setup<process>_<n>."), so that the copy a killed run left behind is
    // removed as a stale temporary file of its folder.
    const std::string temp = name.substr(0, name.find_last_of("\\:") + 1) + "~setup" +
                             std::to_string(currentProcessId()) + "_0.lnk";
    File file;
    if (!file.open(temp, OpenMode::CreateAlways)) return FromWin32(file.lastError());
    const int64_t written = file.write(bytes.data(), bytes.size());
    const uint32_t writeError = file.lastError();
    file.close();
    if (written != static_cast<int64_t>(bytes.size())) {
        deleteFile(temp);
        return FromWin32(writeError == 0 ? 112 : writeError);
    }
    if (!moveFile(temp, name, true)) {
        const uint32_t error = lastError();
        deleteFile(temp);
        return FromWin32(error);
    }
    return 0;
}

void broadcastWinIniChange() {}

} // namespace plat
