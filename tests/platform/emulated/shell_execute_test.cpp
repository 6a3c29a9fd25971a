// The shell's open and explore verbs on the emulated Windows: the desktop's
// opener (xdg-open on the PATH) when a desktop is there, nothing otherwise.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/Process.h"
#include "support/TestEnv.h"

namespace {

// Sets an environment variable for one test and gives back the old value.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

std::string WaitForFile(const std::string& path) {
    for (int i = 0; i < 100; ++i) {
        std::ifstream in(path);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        if (!text.empty() && text.back() == '\n') return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
}

class ShellExecute : public testenv::FreshEnv {
  protected:
    // A stand-in opener that writes what it was asked to open.
    void SetUp() override {
        FreshEnv::SetUp();
        bin_ = testenv::Native(scratch_ + "bin");
        record_ = testenv::Native(scratch_ + "opened.txt");
        ::mkdir(bin_.c_str(), 0755);
        const std::string opener = bin_ + "/xdg-open";
        std::ofstream(opener) << "#!/bin/sh\necho \"$@\" > '" << record_ << "'\n";
        ::chmod(opener.c_str(), 0755);
    }
    std::string bin_, record_;
};

TEST_F(ShellExecute, OpenAndExploreGoToTheDesktopsOpenerWithTheLinuxPath) {
    ScopedEnv path("PATH", bin_ + ":/usr/bin:/bin");
    ScopedEnv display("DISPLAY", ":99");
    const std::string folder = scratch_ + "Ziel";
    testenv::WriteFile(folder + "\\a.txt", "x");
    ASSERT_TRUE(plat::shellExecute("explore", folder, "", 0));
    EXPECT_EQ(WaitForFile(record_), testenv::Native(folder) + "\n");
    ::unlink(record_.c_str());
    ASSERT_TRUE(plat::shellExecute("open", "https://example.org/x", "", 0));
    EXPECT_EQ(WaitForFile(record_), "https://example.org/x\n");
    EXPECT_FALSE(plat::shellExecute("print", folder + "\\a.txt", "", 0));
}

TEST_F(ShellExecute, WithoutADesktopNothingIsStarted) {
    ScopedEnv path("PATH", bin_ + ":/usr/bin:/bin");
    ScopedEnv display("DISPLAY", "");
    ScopedEnv wayland("WAYLAND_DISPLAY", "");
    EXPECT_FALSE(plat::shellExecute("explore", scratch_, "", 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_NE(::access(record_.c_str(), F_OK), 0);
}

} // namespace
