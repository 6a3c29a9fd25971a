// Registry services as Windows provides them; runs on both backends.
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "support/TestEnv.h"

namespace {

using namespace plat;

class RegistryTest : public testenv::FreshEnv {
  protected:
    // A key of its own for each test, so that runs sharing a registry do not meet.
    std::string keyPath() const {
        return std::string("Software\\SetupTests\\") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
};

TEST_F(RegistryTest, ValuesRoundTripWithoutRegardToCase) {
    RegKey key;
    ASSERT_EQ(key.open(RegRoot::CurrentUser, keyPath() + "\\Sub", RegAccess::All, true),
              kErrSuccess);
    ASSERT_EQ(key.setString("Pfad", "C:\\Programme\\\"Neu\" \xE4\xF6\xFC"), kErrSuccess);
    ASSERT_EQ(key.setDword("Zahl", 0xDEADBEEF), kErrSuccess);
    ASSERT_EQ(key.setString("", "Standard"), kErrSuccess);
    ASSERT_EQ(key.setString("Leer", ""), kErrSuccess);
    key.close();

    RegKey read;
    ASSERT_EQ(read.open(RegRoot::CurrentUser, keyPath() + "\\SUB", RegAccess::Read), kErrSuccess);
    std::string text;
    uint32_t number = 0;
    EXPECT_EQ(read.queryString("PFAD", text), kErrSuccess);
    EXPECT_EQ(text, "C:\\Programme\\\"Neu\" \xE4\xF6\xFC");
    EXPECT_EQ(read.queryDword("zahl", number), kErrSuccess);
    EXPECT_EQ(number, 0xDEADBEEFu);
    EXPECT_EQ(read.queryString("", text), kErrSuccess);
    EXPECT_EQ(text, "Standard");
    EXPECT_EQ(read.queryString("Leer", text), kErrSuccess);
    EXPECT_EQ(text, "");
    EXPECT_EQ(read.valueType("Zahl"), RegType::Dword);
    EXPECT_EQ(read.valueType("Pfad"), RegType::String);
    EXPECT_FALSE(read.valueType("Fehlt"));
    EXPECT_EQ(read.queryString("Fehlt", text), kErrFileNotFound);
    EXPECT_NE(read.queryString("Zahl", text), kErrSuccess);
    EXPECT_NE(read.queryDword("Pfad", number), kErrSuccess);
    // A key opened for reading cannot be written.
    EXPECT_EQ(read.setString("Pfad", "x"), kErrAccessDenied);

    RegKey write;
    ASSERT_EQ(write.open(RegRoot::CurrentUser, keyPath() + "\\sub", RegAccess::All), kErrSuccess);
    ASSERT_EQ(write.setString("pfad", "neu"), kErrSuccess);
    EXPECT_EQ(read.queryString("Pfad", text), kErrSuccess);
    EXPECT_EQ(text, "neu");
    ASSERT_EQ(write.deleteValue("PFAD"), kErrSuccess);
    EXPECT_EQ(write.deleteValue("Pfad"), kErrFileNotFound);
    EXPECT_FALSE(read.valueType("Pfad"));
}

TEST_F(RegistryTest, KeysAreCreatedOnlyWhenAsked) {
    RegKey key;
    EXPECT_EQ(key.open(RegRoot::CurrentUser, keyPath() + "\\A\\B", RegAccess::Read),
              kErrFileNotFound);
    EXPECT_FALSE(key.isOpen());
    EXPECT_FALSE(regKeyExists(RegRoot::CurrentUser, keyPath()));
    ASSERT_EQ(key.open(RegRoot::CurrentUser, keyPath() + "\\A\\B", RegAccess::All, true),
              kErrSuccess);
    EXPECT_TRUE(key.isOpen());
    EXPECT_TRUE(regKeyExists(RegRoot::CurrentUser, keyPath() + "\\a"));
    EXPECT_TRUE(regKeyExists(RegRoot::CurrentUser, keyPath() + "\\A\\b"));
    EXPECT_FALSE(regKeyExists(RegRoot::LocalMachine, keyPath() + "\\A"));
    EXPECT_STREQ(regRootName(RegRoot::ClassesRoot), "HKEY_CLASSES_ROOT");
    EXPECT_STREQ(regRootName(RegRoot::CurrentUser), "HKEY_CURRENT_USER");
    EXPECT_STREQ(regRootName(RegRoot::LocalMachine), "HKEY_LOCAL_MACHINE");
}

TEST_F(RegistryTest, ClassesRootIsTheMachinesClassesKey) {
    const std::string ext = ".setuptestclasses";
    RegKey key;
    ASSERT_EQ(key.open(RegRoot::ClassesRoot, ext, RegAccess::All, true), kErrSuccess);
    ASSERT_EQ(key.setString("", "SetupTest.Document"), kErrSuccess);

    RegKey machine;
    ASSERT_EQ(machine.open(RegRoot::LocalMachine, "Software\\Classes\\" + ext, RegAccess::Read),
              kErrSuccess);
    std::string text;
    EXPECT_EQ(machine.queryString("", text), kErrSuccess);
    EXPECT_EQ(text, "SetupTest.Document");
}

} // namespace
