// The loaded path of the restore point: a System Restore client library of
// the tests' own (srclient_stub.dll beside the test program) records the
// records it is given and answers as told.
#include "common/Paths.h"
#include "platform/RestorePoint.h"
#include "platform/System.h"
#include "platform/win32/WindowsSupport.h"
#include "support/TestEnv.h"
#include "system/RestorePoint.h"

namespace {

class RestorePointLibraryTest : public testenv::FreshEnv {
  protected:
    void SetUp() override {
        FreshEnv::SetUp();
        calls_ = scratch_ + "calls.txt";
        ::SetEnvironmentVariableW(L"SRCLIENT_STUB_LOG", plat::win::widen(calls_).c_str());
        ::SetEnvironmentVariableW(L"SRCLIENT_STUB_STATUS", nullptr);
        plat::setRestorePointLibraryForTests(setup::ExtractFilePath(plat::programPath()) +
                                             SRCLIENT_STUB_NAME);
    }
    void TearDown() override {
        plat::setRestorePointLibraryForTests("");
        ::SetEnvironmentVariableW(L"SRCLIENT_STUB_LOG", nullptr);
        ::SetEnvironmentVariableW(L"SRCLIENT_STUB_STATUS", nullptr);
        FreshEnv::TearDown();
    }
    std::string calls_;
};

TEST_F(RestorePointLibraryTest, BeginAndEndPassThePublishedRecords) {
    const std::string head(300, 'x');
    int64_t sequence = 0;
    EXPECT_EQ(0u, setup::BeginRestorePoint(head + "\xE4", sequence));
    EXPECT_EQ(4711, sequence);
    EXPECT_EQ(0u, setup::EndRestorePoint(sequence));
    // Windows-1252 text reaches the service as UTF-16.
    EXPECT_EQ(0u, setup::BeginRestorePoint("\xC4rger", sequence));
    EXPECT_EQ("100|0|0|" + std::string(256, 'x') + "\n101|0|4711|\n100|0|0|\xC3\x84rger\n",
              testenv::ReadFile(calls_));
}

TEST_F(RestorePointLibraryTest, AFailureGivesTheServiceStatus) {
    ::SetEnvironmentVariableW(L"SRCLIENT_STUB_STATUS", L"1234");
    int64_t sequence = 99;
    EXPECT_EQ(1234u, setup::BeginRestorePoint("Punkt", sequence));
    EXPECT_EQ(0, sequence);
    EXPECT_EQ(1234u, setup::EndRestorePoint(4711));
    EXPECT_EQ("100|0|0|Punkt\n101|0|4711|\n", testenv::ReadFile(calls_));
}

} // namespace
