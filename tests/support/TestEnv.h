// Test isolation: every test case gets a fresh scratch folder and, on the
// POSIX build, a fresh emulated Windows (SETUP_ROOT); under Wine the prefix
// is shared by the test program and scratch folders live in its temp folder.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testenv {

// A new empty folder; Windows form with a trailing backslash ("Z:\tmp\...\" on
// POSIX, "C:\users\...\Temp\...\" under Wine).
std::string NewScratchFolder();
// The platform's own form of a Windows path (for writing fixtures with stdio).
std::string Native(const std::string& windowsPath);
// Writes a file with the given bytes (Windows path); creates missing folders.
void WriteFile(const std::string& windowsPath, const std::string& bytes);
std::string ReadFile(const std::string& windowsPath);

// Base fixture: a fresh emulated Windows (POSIX) and a scratch folder per test.
class FreshEnv : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string scratch_; // Windows form, trailing backslash
};

} // namespace testenv
