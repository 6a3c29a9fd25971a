#ifndef _WIN32
#include "support/TestEnv.h"

namespace testenv {
std::string NewScratchFolder() { return {}; }
std::string Native(const std::string& windowsPath) { return windowsPath; }
void WriteFile(const std::string&, const std::string&) {}
std::string ReadFile(const std::string&) { return {}; }
void FreshEnv::SetUp() {}
void FreshEnv::TearDown() {}
} // namespace testenv
#endif
