// Shortcut files of the start menu: the group of a project, the shortcut of
// each part, and the operations that create one through the run's effects.
#pragma once

#include <cstdint>
#include <string>

#include "common/Effects.h"
#include "files/RunContext.h"

namespace setup {

constexpr size_t ShortcutTextLength = 145;

// Fills a ShortcutSpec (link file: groupFolder + name + ".LNK"), creates the
// link file's folder with its missing parents and calls CreateLinkEx.
void CreateShortcut(RunContext& run, const std::string& groupFolder, const std::string& target,
                    const std::string& workingFolder, int32_t iconIndex,
                    const std::string& iconFile, const std::string& name,
                    const std::string& arguments);
// Initialises COM around CreateLink; returns its result or the failure of
// CoInitialize.
int32_t CreateLinkEx(const ShortcutSpec& spec, Effects& effects = DirectEffects());
// Creates and saves the shortcut through effects: the result of saving, -3
// when the link object cannot be created, -1 after a failing step (shown as
// "CreateLink: ..."). Without an icon file an icon index takes the target's.
int32_t CreateLink(Effects& effects, ShortcutSpec spec, uint16_t hotKey);

// --- steps of a run ---
// Creates the start-menu group groupName (below [Project] ParentGroup) and
// adds it to the run's groups; its folder with a backslash, empty when it
// is refused.
std::string MakeGroup(RunContext& run, const std::string& groupName);
// The shortcut of a part in groupFolder (or its own Group); false when the
// part was cancelled.
bool AddShortcut(RunContext& run, const PartInRun& part, const std::string& groupFolder);

} // namespace setup
