// The Win32 registry backend on the real (Wine) registry, below a scratch key
// HKCU\Software\SetupTest\<random> that is removed after each test.
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/win32/WindowsSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

class Win32Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        key_ =
            "Software\\SetupTest\\" + std::to_string(random()) + std::to_string(::GetTickCount());
    }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, plat::win::widen(key_).c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, plat::win::widen(key_).c_str());
    }

    plat::RegKey open(bool create = true) {
        plat::RegKey key;
        EXPECT_EQ(key.open(plat::RegRoot::CurrentUser, key_, plat::RegAccess::All, create), 0u);
        return key;
    }

    std::string key_;
};

TEST_F(Win32Registry, ValuesRoundTripWithTheirTypes) {
    EXPECT_FALSE(plat::regKeyExists(plat::RegRoot::CurrentUser, key_));
    plat::RegKey missing;
    EXPECT_EQ(missing.open(plat::RegRoot::CurrentUser, key_, plat::RegAccess::Read),
              plat::kErrFileNotFound);
    EXPECT_FALSE(missing.isOpen());

    plat::RegKey key = open();
    ASSERT_TRUE(key.isOpen());
    EXPECT_TRUE(plat::regKeyExists(plat::RegRoot::CurrentUser, key_));
    EXPECT_EQ(key.setString("Name", "Value"), 0u);
    EXPECT_EQ(key.setString("", "default"), 0u);
    EXPECT_EQ(key.setDword("Count", 0xFFFFFFFEu), 0u);
    // Longer than the first read buffer.
    const std::string longText(3000, 'L');
    EXPECT_EQ(key.setString("Long", longText), 0u);
    key.close();

    plat::RegKey reader;
    ASSERT_EQ(reader.open(plat::RegRoot::CurrentUser, key_, plat::RegAccess::Read), 0u);
    std::string text;
    uint32_t number = 0;
    EXPECT_EQ(reader.queryString("name", text), 0u);
    EXPECT_EQ(text, "Value");
    EXPECT_EQ(reader.queryString("", text), 0u);
    EXPECT_EQ(text, "default");
    EXPECT_EQ(reader.queryString("Long", text), 0u);
    EXPECT_EQ(text, longText);
    EXPECT_EQ(reader.queryDword("Count", number), 0u);
    EXPECT_EQ(number, 0xFFFFFFFEu);
    EXPECT_EQ(reader.valueType("Name"), plat::RegType::String);
    EXPECT_EQ(reader.valueType("Count"), plat::RegType::Dword);
    EXPECT_FALSE(reader.valueType("Nothing"));

    // Wrong type or missing: an error, and the output is left alone.
    text = "keep";
    number = 7;
    EXPECT_NE(reader.queryString("Count", text), 0u);
    EXPECT_NE(reader.queryDword("Name", number), 0u);
    EXPECT_EQ(reader.queryString("Nothing", text), plat::kErrFileNotFound);
    EXPECT_EQ(text, "keep");
    EXPECT_EQ(number, 7u);
    // A key opened for reading cannot be written.
    EXPECT_EQ(reader.setString("x", "y"), plat::kErrAccessDenied);
}

TEST_F(Win32Registry, Windows1252NamesAndValuesAreStoredAsUnicode) {
    plat::RegKey key = open();
    const std::string name = "Gr\xF6\xDF"
                             "e \x80";
    const std::string value = "C:\\Programme\\M\xFCller \x84quoted\x93 \x9C";
    ASSERT_EQ(key.setString(name, value), 0u);

    // What another program sees: proper UTF-16.
    wchar_t data[64] = {};
    DWORD size = sizeof data;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, plat::win::widen(key_).c_str(),
                             L"Gr\u00F6\u00DFe \u20AC", RRF_RT_REG_SZ, nullptr, data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(data), L"C:\\Programme\\M\u00FCller \u201Equoted\u201C \u0153");

    std::string back;
    EXPECT_EQ(key.queryString("GR\xD6\xDF"
                              "E \x80",
                              back),
              0u);
    EXPECT_EQ(back, value);
    EXPECT_EQ(key.deleteValue(name), 0u);
    EXPECT_EQ(key.deleteValue(name), plat::kErrFileNotFound);
}

TEST_F(Win32Registry, NestedKeysAndClosedHandles) {
    plat::RegKey deep;
    ASSERT_EQ(
        deep.open(plat::RegRoot::CurrentUser, key_ + "\\A\\B\xE4", plat::RegAccess::All, true), 0u);
    EXPECT_TRUE(plat::regKeyExists(plat::RegRoot::CurrentUser, key_ + "\\a\\b\xC4"));
    plat::RegKey moved(std::move(deep));
    EXPECT_TRUE(moved.isOpen());
    EXPECT_EQ(moved.setDword("v", 1), 0u);
    moved.close();
    EXPECT_FALSE(moved.isOpen());
    EXPECT_NE(moved.setDword("v", 2), 0u);
    uint32_t number = 0;
    EXPECT_NE(moved.queryDword("v", number), 0u);

    // An empty path opens the root itself.
    plat::RegKey root;
    EXPECT_EQ(root.open(plat::RegRoot::CurrentUser, "", plat::RegAccess::Read), 0u);
    EXPECT_TRUE(plat::regKeyExists(plat::RegRoot::LocalMachine, "Software"));
    EXPECT_STREQ(plat::regRootName(plat::RegRoot::ClassesRoot), "HKEY_CLASSES_ROOT");
}

} // namespace
