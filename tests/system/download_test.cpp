// The download step of a part against a server on 127.0.0.1: lists, the skip
// rule, "?" names, failures that keep the previous files, names that would
// leave the part's folder, and the progress of a large file.
#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "files/Download.h"

#include "common/FileInfo.h"
#include "files/HttpClient.h"
#include "files/http_test_server.h"

namespace {

using setup::TFileHandler;
using setup::TScriptInstall;

// 15.06.2020 12:00:00 and 16.06.2020 08:30:10 as DOS date-times.
constexpr int32_t Date1 = (40 << 25) | (6 << 21) | (15 << 16) | (12 << 11);
constexpr int32_t Date2 = (40 << 25) | (6 << 21) | (16 << 16) | (8 << 11) | (30 << 5) | 5;

class DownloadTest : public enginetest::EngineEnv {
  protected:
    void SetUp() override {
        EngineEnv::SetUp();
        server_ = std::make_unique<httptest::Server>(scratch_ + "srv\\");
        ASSERT_TRUE(server_->Running());
    }
    void TearDown() override {
        server_.reset();
        EngineEnv::TearDown();
    }
    // Loads a script whose part BASE fetches from the given web folders.
    void Script(const std::string& urlDirs) {
        testenv::WriteFile(
            scratch_ + "install.ins",
            "[Project]\r\nName=P\r\nPart1=Base\r\n[BASE]\r\nHeadLine=Hole Dateien\r\n" + urlDirs);
        engine_.LoadScript(scratch_ + "install.ins");
        engine_.SetTargetDir(scratch_ + "target");
    }
    std::string Local(const std::string& name) { return scratch_ + "target\\part\\" + name; }
    static std::string Line(int32_t date, size_t size, const std::string& name) {
        return std::to_string(date) + " " + std::to_string(size) + " " + name + "\r\n";
    }

