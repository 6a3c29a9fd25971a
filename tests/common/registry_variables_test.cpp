#include <gtest/gtest.h>

#include "common/Messages.h"
#include "common/RegistryVariables.h"
#include "platform/Registry.h"
#include "platform/Time.h"
#include "support/TestEnv.h"

using namespace setup;

namespace {

class RegistryVariables : public testenv::FreshEnv {
  protected:
    void SetUp() override {
        FreshEnv::SetUp();
        SetRegistryNode("TIV_NN");
        SetUnattended(true);
    }
    void TearDown() override {
        SetUnattended(false);
        FreshEnv::TearDown();
    }
    static void Set(plat::RegRoot root, const std::string& key, const std::string& name,
                    const std::string& value) {
        plat::RegKey k;
        ASSERT_EQ(k.open(root, key, plat::RegAccess::All, true), 0u);
        ASSERT_EQ(k.setString(name, value), 0u);
    }
    static void Node(const std::string& name, const std::string& value) {
        Set(plat::RegRoot::CurrentUser, "Software\\TIV_NN\\" + name, "", value);
    }
    // New for every test and every run.
    static std::string UniqueSuffix() { return std::to_string(plat::now()); }
    static std::string Expanded(std::string text) {
        ExpandRegistryVariables(text, false);
        return text;
    }
};

} // namespace

TEST_F(RegistryVariables, ExpansionRules) {
    Node("P", "C:\\A\\B\\");
    Node("Q", "C:\\Q");
    EXPECT_EQ(Expanded("%\xA7P%"), "C:\\A\\B\\");
    EXPECT_EQ(Expanded("x%\xA7P%\\..\\bin"), "xC:\\A\\bin");
    EXPECT_EQ(Expanded("%\xA7P%\\..\\..\\..\\..\\..\\z"), "\\z");
    EXPECT_EQ(Expanded("%\xA7P%\\file"), "C:\\A\\B\\file");
    EXPECT_EQ(Expanded("%\xA7Q%\\..\\"), "C:\\");
    // "%%" is a literal "%" and is not expanded further.
    EXPECT_EQ(Expanded("%%\xA7P%"), "%\xA7P%");
    EXPECT_EQ(Expanded("100%% %\xA7Q%"), "100% C:\\Q");
    // "%+" quotes this and every later value.
    EXPECT_EQ(Expanded("%\xA7Q% %+\xA7Q% %\xA7Q%"), "C:\\Q \"C:\\Q\" \"C:\\Q\"");
    // Unclosed or empty references stay as they are; missing values are empty.
    EXPECT_EQ(Expanded("a%\xA7P"), "a%\xA7P");
    EXPECT_EQ(Expanded("a%\xA7"), "a%\xA7");
    EXPECT_EQ(Expanded("[%\xA7Missing%]"), "[]");
}

TEST_F(RegistryVariables, WhereValuesComeFrom) {
    // Rooted: the key's default value, else the value named by the last component.
    Set(plat::RegRoot::CurrentUser, "Software\\SetupTest\\Key", "", "default");
    Set(plat::RegRoot::CurrentUser, "Software\\SetupTest", "Named", "named");
    EXPECT_EQ(Expanded("%\xA7U\\Software\\SetupTest\\Key\\%"), "default");
    EXPECT_EQ(Expanded("%\xA7U\\Software\\SetupTest\\Named%"), "named");
    // Unrooted, missing from the node: the installer's machine-wide key. (The
    // name is new per test: under Wine the registry outlives a test.)
    const std::string machine = "Machine" + UniqueSuffix();
    Set(plat::RegRoot::LocalMachine, "Software\\Qorv\\" + machine, "", "m");
    EXPECT_EQ(Expanded("%\xA7" + machine + "%"), "m");
    Node(machine, "user");
    EXPECT_EQ(Expanded("%\xA7" + machine + "%"), "user");

    // The short form resolves rooted names only and passes the project name on.
    Set(plat::RegRoot::LocalMachine, "Software\\Qorv\\Tarvel.Exe\\Projects\\Demo\\Dir", "",
        "C:\\Demo\\");
    std::string text = "%\xA7P\\Dir%\\..\\x.exe|%\xA7Machine%";
    EXPECT_TRUE(ExpandRegistryVariablesShort(text, "Demo"));
    EXPECT_EQ(text, "C:\\x.exe|");
}

TEST_F(RegistryVariables, HostileInputTerminates) {
    // A value that names itself grows the text at every step; the expansion
    // is bounded.
    Node("Self", "x%\xA7Self%");
    const std::string self = Expanded("%\xA7Self%");
    EXPECT_LT(self.size(), 300u * 1024u);
    EXPECT_EQ(self.substr(0, 3), "xxx");
    Node("Up", "C:\\A\\");
    std::string climbs = "%\xA7Up%";
    for (int i = 0; i < 5000; ++i)
        climbs += "\\..";
    EXPECT_EQ(Expanded(climbs), "");
    EXPECT_EQ(Expanded(std::string(3000, '%')), std::string(1500, '%'));
}

TEST_F(RegistryVariables, PromptsForAMissingNodeValueEnd) {
    // Nobody at the screen answers every prompt with its default (Yes): the
    // prompts must not repeat forever.
    EXPECT_EQ(ReadUserNodeValue("TIV_NN", "Nothing", true), "?");
    EXPECT_EQ(ReadUserNodeValue("TIV_NN", "Nothing", false), "");
    Node("There", "v");
    EXPECT_EQ(ReadUserNodeValue("TIV_NN", "There", true), "v");
}
