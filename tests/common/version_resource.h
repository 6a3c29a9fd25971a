// Builds a small 64-bit PE file whose only content is a version resource with
// a German (040704E4) and a US English (040904E4) string table.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testpe {

using Strings = std::vector<std::pair<std::string, std::string>>;

inline void Put16(std::string& b, size_t at, uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
inline void Pad4(std::string& b) {
    while (b.size() % 4)
        b.push_back('\0');
}
// Windows-1252 (Latin-1 part) -> UTF-16LE with a terminating zero.
inline std::string Utf16(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        out.push_back(static_cast<char>(c));
        out.push_back('\0');
    }
    out.append(2, '\0');
    return out;
}

// One VS_VERSIONINFO node: length, value length, type, key, value, children.
inline std::string Node(const std::string& key, const std::string& value, uint16_t valueLength,
                        uint16_t type, const std::string& children) {
    std::string b(6, '\0');
    b += Utf16(key);
    Pad4(b);
    b += value;
    Pad4(b);
    b += children;
    Put16(b, 0, static_cast<uint32_t>(b.size()));
    Put16(b, 2, valueLength);
    Put16(b, 4, type);
    Pad4(b);
    return b;
}

inline std::string Table(const std::string& name, const Strings& strings) {
    std::string children;
    for (const auto& [key, value] : strings)
        children += Node(key, Utf16(value), static_cast<uint16_t>(value.size() + 1), 1, "");
    return Node(name, "", 0, 1, children);
}

inline std::string VersionBlock(const Strings& german, const Strings& english) {
    std::string fixed(52, '\0');
    Put32(fixed, 0, 0xFEEF04BD);
    Put32(fixed, 4, 0x00010000);
    std::string translation(4, '\0');
    Put16(translation, 0, 0x0407);
    Put16(translation, 2, 0x04E4);
    const std::string stringInfo =
        Node("StringFileInfo", "", 0, 1, Table("040704E4", german) + Table("040904E4", english));
    const std::string varInfo =
        Node("VarFileInfo", "", 0, 1, Node("Translation", translation, 4, 0, ""));
    return Node("VS_VERSION_INFO", fixed, 52, 0, stringInfo + varInfo);
}

inline std::string MakeVersionedPe(const Strings& german, const Strings& english) {
    const std::string version = VersionBlock(german, english);
    constexpr uint32_t rsrcRva = 0x1000, fileAlign = 0x200, sectAlign = 0x1000;
    // Resource tree: type 16 -> name 1 -> language 0x407 -> data entry.
    std::string rsrc(0x58, '\0');
    Put16(rsrc, 0x0E, 1);
    Put32(rsrc, 0x10, 16);
    Put32(rsrc, 0x14, 0x80000000u | 0x18);
    Put16(rsrc, 0x18 + 0x0E, 1);
    Put32(rsrc, 0x18 + 0x10, 1);
    Put32(rsrc, 0x18 + 0x14, 0x80000000u | 0x30);
    Put16(rsrc, 0x30 + 0x0E, 1);
    Put32(rsrc, 0x30 + 0x10, 0x407);
    Put32(rsrc, 0x30 + 0x14, 0x48);
    Put32(rsrc, 0x48, rsrcRva + 0x58);
    Put32(rsrc, 0x4C, static_cast<uint32_t>(version.size()));
    rsrc += version;
    const uint32_t rsrcSize = static_cast<uint32_t>(rsrc.size());
    const uint32_t rawSize = (rsrcSize + fileAlign - 1) / fileAlign * fileAlign;
    const uint32_t imageSize = rsrcRva + (rsrcSize + sectAlign - 1) / sectAlign * sectAlign;

    std::string pe(fileAlign, '\0');
    pe[0] = 'M';
    pe[1] = 'Z';
    Put32(pe, 0x3C, 0x40);
    pe.replace(0x40, 4, std::string("PE\0\0", 4));
    const size_t coff = 0x44;
    Put16(pe, coff, 0x8664);      // machine x64
    Put16(pe, coff + 2, 1);       // one section
    Put16(pe, coff + 16, 240);    // optional header size
    Put16(pe, coff + 18, 0x2022); // executable, large address aware, DLL
    const size_t opt = coff + 20;
    Put16(pe, opt, 0x20B);
    Put32(pe, opt + 20, rsrcRva);     // base of code
    Put32(pe, opt + 24, 0x80000000u); // image base (low half)
    Put32(pe, opt + 28, 0x1);         // image base (high half)
    Put32(pe, opt + 32, sectAlign);
    Put32(pe, opt + 36, fileAlign);
    Put16(pe, opt + 40, 6); // OS version
    Put16(pe, opt + 48, 6); // subsystem version
    Put32(pe, opt + 56, imageSize);
    Put32(pe, opt + 60, fileAlign); // size of headers
    Put16(pe, opt + 68, 2);         // GUI
    Put32(pe, opt + 72, 0x100000);  // stack reserve
    Put32(pe, opt + 80, 0x1000);    // stack commit
    Put32(pe, opt + 88, 0x100000);  // heap reserve
    Put32(pe, opt + 96, 0x1000);    // heap commit
    Put32(pe, opt + 108, 16);       // data directories
    Put32(pe, opt + 112 + 2 * 8, rsrcRva);
    Put32(pe, opt + 112 + 2 * 8 + 4, rsrcSize);
    const size_t sect = opt + 240;
    pe.replace(sect, 5, ".rsrc");
    Put32(pe, sect + 8, rsrcSize);
    Put32(pe, sect + 12, rsrcRva);
    Put32(pe, sect + 16, rawSize);
    Put32(pe, sect + 20, fileAlign);
    Put32(pe, sect + 36, 0x40000040u); // initialised data, readable
    rsrc.resize(rawSize, '\0');
    return pe + rsrc;
}

} // namespace testpe
