// Start-up of the common services, before any window exists.
#pragma once

namespace setup {

// In order: program path and folder, application key, Windows folder, system
// folder, registry node, AbortRequested cleared.
void StartupCommonServices();

} // namespace setup
