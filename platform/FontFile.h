// A reader of TrueType and OpenType font files (the sfnt format and its
// collections), portable: whether a file is a font the emulated Windows
// accepts, and the font's full name from its 'name' table on every platform. Every offset and
// length the file gives is checked against the file's size before it is used, so a damaged or
// hostile file is refused, never read past its end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace plat {

// Reads length bytes at offset into out; false when they cannot all be had.
using FontByteReader = std::function<bool(uint64_t offset, uint32_t length, std::string& out)>;

// true when the bytes (size in all) are a TrueType or OpenType font or a
// collection whose first font is one: a table directory inside the file,
// the tables 'head' (with its magic number), 'cmap', 'name' and the glyph
// outlines ('glyf' with 'loca', or 'CFF '/'CFF2'). fullName, when given,
// receives the full name (name 4; else family and style) in Windows-1252.
bool inspectFont(const FontByteReader& read, uint64_t size, std::string* fullName);
// inspectFont on a file (Windows path); false when it cannot be read.
bool inspectFontFile(const std::string& windowsPath, std::string* fullName);

} // namespace plat
