// The PE reader of the emulated Windows on damaged files: truncated at every
// length and with bytes overwritten it must answer, never crash or read
// outside the file (the sanitizer build checks the latter).
#include <gtest/gtest.h>

#include "common/FileInfo.h"
#include "platform/VersionInfo.h"
#include "support/TestEnv.h"
#include "../version_resource.h"

namespace {

class VersionResourceHostile : public testenv::FreshEnv {};

} // namespace

TEST_F(VersionResourceHostile, DamagedFilesNeverCrash) {
    const std::string good = testpe::MakeVersionedPe({{"CompanyName", "A"}, {"FileVersion", "1"}},
                                                     {{"ProductName", "P"}});
    const std::string path = scratch_ + "damaged.dll";
    std::vector<std::string> list;

    for (size_t len = 0; len < good.size(); len += 7) {
        testenv::WriteFile(path, good.substr(0, len));
        setup::ReadVersionInfo(path, list);
    }
    uint32_t seed = 12345;
    for (int round = 0; round < 400; ++round) {
        std::string bad = good;
        for (int k = 0; k < 4; ++k) {
            seed = seed * 1103515245u + 12345u;
            const size_t at = (seed >> 8) % bad.size();
            seed = seed * 1103515245u + 12345u;
            bad[at] = static_cast<char>((round & 1) ? 0xFF : (seed >> 16));
        }
        testenv::WriteFile(path, bad);
        setup::ReadVersionInfo(path, list);
    }
    // The intact file still reads.
    list.clear();
    testenv::WriteFile(path, good);
    setup::ReadVersionInfo(path, list);
    EXPECT_EQ(list.size(), 3u);
}

TEST(VersionResourceBlock, DamagedBlocksNeverCrash) {
    const std::string pe = testpe::MakeVersionedPe({{"CompanyName", "A"}}, {});
    const std::string good = testpe::VersionBlock({{"CompanyName", "A"}}, {});
    std::string value;
    for (size_t len = 0; len <= good.size(); ++len) {
        std::vector<uint8_t> block(good.begin(), good.begin() + static_cast<ptrdiff_t>(len));
        plat::queryVersionString(block, "StringFileInfo\\040704E4\\CompanyName", value);
    }
    for (size_t at = 0; at < good.size(); ++at) {
        for (uint8_t b : {uint8_t(0), uint8_t(1), uint8_t(0xFF), uint8_t(0x7F)}) {
            std::vector<uint8_t> block(good.begin(), good.end());
            block[at] = b;
            plat::queryVersionString(block, "StringFileInfo\\040704E4\\CompanyName", value);
            plat::queryVersionString(block, "\\\\x\\", value);
        }
    }
    std::vector<uint8_t> block(good.begin(), good.end());
    ASSERT_TRUE(plat::queryVersionString(block, "stringfileinfo\\040704e4\\companyname", value));
    EXPECT_EQ(value, "A");
    EXPECT_FALSE(plat::queryVersionString(block, "StringFileInfo\\040704E4\\Missing", value));
    EXPECT_FALSE(plat::queryVersionString(block, "", value));
}
