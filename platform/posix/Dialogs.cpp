#include "platform/Dialogs.h"

namespace plat {
int messageBox(uintptr_t, const std::string&, const std::string&, uint32_t) { return 0; }
int buttonDialog(const std::string&, const std::string&, bool, const std::vector<DialogButton>&,
                 int cancelId) {
    return cancelId;
}
bool canAskPerson() { return false; }
} // namespace plat
