// Fuzz target for the registry-variable expansion: any text, expanded in both
// forms against a registry that holds values naming themselves, climbing
// folders and holding further variables. Nobody is asked (ask = false).
//
// Build (Linux, clang):
//   clang++ -std=c++20 -g -fsanitize=fuzzer,address,undefined -I. \
//     fuzz/expand_registry_variables_fuzz.cpp common/*.cpp platform/*.cpp \
//     platform/emulated/*.cpp -o /tmp/expand_fuzz
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Messages.h"
#include "common/RegistryVariables.h"
#include "platform/Registry.h"

namespace {

void SetNodeValue(const std::string& name, const std::string& value) {
    plat::RegKey key;
    if (key.open(plat::RegRoot::CurrentUser, "Software\\TIV_NN\\" + name, plat::RegAccess::All,
                 true) == 0)
        key.setString("", value);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A private emulated Windows, never the user's own.
    static char root[] = "/tmp/expand-registry-variables-fuzz-XXXXXX";
    if (mkdtemp(root) != nullptr) setenv("SETUP_ROOT", root, 1);
    setup::SetUnattended(true);
    SetNodeValue("a", "x%\xA7"
                      "a%");
    SetNodeValue("b", "C:\\A\\B\\");
    SetNodeValue("c", "%\xA7"
                      "b%\\..\\%+\xA7"
                      "a%");
    SetNodeValue("d", "%%\xA7"
                      "d%%\xA7");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string text = input;
    setup::ExpandRegistryVariables(text, false);
    text = input;
    setup::ExpandRegistryVariablesShort(text, "P");
    return 0;
}
