// The Windows version code from the version values of the emulated Windows.
#include <gtest/gtest.h>

#include "common/WinInfo.h"
#include "platform/Emulation.h"
#include "platform/Registry.h"
#include "support/TestEnv.h"

using namespace setup;

namespace {

class WindowsVersionEmulated : public testenv::FreshEnv {
  protected:
    void SetNt(const char* version, const char* product, bool wow64) {
        plat::RegKey key;
        ASSERT_EQ(key.open(plat::RegRoot::LocalMachine,
                           "Software\\Microsoft\\Windows NT\\CurrentVersion", plat::RegAccess::All,
                           true),
                  0u);
        ASSERT_EQ(key.setString("CurrentVersion", version), 0u);
        ASSERT_EQ(key.setString("ProductName", product), 0u);
        ASSERT_EQ(key.setDword("Wow64", wow64 ? 1 : 0), 0u);
    }
    void Set9x(const char* version, const char* product) {
        plat::RegKey key;
        ASSERT_EQ(key.open(plat::RegRoot::LocalMachine,
                           "Software\\Microsoft\\Windows\\CurrentVersion", plat::RegAccess::All,
                           true),
                  0u);
        ASSERT_EQ(key.setString("CurrentVersion", version), 0u);
        ASSERT_EQ(key.setString("ProductName", product), 0u);
    }
};

} // namespace

TEST_F(WindowsVersionEmulated, NtFamilyCodes) {
    struct Case {
        const char* version;
        const char* product;
        bool wow64;
        int code;
    } cases[] = {
        {"5.0", "Microsoft Windows 2000", false, Win2000},
        {"5.1", "Microsoft Windows XP", false, WinXp},
        {"5.2", "Microsoft Windows XP Professional x64 Edition", true, WinXp64},
        {"5.2", "Microsoft Windows Server 2003", false, WinNt5},
        {"6.0", "Windows Vista (TM) Business", false, WinVista},
        {"6.0", "Windows Vista (TM) Business", true, WinVista64},
        {"6.0", "Windows Server (R) 2008 Standard", false, WinServer2008},
        {"6.0", "Windows Server (R) 2008 Standard", true, WinServer2008x64},
        {"6.1", "Windows 7 Professional", false, Win7},
        {"6.1", "Windows 7 Professional", true, Win7x64},
        {"6.3", "Windows 10 Pro", true, Win7x64},
        {"4.0", "", false, WinUnknown},
    };
    for (const Case& c : cases) {
        SetNt(c.version, c.product, c.wow64);
        EXPECT_EQ(WindowsVersion(), c.code) << c.version << " " << c.product;
        EXPECT_EQ(IsWow64(), c.wow64);
    }
}

TEST_F(WindowsVersionEmulated, Windows9xCodes) {
    Set9x("4.0", "Microsoft Windows 95");
    EXPECT_EQ(WindowsVersion(), Win95);
    Set9x("4.10", "Microsoft Windows 98");
    EXPECT_EQ(WindowsVersion(), Win98);
    Set9x("4.90", "Microsoft Windows ME");
    EXPECT_EQ(WindowsVersion(), WinMe);
}

TEST_F(WindowsVersionEmulated, FreshRootIsWindows7) {
    // No version values at all: the emulation is a 32-bit Windows 7.
    EXPECT_EQ(WindowsVersion(), Win7);
    EXPECT_FALSE(IsWow64());
}
