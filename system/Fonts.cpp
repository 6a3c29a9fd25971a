// The "Fonts" step: the fonts of [Project] Font1, Font2, ... copied into the
// Fonts folder of Windows, added to the font table, registered and recorded
// in [Fonts] of Deinst.ins.
#include "system/Fonts.h"

#include <cstdio>
#include <exception>

#include "common/PlanEffects.h"
#include "common/Ansi.h"
#include "common/Error.h"
#include "common/FileInfo.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/RegistryAccess.h"
#include "common/WinInfo.h"
#include "script/Ini.h"
#include "files/RunContext.h"
#include "files/FileHandler.h"
#include "platform/FileSystem.h"
#include "platform/Fonts.h"

namespace setup {

namespace {

const std::string kFontsKey9x = "M\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
const std::string kFontsKeyNt = "M\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// A DOS date-time as "dd.mm.yy hh:nn:ss".
std::string DosDateText(int32_t dosDate) {
    const uint32_t d = static_cast<uint32_t>(dosDate);
    char text[32];
    std::snprintf(text, sizeof text, "%02u.%02u.%02u %02u:%02u:%02u", (d >> 16) & 0x1F,
                  (d >> 21) & 0x0F, (1980 + ((d >> 25) & 0x7F)) % 100, (d >> 11) & 0x1F,
                  (d >> 5) & 0x3F, (d & 0x1F) * 2);
    return text;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Passes texts of at least the minimum level on: to the list when there is
// one, else as information messages.
class FontMessages {
  public:
    FontMessages(std::vector<std::string>* list, int minimumLevel)
        : list_(list), minimumLevel_(minimumLevel) {}
    void operator()(const std::string& text, int level) const {
        if (level < minimumLevel_) return;
        if (list_)
            list_->push_back(text);
        else
            InfoMessage(ActiveForm, text);
    }

  private:
    std::vector<std::string>* list_;
    int minimumLevel_;
};

// Takes an older font resource file out of the font table and the folder.
void RemoveResourceFile(Effects& effects, const std::string& path, const std::string& removeFailure,
                        const FontMessages& report) {
    if (!effects.FileExists(path)) return;
    if (const uint32_t error = effects.RemoveFontResource(path); error != 0)
        report(removeFailure + path + ": " + SysErrorText(error), FontNote);
    if (effects.DeleteFile(path))
        log::Line("DELETE", {path});
    else
        report(path + ": not deleted", FontNote);
}

// Registers the font where the Windows version keeps its fonts.
void RegisterFont(Effects& effects, int version, const std::string& fontName,
                  const std::string& fileName, const std::string& fotPath, int32_t sourceDate) {
    const std::string valueName = fontName + " (TrueType)";
    if (version >= Win95 && version <= WinMe) {
        WriteRegistryString(effects, kFontsKey9x, valueName, fileName);
        return;
    }
    if (version == WinNt4) {
        TIni winIni(WindowsFolder() + "Win.Ini");
        if (AsPlan(effects)) winIni.SaveThrough(&effects);
        winIni.WriteString("Fonts", valueName, fotPath);
        winIni.SaveFile();
        SetFileDate(effects, fotPath, sourceDate);
    }
    if (version >= WinNt4) WriteRegistryString(effects, kFontsKeyNt, valueName, fileName);
}

// The font file the registration names, where this Windows keeps it.
std::string RegisteredFile(int version, const std::string& fontName) {
    const std::string valueName = fontName + " (TrueType)";
    if (version >= Win95 && version <= WinMe) return ReadRegistryString(kFontsKey9x, valueName, "");
    if (version >= WinNt4) return ReadRegistryString(kFontsKeyNt, valueName, "");
    return {};
}

// A run that ended between setting the old font aside (name0.ext, name1.ext,
// ... as UniqueFileName gives them) and copying the new one left the font
// registered and its file missing. The newest file of that series is the
// one set aside last (a font is only ever replaced by a newer one): it gets
// its name back before anything else happens to the font.
void PutBackSetAsideFont(Effects& effects, const std::string& target, const std::string& fontName,
                         const FontMessages& report) {
    if (effects.Attributes(target)) return;
    const std::string fileName = FileNameOf(target);
    if (!AnsiSameText(FileNameOf(RegisteredFile(WindowsVersion(), fontName)), fileName)) return;
    const size_t dot = fileName.rfind('.');
    const std::string base = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : fileName.substr(dot);
    const std::string folder = target.substr(0, target.size() - fileName.size());
    plat::DirSearch search;
    std::string newest;
    plat::FileTime newestTime = 0;
    if (search.first(folder + base + "*" + ext)) {
        do {
            const plat::DirEntry& e = search.entry();
            if (e.attributes & plat::kAttrDirectory) continue;
            if (e.name.size() <= base.size() + ext.size()) continue;
            const std::string number =
                e.name.substr(base.size(), e.name.size() - base.size() - ext.size());
            if (number.find_first_not_of("0123456789") != std::string::npos) continue;
            if (!AnsiSameText(e.name.substr(0, base.size()), base) ||
                !AnsiSameText(e.name.substr(e.name.size() - ext.size()), ext))
                continue;
            if (newest.empty() || e.writeTime > newestTime) {
                newest = e.name;
                newestTime = e.writeTime;
            }
        } while (search.next());
    }
    if (newest.empty()) return;
    if (effects.MoveFile(folder + newest, target, false))
        report(folder + newest + " umbenannt in \r\n" + target, FontNote);
    else
        report("Umbenennen von " + folder + newest + " in \r\n" + target + "\r\ngescheitert",
               FontError);
}

} // namespace

std::string RegisteredFontName(const std::string& sourcePath, const std::string& fontName) {
    if (!fontName.empty()) return fontName;
    std::string name = plat::fontResourceName(sourcePath);
    if (!name.empty()) return name;
    name = FileNameOf(sourcePath);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool InstallFontFile(const std::string& sourcePath, const std::string& fontName,
                     std::vector<std::string>* messageList, int minimumLevel, TFileHandler* copier,
                     Effects& effects) {
    const FontMessages report(messageList, minimumLevel);
    TFileHandler& fileHandler = copier ? *copier : SharedFileHandler();
    bool result = false;
    bool changed = false;
    try {
        const int32_t sourceDate = FileDosDate(sourcePath);
        if (sourceDate == -1) return false;
        const std::string fontsFolder = WindowsFolder() + "Fonts\\";
        const std::string fileName = FileNameOf(sourcePath);
        const std::string target = fontsFolder + fileName;
        report(sourcePath + " vom " + DosDateText(sourceDate), FontTrace);
        PutBackSetAsideFont(effects, target, fontName, report);
        const int32_t targetDate = FileDosDate(effects, target);
        if (targetDate != -1)
            report(target + " vom " + DosDateText(targetDate) + " ist vorhanden.", FontNote);
        if (CompareFileDates(sourceDate, targetDate) <= 0) {
            fileHandler.CountSkipped(sourcePath, fontsFolder);
            return true;
        }

        // The old file steps aside before the copy and is deleted once the
        // new font is in the font table: a failed copy, or a file that is no
        // font, gives it back its name. One that cannot be deleted (in use)
        // keeps the free name it was given.
        std::string setAside;
        if (targetDate != -1) {
            setAside = UniqueFileName(target);
            if (!effects.MoveFile(target, setAside, false)) {
                report("Umbenennen von " + target + " in \r\n" + setAside + "\r\ngescheitert",
                       FontError);
                setAside.clear();
            }
        }
        const auto putBack = [&] {
            if (!setAside.empty()) effects.MoveFile(setAside, target, false);
        };
        const CopyResult copied =
            fileHandler.CopyOneFile(sourcePath, target, 0, CopyMode::CompareAsk);
        if (copied != CopyResult::Done || !effects.FileExists(target)) {
            putBack();
            // A cancelled copy is the user's decision, not an error to report.
            if (copied != CopyResult::Abort)
                report(target + " konnte nicht kopiert werden.", FontError);
            return false;
        }

        changed = true;
        const std::string fotPath = fontsFolder + fontName + ".FOT";
        RemoveResourceFile(effects, fontsFolder + fontName + " Standard.FOT", "", report);
        RemoveResourceFile(effects, fotPath, "removeFont ", report);

        const int version = WindowsVersion();
        const std::string currentPath = fontsFolder.substr(0, fontsFolder.size() - 1);
        std::string fileToAdd = target;
        bool resourceMade = true;
        if (version < Win2000) {
            resourceMade = effects.CreateScalableFontResource(fotPath, fileName, currentPath) == 0;
            if (resourceMade) {
                report(fotPath + "ScalableFontResource Created", FontTrace);
                fileToAdd = fotPath;
            } else {
                report(fotPath + " konnte nicht erzeugt werden.", FontError);
            }
        } else if (version <= WinNt5) {
            effects.CreateScalableFontResource(fotPath, fileName, currentPath);
        }
        if (resourceMade) {
            if (effects.AddFontResource(fileToAdd) < 1) {
                report(fileToAdd + " konnte nicht hinzugef\xFCgt werden", FontError);
                resourceMade = false;
            } else {
                RegisterFont(effects, version, fontName, fileName, fotPath, sourceDate);
                result = true;
            }
        }
        if (!resourceMade) {
            // Not a font the system takes: what this call put into the Fonts
            // folder goes, and the old font gets its place back.
            effects.DeleteFile(fotPath);
            if (effects.DeleteFile(target)) putBack();
        } else if (!setAside.empty() && effects.DeleteFile(setAside)) {
            log::Line("DELETE", {setAside});
        } else if (!setAside.empty()) {
            report("Die Schrift " + fileName + "\r\n" + target +
                       "\r\n wird von einer laufenden Anwendung\r\nbenutzt.",
                   FontNote);
            report(target + " umbenannt in \r\n" + setAside, FontNote);
        }
    } catch (const SilentAbort&) {
    } catch (const std::exception& e) {
        report(e.what(), FontError);
    }
    if (changed) effects.BroadcastFontChange();
    return result;
}

int InstallFont(RunContext& run, const std::string& sourcePath, const std::string& fontName) {
    if (run.record)
        run.record->WriteString("Fonts", "FO" + std::to_string(run.fontCounter), fontName);
    ++run.fontCounter;
    return InstallFontFile(sourcePath, fontName, nullptr, FontError, &run.copier, run.effects) ? 0
                                                                                               : 1;
}

bool InstallFonts(RunContext& run) {
    bool installed = true;
    run.fontCounter = 1;
    if (!run.script) return installed;
    for (const script::FontEntry& font : run.script->Project().fonts) {
        const std::string value = script::Expanded(font.file);
        if (value.empty()) break;
        const std::string source = run.installRoot + value;
        if (IsPlaceholderFile(source)) break;
        const std::string name = RegisteredFontName(source, script::Expanded(font.name));
        if (InstallFont(run, source, name) == 0) continue;
        installed = false;
        if (WarnOkCancel(run.MessageOwner(), "Font " + value + " nicht installiert!") == IdCancel)
            AbortRequested = true;
    }
    return installed;
}

} // namespace setup
