#ifndef _WIN32
// Test isolation on the Linux build: a fresh emulated Windows (SETUP_ROOT)
// under /tmp per test case, removed afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/Emulation.h"
#include "platform/System.h"
#include "support/TestEnv.h"

namespace testenv {
namespace {

namespace fs = std::filesystem;

// The root of the running test case; empty outside a FreshEnv test.
std::string& currentRoot() {
    static std::string root;
    return root;
}

std::optional<std::string>& savedSetupRoot() {
    static std::optional<std::string> saved;
    return saved;
}

std::string makeTempFolder(const char* prefix) {
    std::string name = std::string("/tmp/") + prefix + "XXXXXX";
    if (!mkdtemp(name.data())) ADD_FAILURE() << "mkdtemp failed for " << name;
    return name;
}

} // namespace

std::string NewScratchFolder() {
    static int counter = 0;
    if (currentRoot().empty()) return plat::toWindowsPath(makeTempFolder("setup-scratch-")) + "\\";
    const std::string folder = "C:\\Scratch\\" + std::to_string(++counter) + "\\";
    fs::create_directories(Native(folder));
    return folder;
}

std::string Native(const std::string& windowsPath) {
    return plat::toNativePath(windowsPath);
}

void WriteFile(const std::string& windowsPath, const std::string& bytes) {
    const fs::path path = Native(windowsPath);
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string& windowsPath) {
    std::ifstream in(Native(windowsPath), std::ios::binary);
    if (!in) ADD_FAILURE() << "cannot read " << Native(windowsPath);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void FreshEnv::SetUp() {
    if (const char* old = std::getenv("SETUP_ROOT"))
        savedSetupRoot() = old;
    else
        savedSetupRoot().reset();
    currentRoot() = makeTempFolder("setup-root-");
    setenv("SETUP_ROOT", currentRoot().c_str(), 1);
    plat::resetEmulation();
    scratch_ = NewScratchFolder();
}

void FreshEnv::TearDown() {
    std::error_code ignored;
    fs::remove_all(currentRoot(), ignored);
    currentRoot().clear();
    if (savedSetupRoot())
        setenv("SETUP_ROOT", savedSetupRoot()->c_str(), 1);
    else
        unsetenv("SETUP_ROOT");
    plat::resetEmulation();
}

} // namespace testenv
#endif
