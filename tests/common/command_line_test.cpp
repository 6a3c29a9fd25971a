#include <gtest/gtest.h>

#include "common/CommandLineText.h"

using namespace setup;

TEST(CommandLine, SplitArgumentsQuotesAndSeparators) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitArguments("setup.exe  a\tb"), (V{"setup.exe", "a", "b"}));
    EXPECT_EQ(SplitArguments("\"C:\\Program Files\\x.exe\" \"a b\"c"),
              (V{"C:\\Program Files\\x.exe", "a bc"}));
    EXPECT_EQ(SplitArguments("x \"say \"\"hi\"\"\""), (V{"x", "say \"hi\""}));
    EXPECT_EQ(SplitArguments("x \"unclosed"), (V{"x", "unclosed"}));
    EXPECT_EQ(SplitArguments(" \x01 "), V{});
    EXPECT_EQ(SplitArguments("x " + std::string(5000, 'a'))[1].size(), 4096u);
    EXPECT_EQ(SplitArguments("\xE4.ins"), V{"\xE4.ins"});
}

TEST(CommandLine, SplitCommandLineProgramAndParameters) {
    std::string program, params;
    SplitCommandLine("\"C:\\A B\\x.exe\" /s /v", program, params);
    EXPECT_EQ(program, "C:\\A B\\x.exe");
    EXPECT_EQ(params, "/s /v");
    SplitCommandLine("\"C:\\a\"\"b.exe\" -q", program, params);
    EXPECT_EQ(program, "C:\\a\"\"b.exe");
    EXPECT_EQ(params, "-q");
    SplitCommandLine("\"C:\\x.exe\"", program, params);
    EXPECT_EQ(program, "C:\\x.exe");
    EXPECT_EQ(params, "");
    SplitCommandLine("notepad.exe a b", program, params);
    EXPECT_EQ(program, "notepad.exe");
    EXPECT_EQ(params, "a b");
    SplitCommandLine("notepad.exe", program, params);
    EXPECT_EQ(program, "notepad.exe");
    EXPECT_EQ(params, "");
}
