// Devices and pipes given as the answers file or the log on Linux.
#include "common/Log.h"
#include "common/Messages.h"

#include "support/TestEnv.h"

#include <sys/stat.h>

namespace {

class DeviceFilesTest : public testenv::FreshEnv {
  protected:
    void TearDown() override {
        setup::log::Close();
        setup::ClearAnswers();
        FreshEnv::TearDown();
    }
};

TEST_F(DeviceFilesTest, AnswersFromADeviceOrPipeAreRefusedAtOnce) {
    std::string error;
    // /dev/zero never ends; a pipe without a writer would wait forever.
    EXPECT_FALSE(setup::LoadAnswers("/dev/zero", error));
    EXPECT_NE(error.find("/dev/zero ist keine gew\xF6hnliche Datei"), std::string::npos) << error;
    const std::string fifo = testenv::Native(scratch_ + "fifo");
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    EXPECT_FALSE(setup::LoadAnswers(fifo, error));
    EXPECT_NE(error.find("keine gew\xF6hnliche Datei"), std::string::npos) << error;
}

TEST_F(DeviceFilesTest, ALogThatCannotBeWrittenIsNoticed) {
    ASSERT_TRUE(setup::log::Open(testenv::Native(scratch_ + "ok.log")));
    setup::log::Line("START", {"1"});
    EXPECT_FALSE(setup::log::WriteFailed());
    // /dev/full opens but refuses every write.
    ASSERT_TRUE(setup::log::Open("/dev/full"));
    EXPECT_FALSE(setup::log::WriteFailed());
    setup::log::Line("START", {"1"});
    EXPECT_TRUE(setup::log::WriteFailed());
    setup::log::Close();
    EXPECT_FALSE(setup::log::WriteFailed());
}

} // namespace