    std::unique_ptr<httptest::Server> server_;
    TFileHandler copier_;
    TScriptInstall engine_{nullptr, copier_};
};

TEST_F(DownloadTest, FetchesWhatIsMissingOrDifferent) {
    server_->Put("web\\a.txt", "alpha");
    server_->Put("web\\same.txt", "same");
    server_->Put("web\\size.txt", "longer now");
    server_->Put("web\\get.txt", "query");
    server_->Put("web\\sub\\d.txt", "delta");
    server_->Put("web\\tocopy.txt", Line(Date1, 5, "A.txt") + "\n" + Line(Date1, 4, "same.txt") +
                                        Line(Date1, 10, "size.txt") +
                                        Line(Date2, 5, "Get.txt?V=2") +
                                        Line(Date2, 5, "sub/d.txt"));
    testenv::WriteFile(Local("same.txt"), "same");
    ASSERT_TRUE(setup::SetFileDate(Local("same.txt"), Date1));
    testenv::WriteFile(Local("size.txt"), "short");
    ASSERT_TRUE(setup::SetFileDate(Local("size.txt"), Date2)); // newer, but another size
    std::vector<std::string> statuses;
    engine_.OnStatus = [&](TScriptInstall&, const std::string& name, const std::string&) {
        statuses.push_back(name);
    };

    Script("URLDir1=" + server_->Url("WEB") + "\r\n");
    EXPECT_TRUE(
        setup::DownloadPartFiles(engine_.Context(), engine_.Context().Part("BASE", "part\\")));

    EXPECT_EQ(4, engine_.Context().counters.updated);
    EXPECT_EQ("alpha", testenv::ReadFile(Local("a.txt")));
    EXPECT_EQ("longer now", testenv::ReadFile(Local("size.txt")));
    EXPECT_EQ("query", testenv::ReadFile(Local("get.txt")));
    EXPECT_EQ("delta", testenv::ReadFile(Local("sub\\d.txt")));
    EXPECT_EQ(Date1, setup::FileDosDate(Local("a.txt")));
    EXPECT_EQ(Date2, setup::FileDosDate(Local("sub\\d.txt")));
    const std::string requests = server_->Requests();
    EXPECT_NE(std::string::npos, requests.find("/web/get.txt?v=2\n")) << requests;
    EXPECT_EQ(std::string::npos, requests.find("same.txt")) << requests;
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ("Hole Dateien", statuses.back());

    // A second run finds everything up to date.
    engine_.Context().counters.updated = 0;
    EXPECT_TRUE(
        setup::DownloadPartFiles(engine_.Context(), engine_.Context().Part("BASE", "part\\")));
    EXPECT_EQ(0, engine_.Context().counters.updated);
}

TEST_F(DownloadTest, FailuresKeepThePreviousFilesAndGoOn) {
    server_->Put("good.txt", "good");
    server_->Put("big.bin", std::string(200000, 'n')); // half of it at /cut/big.bin
    server_->Put("tocopy.txt",
                 Line(Date1, 1, "missing.txt") + Line(Date1, 200000, "cut/big.bin") +
                     Line(Date1, 1, "../evil1.txt") + Line(Date1, 1, "..%2F..%2Fevil2.txt") +
                     Line(Date1, 1, "sub\\..\\..\\evil3.txt") + Line(Date1, 4, "good.txt"));
    server_->Put("evil1.txt", "x");
    testenv::WriteFile(Local("cut\\big.bin"), "previous");

    Script("URLDir1=" + server_->Url("") + "\r\n");
    EXPECT_FALSE(
        setup::DownloadPartFiles(engine_.Context(), engine_.Context().Part("BASE", "part\\")));
    EXPECT_EQ(1, engine_.Context().counters.updated);
    EXPECT_EQ("good", testenv::ReadFile(Local("good.txt")));
    EXPECT_EQ("previous", testenv::ReadFile(Local("cut\\big.bin")));
    EXPECT_FALSE(plat::fileExists(Local("missing.txt")));
    for (const char* outside :
         {"target\\evil1.txt", "target\\evil2.txt", "evil2.txt", "target\\evil3.txt"})
        EXPECT_FALSE(plat::fileExists(scratch_ + outside)) << outside;
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("missing.txt nicht kopiert!")) << log;
    EXPECT_NE(std::string::npos, log.find("evil2.txt nicht kopiert!")) << log;
    EXPECT_FALSE(setup::AbortRequested);

    // No list: the part's later web folders are not asked.
    Script("URLDir1=" + server_->Url("nolist") + "\r\nURLDir2=" + server_->Url("") + "\r\n");
    EXPECT_FALSE(
        setup::DownloadPartFiles(engine_.Context(), engine_.Context().Part("BASE", "part\\")));
    EXPECT_NE(std::string::npos, Log().find("tocopy.txt nicht gefunden!"));
    EXPECT_EQ(1, engine_.Context().counters.updated);
}

