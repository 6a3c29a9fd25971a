// The version resource of a PE file, read without the Win32 API: the section
// table maps the resource directory's address to the file, the directory tree
// leads to the first RT_VERSION resource, and its VS_VERSIONINFO block is
// walked by key. Every offset read from the file is checked against the file
// and block bounds; anything that does not add up means "no version resource".
#include "platform/VersionInfo.h"

#include <cstring>
#include <optional>

#include "platform/Cp1252.h"
#include "platform/FileSystem.h"

namespace plat {

namespace {

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kResourceDirectoryIndex = 2;
// A version resource is a few kilobytes; more is not one.
constexpr uint32_t kMaxVersionSize = 1024 * 1024;
constexpr uint32_t kMaxSections = 96;

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads byte ranges of a file, refusing any range outside it.
class PeFile {
  public:
    bool open(const std::string& path) {
        if (!file_.open(path, OpenMode::Read)) return false;
        const auto size = file_.size();
        size_ = size ? *size : 0;
        return size.has_value();
    }
    bool read(uint64_t offset, void* buffer, uint64_t count) {
        if (offset > size_ || count > size_ - offset) return false;
        if (!file_.seek(offset)) return false;
        auto* out = static_cast<uint8_t*>(buffer);
        while (count > 0) {
            const int64_t n = file_.read(out, count);
            if (n <= 0) return false;
            out += n;
            count -= static_cast<uint64_t>(n);
        }
        return true;
    }

  private:
    File file_;
    uint64_t size_ = 0;
};

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

class VersionResourceReader {
  public:
    bool load(const std::string& path, std::vector<uint8_t>& block) {
        if (!pe_.open(path) || !readHeaders()) return false;
        return findVersion(block);
    }

