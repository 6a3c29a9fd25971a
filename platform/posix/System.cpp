#include "platform/System.h"

namespace plat {
namespace {
std::vector<std::string>& args() {
    static std::vector<std::string> a;
    return a;
}
} // namespace
bool getOsVersion(OsVersion& out) {
    out = {2, 6, 1, 7601};
    return true;
}
bool isWow64Process() { return false; }
std::string programPath() { return "Z:\\setup"; }
std::string windowsDirectory() { return "C:\\Windows"; }
std::string systemDirectory() { return "C:\\Windows\\System32"; }
std::string sysErrorText(uint32_t) { return {}; }
void setArguments(const std::vector<std::string>& a) { args() = a; }
const std::vector<std::string>& arguments() { return args(); }
std::string toWindowsPath(const std::string& p) { return p; }
std::string toNativePath(const std::string& p) { return p; }
void pumpMessages() {}
uint64_t tickCount() { return 0; }
void sleepMs(uint32_t) {}
} // namespace plat
