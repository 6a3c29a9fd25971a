// Hostile and oversized scripts: never a crash, sensible results.
#include "script/Ini.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/Ansi.h"
#include "support/TestEnv.h"

namespace setup {
namespace {

class IniBadInputTest : public testenv::FreshEnv {
  protected:
    std::unique_ptr<TIni> Load(const std::string& bytes) {
        testenv::WriteFile(scratch_ + "bad.ins", bytes);
        return std::make_unique<TIni>(scratch_ + "bad.ins");
    }
};

// Holds for every reader: sections sorted and unique without regard to case,
// no stored value with a NUL byte, keys within their limit.
void ExpectWellFormed(const TIni& ini) {
    for (int i = 0; i < ini.SectionCount(); ++i) {
        if (i > 0) {
            ASSERT_LT(AnsiCompareText(ini.SectionName(i - 1), ini.SectionName(i)), 0);
        }
        ASSERT_LE(ini.SectionName(i).size(), 80u);
        const TSection_i& section = ini.Section(i);
        for (int k = 0; k < section.Count(); ++k) {
            ASSERT_EQ(section.Value(k).find('\0'), std::string_view::npos);
            ASSERT_LE(section.Key(k).size(), 254u);
            ASSERT_LE(section.Value(k).size(), 498u);
        }
    }
}

// Sections whose entries are all empty (K='' read as K= with an empty value)
// are not written back.
std::vector<std::string> NonEmptySections(const TIni& ini) {
    std::vector<std::string> names;
    for (int i = 0; i < ini.SectionCount(); ++i) {
        const TSection_i& section = ini.Section(i);
        for (int k = 0; k < section.Count(); ++k) {
            if (!section.Value(k).empty()) {
                names.push_back(ini.SectionName(i));
                break;
            }
        }
    }
    return names;
}

TEST_F(IniBadInputTest, RandomBytesAndNulBytes) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(1 + rng() % 20000, ' ');
        // Bias towards the bytes that matter to the parser.
        const char special[] = {'\r', '\n', '[', ']', '=', ';', '\'', ' ', '\0'};
        for (char& c : bytes)
            c = (rng() % 3 == 0) ? special[rng() % sizeof special] : static_cast<char>(rng());
        std::unique_ptr<TIni> ini = Load(bytes);
        ExpectWellFormed(*ini);
        ini->ReadInteger("x", "y", 1);
        // What was read is written back and read again the same way.
        ini->WriteString("Zz", "K", "v");
        ini->SaveFile();
        // (A key with leading blanks such as " [x]" may come back as a header
        // of its own, so the reloaded file may hold more sections.)
        TIni again(scratch_ + "bad.ins");
        ExpectWellFormed(again);
        for (const std::string& name : NonEmptySections(*ini))
            ASSERT_GE(again.FindSection(name), 0) << name;
    }
}

TEST_F(IniBadInputTest, HugeLineAndLineEndsOfOneKind) {
    std::unique_ptr<TIni> ini = Load("[S]\r\nA=" + std::string(10 * 1024 * 1024, 'x') + "\r\nB=b");
    EXPECT_EQ(ini->ReadString("S", "A", "").size(), 496u);
    EXPECT_EQ(ini->ReadString("S", "B", ""), "b");

    ini = Load(std::string(100000, '\r') + "[S]\rA=1\r\r\rB=2\r");
    EXPECT_EQ(ini->SectionCount(), 1);
    EXPECT_EQ(ini->ReadString("S", "B", ""), "2");

    ini = Load(std::string(100000, '\n'));
    EXPECT_EQ(ini->SectionCount(), 1); // one line of 498 LFs, a keyless entry
    EXPECT_EQ(ini->Section(0).Count(), 1);
}

// How fast they load is measured by bench/ini_bench, not here.
TEST_F(IniBadInputTest, HundredThousandSectionsInDescendingOrder) {
    // Descending order: the worst case for insertion into a sorted list.
    std::string bytes;
    for (int i = 100000; i > 0; --i) {
        char line[64];
        std::snprintf(line, sizeof line, "[Sec%06d]\r\nKey=%d\r\n", i, i);
        bytes += line;
    }
    bytes += "[sec000001]\r\nMore=1\r\n";
    testenv::WriteFile(scratch_ + "many.ins", bytes);
    TIni ini(scratch_ + "many.ins");
    ASSERT_EQ(ini.SectionCount(), 100000);
    EXPECT_EQ(ini.SectionName(0), "Sec000001");
    EXPECT_EQ(ini.ReadInteger("SEC054321", "key", 0), 54321);
    EXPECT_EQ(ini.ReadString("Sec000001", "More", ""), "1");
}

} // namespace
} // namespace setup