  private:
    bool readHeaders() {
        uint8_t dos[64];
        if (!pe_.read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
        const uint32_t peOffset = Get32(dos + 0x3C);
        uint8_t coff[24];
        if (!pe_.read(peOffset, coff, sizeof coff) || std::memcmp(coff, "PE\0\0", 4) != 0)
            return false;
        const uint16_t sectionCount = Get16(coff + 6);
        const uint16_t optionalSize = Get16(coff + 20);
        if (sectionCount == 0 || sectionCount > kMaxSections) return false;
        const uint64_t optionalOffset = uint64_t(peOffset) + 24;
        uint8_t magic[2];
        if (!pe_.read(optionalOffset, magic, 2)) return false;
        uint32_t dirCountAt, dirsAt;
        if (Get16(magic) == 0x10B) {
            dirCountAt = 92;
            dirsAt = 96;
        } else if (Get16(magic) == 0x20B) {
            dirCountAt = 108;
            dirsAt = 112;
        } else {
            return false;
        }
        const uint32_t resEntryEnd = dirsAt + 8 * (kResourceDirectoryIndex + 1);
        if (optionalSize < resEntryEnd) return false;
        uint8_t count[4], entry[8];
        if (!pe_.read(optionalOffset + dirCountAt, count, 4) ||
            Get32(count) <= kResourceDirectoryIndex ||
            !pe_.read(optionalOffset + dirsAt + 8 * kResourceDirectoryIndex, entry, 8))
            return false;
        resourceRva_ = Get32(entry);
        if (resourceRva_ == 0) return false;
        const uint64_t tableOffset = optionalOffset + optionalSize;
        for (uint16_t i = 0; i < sectionCount; ++i) {
            uint8_t s[40];
            if (!pe_.read(tableOffset + 40ull * i, s, sizeof s)) return false;
            sections_.push_back({Get32(s + 12), Get32(s + 8), Get32(s + 16), Get32(s + 20)});
        }
        return true;
    }

    // File offset of count bytes at a virtual address, all inside one section's raw data.
    std::optional<uint64_t> fileOffset(uint64_t rva, uint64_t count) const {
        for (const Section& s : sections_) {
            if (rva < s.virtualAddress) continue;
            const uint64_t into = rva - s.virtualAddress;
            if (into > s.rawSize || count > s.rawSize - into) continue;
            return uint64_t(s.rawOffset) + into;
        }
        return std::nullopt;
    }

    bool readRva(uint64_t rva, void* buffer, uint64_t count) {
        const auto off = fileOffset(rva, count);
        return off && pe_.read(*off, buffer, count);
    }

    // The entry of a resource directory (offset from the resource root) with
    // the id wanted, or the first entry when any; its OffsetToData field.
    std::optional<uint32_t> pickEntry(uint32_t dirOffset, std::optional<uint32_t> id) {
        uint8_t dir[16];
        if (!readRva(uint64_t(resourceRva_) + dirOffset, dir, sizeof dir)) return std::nullopt;
        const uint32_t entries = uint32_t(Get16(dir + 12)) + Get16(dir + 14);
        for (uint32_t i = 0; i < entries; ++i) {
            uint8_t e[8];
            if (!readRva(uint64_t(resourceRva_) + dirOffset + 16 + 8ull * i, e, sizeof e))
                return std::nullopt;
            const uint32_t name = Get32(e);
            if (!id || ((name & 0x80000000u) == 0 && name == *id)) return Get32(e + 4);
        }
        return std::nullopt;
    }

    bool findVersion(std::vector<uint8_t>& block) {
        // Type RT_VERSION, then the first name and the first language.
        const auto type = pickEntry(0, kRtVersion);
        if (!type || (*type & 0x80000000u) == 0) return false;
        const auto name = pickEntry(*type & 0x7FFFFFFFu, std::nullopt);
        if (!name || (*name & 0x80000000u) == 0) return false;
        const auto lang = pickEntry(*name & 0x7FFFFFFFu, std::nullopt);
        if (!lang || (*lang & 0x80000000u) != 0) return false;
        uint8_t data[16];
        if (!readRva(uint64_t(resourceRva_) + *lang, data, sizeof data)) return false;
        const uint32_t rva = Get32(data);
        const uint32_t size = Get32(data + 4);
        if (size < 6 || size > kMaxVersionSize) return false;
        block.resize(size);
        if (!readRva(rva, block.data(), size)) {
            block.clear();
            return false;
        }
        return true;
    }

    PeFile pe_;
    uint32_t resourceRva_ = 0;
    std::vector<Section> sections_;
};

// One node of a VS_VERSIONINFO tree: [begin, end) of the block.
struct Node {
    size_t begin, end;
    std::u16string key;
    size_t valueBegin; // after the key and its padding
    uint16_t valueLength;
    uint16_t type;
};

size_t Align4(size_t n) {
    return (n + 3) & ~size_t(3);
}

std::optional<Node> ParseNode(const std::vector<uint8_t>& b, size_t at, size_t limit) {
    if (at + 6 > limit) return std::nullopt;
    const uint16_t length = Get16(&b[at]);
    if (length < 6 || length > limit - at) return std::nullopt;
    Node n{at, at + length, {}, 0, Get16(&b[at + 2]), Get16(&b[at + 4])};
    size_t p = at + 6;
    for (;;) {
        if (p + 2 > n.end) return std::nullopt;
        const char16_t ch = Get16(&b[p]);
        p += 2;
        if (ch == 0) break;
        n.key.push_back(ch);
    }
    n.valueBegin = Align4(p);
    if (n.valueBegin > n.end) n.valueBegin = n.end;
    return n;
}

bool SameKey(const std::u16string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i];
        char16_t y = static_cast<unsigned char>(b[i]);
        if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
        if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::string Utf16ToCp1252(const std::vector<uint8_t>& b, size_t from, size_t to) {
    std::wstring wide;
    for (size_t p = from; p + 2 <= to; p += 2) {
        uint32_t ch = Get16(&b[p]);
        if (ch == 0) break;
        if (ch >= 0xD800 && ch <= 0xDBFF && p + 4 <= to) {
            const uint32_t low = Get16(&b[p + 2]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                ch = 0x10000 + ((ch - 0xD800) << 10) + (low - 0xDC00);
                p += 2;
            }
        }
        wide.push_back(static_cast<wchar_t>(ch));
    }
    return wideToCp1252(wide);
}

} // namespace

uint32_t versionInfoSize(const std::string& file) {
    std::vector<uint8_t> block;
    return readVersionInfo(file, block) ? static_cast<uint32_t>(block.size()) : 0;
}

bool readVersionInfo(const std::string& file, std::vector<uint8_t>& block) {
    block.clear();
    VersionResourceReader reader;
    return reader.load(file, block);
}

bool queryVersionString(const std::vector<uint8_t>& block, const std::string& subBlock,
                        std::string& value) {
    auto node = ParseNode(block, 0, block.size());
    if (!node) return false;
    // Children begin after the root's value (VS_FIXEDFILEINFO, a byte count).
    size_t childrenAt = Align4(node->valueBegin + node->valueLength);
    size_t start = 0;
    while (start <= subBlock.size()) {
        size_t stop = subBlock.find('\\', start);
        if (stop == std::string::npos) stop = subBlock.size();
        const std::string part = subBlock.substr(start, stop - start);
        start = stop + 1;
        if (part.empty()) continue;
        std::optional<Node> found;
        for (size_t at = childrenAt; at < node->end;) {
            const auto child = ParseNode(block, at, node->end);
            if (!child) break;
            if (SameKey(child->key, part)) {
                found = child;
                break;
            }
            at = Align4(child->end);
        }
        if (!found) return false;
        node = found;
        // Below the root, text values count in characters; StringFileInfo
        // and StringTable nodes have none.
        const size_t valueBytes = node->type == 1 ? 2u * node->valueLength : node->valueLength;
        childrenAt = Align4(node->valueBegin + valueBytes);
    }
    if (node->begin == 0) return false;
    // Compilers disagree on the unit of a String's value length: take the
    // text up to its terminating zero or the node's end.
    value = Utf16ToCp1252(block, node->valueBegin, node->end);
    return true;
}

bool queryVersionString(const std::string& file, const std::string& subBlock, std::string& value) {
    std::vector<uint8_t> block;
    return readVersionInfo(file, block) && queryVersionString(block, subBlock, value);
}

} // namespace plat
