// The font table of the emulated Windows: a font file is accepted when its
// header shows a TrueType or OpenType font; the table lives as long as the
// process. A ".FOT" file is a marker naming its font file.
#include "platform/Fonts.h"

#include <mutex>
#include <set>

#include "platform/FileSystem.h"
#include "platform/FontFile.h"
#include "platform/emulated/Emulated.h"

namespace plat {
namespace {

const std::string kFotMarker = "SETUP-FOT\r\n";
// Any real font file name fits; a longer marker is not one of ours.
constexpr uint64_t kMaxFotSize = 4096;

std::mutex tableLock;
std::set<std::string>& Table() {
    static std::set<std::string> table;
    return table;
}

bool IsAbsolute(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && path[0] == '\\');
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\:");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (IsAbsolute(name) || folder.empty()) return name;
    const char last = folder.back();
    return last == '\\' || last == ':' ? folder + name : folder + "\\" + name;
}

// The font file a marker ".FOT" file names; empty when file is no marker.
std::string MarkedFont(const std::string& file) {
    File f;
    if (!f.open(file, OpenMode::Read)) return {};
    const std::optional<uint64_t> size = f.size();
    if (!size || *size > kMaxFotSize) return {};
    std::string bytes(*size, '\0');
    if (f.read(bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size())) return {};
    if (bytes.compare(0, kFotMarker.size(), kFotMarker) != 0) return {};
    std::string name = bytes.substr(kFotMarker.size());
    const size_t end = name.find_first_of("\r\n");
    if (end != std::string::npos) name.resize(end);
    return name.empty() ? std::string() : Join(FolderOf(file), name);
}

} // namespace

int addFontResource(const std::string& file) {
    const std::string marked = MarkedFont(file);
    const std::string font = marked.empty() ? file : marked;
    if (!inspectFontFile(font, nullptr)) return 0;
    const std::lock_guard<std::mutex> guard(tableLock);
    Table().insert(emulated::upper(file));
    return 1;
}

uint32_t removeFontResource(const std::string& file) {
    const std::lock_guard<std::mutex> guard(tableLock);
    return Table().erase(emulated::upper(file)) ? kErrSuccess : kErrFileNotFound;
}

uint32_t createScalableFontResource(const std::string& fotFile, const std::string& fontFile,
                                    const std::string& currentPath) {
    if (!inspectFontFile(Join(currentPath, fontFile), nullptr)) return kErrInvalidParameter;
    File f;
    if (!f.open(fotFile, OpenMode::CreateNew)) return f.lastError();
    const std::string bytes = kFotMarker + fontFile + "\r\n";
    if (f.write(bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size())) {
        const uint32_t error = f.lastError() != 0 ? f.lastError() : kErrDiskFull;
        f.close();
        deleteFile(fotFile);
        return error;
    }
    return kErrSuccess;
}

void broadcastFontChange() {}

} // namespace plat
