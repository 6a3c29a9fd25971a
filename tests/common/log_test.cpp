#include "common/Log.h"

#include "support/TestEnv.h"

namespace {

class LogTest : public testenv::FreshEnv {
  protected:
    void TearDown() override {
        setup::log::Close();
        FreshEnv::TearDown();
    }
    std::string path() const { return scratch_ + "events.log"; }
    std::string native() const { return testenv::Native(path()); }
};

TEST_F(LogTest, LinesAreUtf8WithEscapedLineBreaksAndOnDiskAtOnce) {
    ASSERT_TRUE(setup::log::Open(native()));
    setup::log::Line("START", {"0.1.0", "C:\\Projekt\\install.ins"});
    setup::log::Line("MSG", {"Info", "Erste Zeile\r\nzweite Zeile\rdritte\xFC -> OK (default)"});
    setup::log::Line("HINT", {""});
    // Read while the log is still open: nothing may wait in a buffer.
    EXPECT_EQ(testenv::ReadFile(path()),
              "START 0.1.0 | C:\\Projekt\\install.ins\n"
              "MSG Info | Erste Zeile\\r\\nzweite Zeile\\rdritte\xC3\xBC -> OK (default)\n"
              "HINT \n");
}

TEST_F(LogTest, ReopeningTruncatesAndClosedLogIgnoresLines) {
    setup::log::Line("START", {"ignored"});
    EXPECT_FALSE(setup::log::IsOpen());
    ASSERT_TRUE(setup::log::Open(native()));
    setup::log::Line("A", {"1"});
    setup::log::Close();
    setup::log::Line("B", {"2"});
    ASSERT_TRUE(setup::log::Open(native()));
    setup::log::Line("C", {"3", "4"});
    EXPECT_EQ(testenv::ReadFile(path()), "C 3 | 4\n");
}

TEST_F(LogTest, OpenFailsInMissingFolder) {
    EXPECT_FALSE(setup::log::Open(testenv::Native(scratch_ + "fehlt\\events.log")));
    EXPECT_FALSE(setup::log::IsOpen());
}

} // namespace
