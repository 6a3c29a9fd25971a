#include "common/Startup.h"

#include "common/Messages.h"
#include "common/Paths.h"
#include "common/RegistryAccess.h"
#include "common/RegistryVariables.h"

namespace setup {

void StartupCommonServices() {
    InitProgramPath();
    const std::string& path = ProgramPath();
    SetApplicationKey(path.substr(path.rfind('\\') + 1));
    InitWindowsFolder();
    InitSystemFolder();
    SetRegistryNode("TIV_NN");
    AbortRequested = false;
}

} // namespace setup
