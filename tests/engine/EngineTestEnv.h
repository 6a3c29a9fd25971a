// Fixture of the engine and window tests: a fresh emulated Windows (or Wine
// prefix) with the common services started, message boxes answered by their
// default buttons or by rules, and a log whose lines the tests read back.
#pragma once

#include <string>
#include <vector>

#include "common/Log.h"
#include "common/Messages.h"
#include "common/Startup.h"
#include "files/FileHandler.h"
#include "files/RunContext.h"
#include "platform/Registry.h"
#include "support/TestEnv.h"

namespace enginetest {

// The part of section as a run installs it, with target as its folder.
inline setup::PartInRun PartAt(setup::RunContext& run, const std::string& section,
                               const std::string& target) {
    setup::PartInRun part = run.Part(section, "");
    part.folders.target = target;
    return part;
}

class EngineEnv : public testenv::FreshEnv {
  protected:
    void SetUp() override {
        FreshEnv::SetUp();
        setup::StartupCommonServices();
        setup::SetUnattended(true);
        setup::ClearAnswers();
        setup::AbortRequested = false;
        logPath_ = testenv::Native(scratch_ + "test.log");
        ASSERT_TRUE(setup::log::Open(logPath_));
    }
    void TearDown() override {
        setup::log::Close();
        setup::ClearAnswers();
        setup::AbortRequested = false;
        FreshEnv::TearDown();
    }

    // Rules of an answers file ("TEXT => BUTTON" lines).
    void Answers(const std::string& rules) {
        const std::string path = scratch_ + "answers.txt";
        testenv::WriteFile(path, rules);
        std::string error;
        ASSERT_TRUE(setup::LoadAnswers(testenv::Native(path), error)) << error;
    }

    // The log so far (UTF-8; CR and LF inside texts as \r and \n): it is
    // flushed line by line.
    std::string Log() { return testenv::ReadFile(scratch_ + "test.log"); }
    // The lines that begin with prefix (a tag, or more of the line).
    std::vector<std::string> LogLines(const std::string& tag) {
        std::vector<std::string> lines;
        const std::string text = Log();
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            if (line.compare(0, tag.size(), tag) == 0) lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }

    static void SetRegistryString(plat::RegRoot root, const std::string& key,
                                  const std::string& name, const std::string& value) {
        plat::RegKey k;
        ASSERT_EQ(0u, k.open(root, key, plat::RegAccess::All, true));
        ASSERT_EQ(0u, k.setString(name, value));
    }
    static std::string RegistryString(plat::RegRoot root, const std::string& key,
                                      const std::string& name) {
        plat::RegKey k;
        std::string value;
        if (k.open(root, key, plat::RegAccess::Read) != 0) return "<no key>";
        if (k.queryString(name, value) != 0) return "<no value>";
        return value;
    }

    std::string logPath_;
};

} // namespace enginetest
