// Fixture of the font tests: real fonts from Debian's fonts-dejavu-core as
// sources, and the Fonts folder cleaned of what a test put there.
#pragma once

#include <string>
#include <vector>

#include "common/FileInfo.h"
#include "common/Paths.h"
#include "engine/EngineTestEnv.h"
#include "files/FileHandler.h"
#include "platform/FileSystem.h"
#include "platform/Fonts.h"

namespace fontstest {

inline const std::string kDejaVu = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\";
inline const std::string kNtFonts = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

class FontsEnv : public enginetest::EngineEnv {
  protected:
    void SetUp() override {
        EngineEnv::SetUp();
        if (!plat::fileExists(kDejaVu + "DejaVuSans.ttf"))
            GTEST_SKIP() << "fonts-dejavu-core is not installed (scripts/install-deps.sh)";
        fonts_ = setup::WindowsFolder() + "Fonts\\";
    }
    void TearDown() override {
        // The Wine prefix is shared by the whole test program: take out what
        // a test put into the font table and the Fonts folder.
        for (const std::string& file : placed_) {
            plat::removeFontResource(fonts_ + file);
            plat::setAttributes(fonts_ + file, plat::kAttrNormal);
            plat::deleteFile(fonts_ + file);
        }
        EngineEnv::TearDown();
    }

    // A copy of a DejaVu font in the scratch folder, dated dosDate; its
    // namesake in the Fonts folder goes when the test ends.
    std::string Source(const std::string& font, int32_t dosDate = 0x5A210000) {
        const std::string path = scratch_ + font;
        testenv::WriteFile(path, testenv::ReadFile(kDejaVu + font));
        EXPECT_TRUE(setup::SetFileDate(path, dosDate));
        placed_.push_back(font);
        return path;
    }

    std::string fonts_;
    std::vector<std::string> placed_;
    setup::TFileHandler copier_;
    std::vector<std::string> messages_;
};

} // namespace fontstest
