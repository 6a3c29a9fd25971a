// Shared set-up of the file copier tests: a copier whose events and
// questions are recorded, scripted answers to its questions and to the
// messages it shows, the event log of the test and file helpers.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "common/Answers.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "files/FileHandler.h"
#include "platform/FileSystem.h"
#include "support/TestEnv.h"

namespace setup::copiertest {

constexpr plat::FileTime Sec = 10'000'000;
// 2020-06-15 12:00:00 UTC, an even second.
constexpr plat::FileTime T0 = 132366960000000000ULL;

class CopierTest : public testenv::FreshEnv {
  protected:
    void SetUp() override {
        FreshEnv::SetUp();
        AbortRequested = false;
        SetUnattended(true);
        ClearAnswers();
        ASSERT_TRUE(log::Open(testenv::Native(scratch_ + "events.log")));
        src_ = scratch_ + "src\\";
        dst_ = scratch_ + "dst\\";
        fh_.OnFileDone = [this](FileKind kind) {
            events_.push_back("done" + std::to_string(FileKindNumber(kind)) + " " + fh_.DestName);
        };
        fh_.OnQuestion = [this](const CopyQuestion& q) { return Reply(q); };
        fh_.OnFolderCreated = [this](const std::string& f) { events_.push_back("folder " + f); };
    }
    void TearDown() override {
        log::Close();
        ClearAnswers();
        SetUnattended(false);
        AbortRequested = false;
        FreshEnv::TearDown();
    }

    // The answers to the copier's next questions, in order. A question
    // without an answer left fails the test and is cancelled.
    void Replies(std::initializer_list<CopyAnswer> answers) { replies_.assign(answers); }
    CopyAnswer Reply(const CopyQuestion& q) {
        asked_.push_back(q);
        if (replies_.empty()) {
            ADD_FAILURE() << "unexpected question about " << q.dest;
            return CopyAnswer::Cancel;
        }
        const CopyAnswer answer = replies_.front();
        replies_.pop_front();
        return answer;
    }

    // Rules for the messages the copier shows (reports of failed files).
    void Answers(const std::string& rules) {
        testenv::WriteFile(scratch_ + "answers.txt", rules);
        std::string error;
        ASSERT_TRUE(LoadAnswers(testenv::Native(scratch_ + "answers.txt"), error)) << error;
    }
    // The message lines of the log so far, without "MSG ".
    std::vector<std::string> Prompts() const {
        std::istringstream in(testenv::ReadFile(scratch_ + "events.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (line.rfind("MSG ", 0) == 0) lines.push_back(line.substr(4));
        return lines;
    }
    // How a message appears in the log line of its box.
    static std::string Logged(const std::string& kind, const std::string& text,
                              const std::string& answer) {
        return kind + " | " + AnswerMatchText(text) + " -> " + answer;
    }
    static void Make(const std::string& path, const std::string& bytes, plat::FileTime t) {
        testenv::WriteFile(path, bytes);
        ASSERT_EQ(SetFileTimes(path, t), 0u) << path;
    }
    static plat::DirEntry Entry(const std::string& path) {
        auto e = plat::statPath(path);
        EXPECT_TRUE(e.has_value()) << path;
        return e.value_or(plat::DirEntry{});
    }
    // The names in a folder, to see that no temporary file was left behind.
    static std::vector<std::string> Names(const std::string& folder) {
        std::vector<std::string> names;
        plat::DirSearch s;
        if (s.first(folder + "*")) do {
                if (s.entry().name != "." && s.entry().name != "..")
                    names.push_back(s.entry().name);
            } while (s.next());
        return names;
    }
    static std::string Placeholder(int64_t size) {
        std::string bytes = "DUMMY$#$" + std::string(8, 'x');
        for (int i = 0; i < 8; ++i)
            bytes += static_cast<char>((size >> (8 * i)) & 0xFF);
        return bytes;
    }

    TFileHandler fh_;
    std::vector<std::string> events_;
    std::deque<CopyAnswer> replies_;
    std::vector<CopyQuestion> asked_;
    std::string src_, dst_;
};

} // namespace setup::copiertest
