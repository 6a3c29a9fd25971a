// File associations: the open command of an extension directly under
// HKEY_CLASSES_ROOT, asked before a different command is replaced, and the
// command found first recorded in [Extensions] of Deinst.ins.
#include "common/Messages.h"
#include "script/Ini.h"
#include "system/RegistryEntries.h"

namespace setup {

namespace {

constexpr size_t MaxCommandLength = 255;
// The reading buffer of 254 bytes holds at most 253 characters.
constexpr size_t MaxCurrentLength = 253;

std::string CommandKey(const std::string& dottedExtension) {
    return dottedExtension + "\\shell\\open\\command";
}

} // namespace

void SetOpenCommand(Effects& effects, const std::string& dottedExtension,
                    const std::string& command) {
    SetKeyDefault(effects, plat::RegRoot::ClassesRoot, CommandKey(dottedExtension), command);
}

void RegisterExtension(RunContext& run, const std::string& value) {
    const size_t equals = value.find('=');
    if (equals == std::string::npos) {
        WarnOkCancel(run.MessageOwner(), value + ": " + "Verkn\xFCpfung fehlerhaft!");
        return;
    }
    std::string extension = value.substr(0, equals);
    // The dot is added here; one written in the script is not doubled.
    if (!extension.empty() && extension[0] == '.') extension.erase(0, 1);
    // The command found first is recorded under the extension in Deinst.ins:
    // an extension that cannot be a key there ("[Pathes]", ";x", " x") would
    // be read back as something else.
    if (!TIni::WritableKey(extension)) {
        WarnOkCancel(run.MessageOwner(), value + ": " + "Verkn\xFCpfung fehlerhaft!");
        return;
    }
    const std::string command = value.substr(equals + 1, MaxCommandLength);

    std::string current =
        run.effects.RegistryString(plat::RegRoot::ClassesRoot, CommandKey("." + extension), "")
            .value_or("");
    if (current.size() > MaxCurrentLength) current.resize(MaxCurrentLength);

    bool replace = true;
    if (!current.empty() && current != command) {
        replace = AskYesNo(run.MessageOwner(), "bisherige Verkn\xFCpfung ." + extension + ": " +
                                                   current + " " + "ersetzen?") == IdYes;
    }
    if (replace) SetOpenCommand(run.effects, "." + extension, command);

    if (run.record && run.record->ReadString("Extensions", extension, "").empty())
        run.record->WriteString("Extensions", extension, current);
}

} // namespace setup
