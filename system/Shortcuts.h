// Shortcut files of the start menu: the description of one shortcut and the
// operations that create it through the platform's shell link.
#pragma once

#include <cstdint>
#include <string>

namespace setup {

class TFileHandler;

// What CreateLinkEx is given; each text is cut to 145 characters when filled.
struct ShortcutSpec {
    std::string Path;
    std::string WorkingDirectory;
    std::string LinkFile;
    std::string Arguments;
    std::string Description;
    std::string IconFile;
    int32_t IconIndex = 0;
    int32_t ShowCmd = 5; // SW_SHOW
};

constexpr size_t ShortcutTextLength = 145;

// Fills a ShortcutSpec (link file: groupFolder + name + ".LNK"), creates the
// link file's folder with its missing parents and calls CreateLinkEx.
void CreateShortcut(TFileHandler& fileHandler, const std::string& groupFolder,
                    const std::string& target, const std::string& workingFolder, int32_t iconIndex,
                    const std::string& iconFile, const std::string& name,
                    const std::string& arguments);
// Initialises COM around CreateLink; returns its result or the failure of
// CoInitialize.
int32_t CreateLinkEx(const ShortcutSpec& spec);
// Creates and saves the shortcut: the result of saving, -3 when the link
// object cannot be created, -1 after a failing step (shown as "CreateLink: ...").
int32_t CreateLink(const std::string& path, const std::string& workingDirectory,
                   const std::string& linkFile, int32_t showCmd, uint16_t hotKey, int32_t iconIndex,
                   std::string iconFile, const std::string& description,
                   const std::string& arguments);

} // namespace setup