// A transfer shorter than the list says, one slower than the speed floor,
// a list larger than a list can be and list names whose folder cannot be
// made each fail alone: reported, the previous file kept, the next line done.
TEST_F(DownloadTest, ShortSlowAndUnusableLinesFailAloneAndTheRestGoesOn) {
    plat::setHttpSpeedWindowForTests(1);
    struct Restore {
        ~Restore() { plat::setHttpSpeedWindowForTests(0); }
    } restore;
    server_->Put("one\\good.txt", std::string(1000, 'n'));
    server_->Put("one\\tocopy.txt", Line(Date2, 1000, "good.txt"));
    server_->Put("two\\slow.txt", std::string(4000, 's'));
    server_->Put("two\\tocopy.txt", Line(Date2, 4000, "slow.txt"));
    server_->Put("three\\next.txt", "next");
    server_->Put("three\\tocopy.txt",
                 Line(Date1, 1, "..\t/up20.txt") + Line(Date1, 1, "con.txt/y.txt") +
                     Line(Date1, 1, "a\x01b/z.txt") + Line(Date1, 4, "next.txt"));
    server_->Put("big\\tocopy.txt", std::string(setup::THttpClient::MaxTextSize + 1, ' '));
    server_->Put("big\\after.txt", "after");
    for (const char* name : {"good.txt", "slow.txt"}) {
        testenv::WriteFile(Local(name), std::string(name) == "good.txt" ? std::string(1000, 'o')
                                                                        : std::string(4000, 'o'));
        ASSERT_TRUE(setup::SetFileDate(Local(name), Date1));
    }

    Script("URLDir1=" + server_->Url("short/one") + "\r\nURLDir2=" + server_->Url("drip/two") +
           "\r\nURLDir3=" + server_->Url("three") + "\r\n");
    EXPECT_FALSE(
        setup::DownloadPartFiles(engine_.Context(), engine_.Context().Part("BASE", "part\\")));
    EXPECT_EQ(std::string(1000, 'o'), testenv::ReadFile(Local("good.txt")));
    EXPECT_EQ(std::string(4000, 'o'), testenv::ReadFile(Local("slow.txt")));
    EXPECT_EQ("next", testenv::ReadFile(Local("next.txt")));
    EXPECT_EQ(1, engine_.Context().counters.updated);
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("100 statt 1000 Bytes")) << log;
    EXPECT_NE(std::string::npos, log.find("stockt")) << log;
    EXPECT_NE(std::string::npos, log.find("up20.txt nicht kopiert!")) << log;
    EXPECT_NE(std::string::npos, log.find("y.txt nicht kopiert!")) << log;
    EXPECT_NE(std::string::npos, log.find("z.txt nicht kopiert!")) << log;
    EXPECT_FALSE(setup::AbortRequested);

    Script("URLDir1=" + server_->Url("big") + "\r\n");
    EXPECT_FALSE(
        setup::DownloadPartFiles(engine_.Context(), engine_.Context().Part("BASE", "part\\")));
    EXPECT_NE(std::string::npos, Log().find("als 4194304 Bytes")) << Log();
    EXPECT_FALSE(plat::fileExists(Local("after.txt")));
}

TEST_F(DownloadTest, LargeFileAdvancesTheProgress) {
    const size_t size = 50u << 20;
    server_->Put("big.bin", std::string(size, 'b'));
    server_->Put("tocopy.txt", Line(Date1, size, "big.bin"));
    std::vector<int64_t> progress;
    copier_.OnProgress = [&] { progress.push_back(copier_.ProcessedBytes()); };

    Script("URLDir1=" + server_->Url("") + "\r\n");
    EXPECT_TRUE(
        setup::DownloadPartFiles(engine_.Context(), engine_.Context().Part("BASE", "part\\")));
    EXPECT_EQ(static_cast<int64_t>(size), copier_.BytesDownloaded);
    EXPECT_EQ(static_cast<int64_t>(size), setup::FileSize64(Local("big.bin")));
    ASSERT_GT(progress.size(), 10u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(static_cast<int64_t>(size), progress.back());
}

TEST_F(DownloadTest, CancelDuringATransferKeepsThePreviousFile) {
    server_->Put("big.bin", std::string(20u << 20, 'n'));
    server_->Put("later.txt", "later");
    server_->Put("tocopy.txt", Line(Date1, 20u << 20, "big.bin") + Line(Date1, 5, "later.txt"));
    testenv::WriteFile(Local("big.bin"), "previous");
    copier_.OnProgress = [] { setup::AbortRequested = true; };

    Script("URLDir1=" + server_->Url("") + "\r\n");
    EXPECT_FALSE(
        setup::DownloadPartFiles(engine_.Context(), engine_.Context().Part("BASE", "part\\")));
    EXPECT_TRUE(setup::AbortRequested);
    EXPECT_EQ("previous", testenv::ReadFile(Local("big.bin")));
    EXPECT_FALSE(plat::fileExists(Local("later.txt")));
    EXPECT_EQ(std::string::npos, Log().find("nicht kopiert!")); // Cancel asks nothing more
    plat::DirSearch search;
    int files = 0;
    for (bool found = search.first(Local("*")); found; found = search.next())
        files += (search.entry().attributes & plat::kAttrDirectory) == 0;
    EXPECT_EQ(1, files); // no temporary file left
}

} // namespace
