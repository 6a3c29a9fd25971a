// Steps of the run whose work belongs to the system integration, the
// downloads and the superfluous-file search. Until that work lands each one
// does nothing, and says so in the file line when the script asks for it:
// nothing may look as if it had been done. Each is replaced by its real
// implementation (which then removes it here).
#include "engine/ScriptInstall.h"

#include "common/RegistryAccess.h"

namespace setup {

namespace {

bool HasValue(TIni* script, const std::string& section, const std::string& key) {
    return script && !script->ReadString(section, key, "").empty();
}

} // namespace

void TScriptInstall::FindSuperfluousFiles() {
    if (HasValue(Script.get(), "Project", "DelExt"))
        ReportStepNotAvailable("\xDC"
                               "berfl\xFCssige Dateien (DelExt)");
}

} // namespace setup
