#include "platform/FontFile.h"

#include <optional>
#include <vector>

#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/Fonts.h"

namespace plat {
namespace {

constexpr uint32_t Tag(const char (&name)[5]) {
    return (static_cast<uint32_t>(static_cast<unsigned char>(name[0])) << 24) |
           (static_cast<uint32_t>(static_cast<unsigned char>(name[1])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(name[2])) << 8) |
           static_cast<uint32_t>(static_cast<unsigned char>(name[3]));
}

constexpr uint32_t kTrueType = 0x00010000;
constexpr uint32_t kHeadMagic = 0x5F0F3CF5;
// More tables than any real font has; a larger count is a damaged file.
constexpr uint32_t kMaxTables = 512;
// Larger 'name' tables are not read (real ones hold a few kilobytes).
constexpr uint32_t kMaxNameTable = 1u << 20;

uint16_t U16(const std::string& b, size_t at) {
    return static_cast<uint16_t>((static_cast<unsigned char>(b[at]) << 8) |
                                 static_cast<unsigned char>(b[at + 1]));
}

uint32_t U32(const std::string& b, size_t at) {
    return (static_cast<uint32_t>(U16(b, at)) << 16) | U16(b, at + 2);
}

struct Table {
    uint32_t offset = 0;
    uint32_t length = 0;
};

struct Directory {
    std::optional<Table> head, cmap, name, glyf, loca, cff;
};

// The table directory of the font at offset; nullopt when it is not a font's
// or a table lies outside the file.
std::optional<Directory> ReadDirectory(const FontByteReader& read, uint64_t size, uint64_t offset) {
    std::string header;
    if (!read(offset, 12, header)) return std::nullopt;
    const uint32_t version = U32(header, 0);
    if (version != kTrueType && version != Tag("OTTO") && version != Tag("true"))
        return std::nullopt;
    const uint32_t count = U16(header, 4);
    if (count == 0 || count > kMaxTables) return std::nullopt;
    std::string records;
    if (!read(offset + 12, count * 16, records)) return std::nullopt;
    Directory dir;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = i * 16;
        const Table table{U32(records, at + 8), U32(records, at + 12)};
        if (static_cast<uint64_t>(table.offset) + table.length > size) return std::nullopt;
        switch (U32(records, at)) {
        case Tag("head"):
            dir.head = table;
            break;
        case Tag("cmap"):
            dir.cmap = table;
            break;
        case Tag("name"):
            dir.name = table;
            break;
        case Tag("glyf"):
            dir.glyf = table;
            break;
        case Tag("loca"):
            dir.loca = table;
            break;
        case Tag("CFF "):
        case Tag("CFF2"):
            dir.cff = table;
            break;
        default:
            break;
        }
    }
    return dir;
}

// A name record's text in Windows-1252: UTF-16BE for the Unicode and
// Windows platforms, one byte a character (ASCII kept) for Macintosh.
std::string DecodeName(const std::string& bytes, uint16_t platform) {
    std::wstring wide;
    const size_t step = platform == 1 ? 1 : 2;
    for (size_t i = 0; i + step <= bytes.size(); i += step) {
        const uint16_t unit = step == 1 ? static_cast<unsigned char>(bytes[i]) : U16(bytes, i);
        // A NUL ends the name; control characters become blanks; Macintosh
        // characters beyond ASCII and surrogate halves (characters beyond the
        // basic plane) have no Windows-1252 form here.
        if (unit == 0) break;
        if (unit < 0x20)
            wide += L' ';
        else if ((step == 1 && unit >= 0x80) || (unit >= 0xD800 && unit <= 0xDFFF))
            wide += L'?';
        else
            wide += static_cast<wchar_t>(unit);
    }
    return wideToCp1252(wide);
}

// How well a record's platform and language suit: higher is better, 0 unusable.
int Preference(uint16_t platform, uint16_t encoding, uint16_t language) {
    if (platform == 3 && (encoding == 0 || encoding == 1 || encoding == 10))
        return language == 0x0409 ? 4 : 3;
    if (platform == 0) return 2;
    if (platform == 1 && encoding == 0 && language == 0) return 1;
    return 0;
}

// The full name from a 'name' table; empty when it names none.
std::string FullName(const std::string& table) {
    if (table.size() < 6) return {};
    const size_t count = U16(table, 2);
    const size_t storage = U16(table, 4);
    std::string found[3]; // names 1 (family), 2 (style), 4 (full)
    int rank[3] = {0, 0, 0};
    for (size_t i = 0; i < count; ++i) {
        const size_t at = 6 + i * 12;
        if (at + 12 > table.size()) break;
        const uint16_t id = U16(table, at + 6);
        const int slot = id == 1 ? 0 : id == 2 ? 1 : id == 4 ? 2 : -1;
        if (slot < 0) continue;
        const int pref = Preference(U16(table, at), U16(table, at + 2), U16(table, at + 4));
        const size_t length = U16(table, at + 8);
        const size_t start = storage + U16(table, at + 10);
        if (pref <= rank[slot] || length == 0 || start + length > table.size()) continue;
        std::string text = DecodeName(table.substr(start, length), U16(table, at));
        if (text.empty()) continue;
        found[slot] = std::move(text);
        rank[slot] = pref;
    }
    if (!found[2].empty()) return found[2];
    if (found[1].empty() || found[1] == "Regular") return found[0];
    return found[0].empty() ? std::string() : found[0] + " " + found[1];
}

} // namespace

bool inspectFont(const FontByteReader& read, uint64_t size, std::string* fullName) {
    std::string start;
    if (!read(0, 12, start)) return false;
    uint64_t offset = 0;
    if (U32(start, 0) == Tag("ttcf")) {
        // A collection: its first font stands for the file.
        if (U32(start, 8) == 0) return false;
        std::string first;
        if (!read(12, 4, first)) return false;
        offset = U32(first, 0);
    }
    const std::optional<Directory> dir = ReadDirectory(read, size, offset);
    if (!dir || !dir->head || !dir->cmap || !dir->name) return false;
    if (!dir->cff && !(dir->glyf && dir->loca)) return false;
    std::string head;
    if (dir->head->length < 54 || !read(dir->head->offset, 16, head) || U32(head, 12) != kHeadMagic)
        return false;
    if (fullName) {
        fullName->clear();
        std::string name;
        if (dir->name->length <= kMaxNameTable && read(dir->name->offset, dir->name->length, name))
            *fullName = FullName(name);
    }
    return true;
}

bool inspectFontFile(const std::string& windowsPath, std::string* fullName) {
    File file;
    if (!file.open(windowsPath, OpenMode::Read)) return false;
    const std::optional<uint64_t> size = file.size();
    if (!size) return false;
    const FontByteReader read = [&](uint64_t offset, uint32_t length, std::string& out) {
        if (offset > *size || length > *size - offset || !file.seek(offset)) return false;
        out.assign(length, '\0');
        return file.read(out.data(), length) == static_cast<int64_t>(length);
    };
    return inspectFont(read, *size, fullName);
}

// The same name on every platform: GDI's own query (GetFontResourceInfoW)
// is undocumented, and Wine lacks it.
std::string fontResourceName(const std::string& file) {
    std::string name;
    return inspectFontFile(file, &name) ? name : std::string();
}

} // namespace plat
