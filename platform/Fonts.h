// The system's font table. Win32: GDI (AddFontResourceW, RemoveFontResourceW,
// CreateScalableFontResourceW, the WM_FONTCHANGE broadcast). Linux: the
// emulated Windows accepts a font whose file is a TrueType or OpenType font
// (checked from its header), and ".FOT" files are small marker files that
// name their font file. Paths are Windows paths in Windows-1252.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

// Adds the fonts of a font file or a ".FOT" file to the font table; the
// number of fonts added, 0 when the file holds none that can be used.
int addFontResource(const std::string& file);
// Removes a font file added before; 0 or the Win32 error code.
uint32_t removeFontResource(const std::string& file);
// Writes the scalable font resource fotFile for fontFile (a name relative to
// currentPath, or a full path), not hidden; 0 or the Win32 error code.
uint32_t createScalableFontResource(const std::string& fotFile, const std::string& fontFile,
                                    const std::string& currentPath);
// The full name of the first font in a font file ("DejaVu Sans Bold"), from
// the file's 'name' table (platform/FontFile.cpp, on every platform); empty
// when the file is no TrueType or OpenType font.
std::string fontResourceName(const std::string& file);
// Tells every top-level window that the font table changed (WM_FONTCHANGE
// to HWND_BROADCAST). Linux: nobody to tell.
void broadcastFontChange();

} // namespace plat
