// The record a whole installation run writes into Deinst.ins as it goes:
// every file it copied or downloaded with the size and time it has, every
// registry value it wrote with what it replaced, the keys and folders it made,
// and the merging of a repeated run.
#include <filesystem>
#include <map>

#include "common/Ansi.h"
#include "common/FileInfo.h"
#include "engine/EngineTestEnv.h"
#include "engine/ScriptInstall.h"
#include "files/InstallRecord.h"
#include "files/http_test_server.h"
#include "platform/FileSystem.h"

namespace {

using namespace setup::record;

class InstallRecordRunTest : public enginetest::EngineEnv {
  protected:
    void SetUp() override {
        EngineEnv::SetUp();
        server_ = std::make_unique<httptest::Server>(scratch_ + "srv\\");
        ASSERT_TRUE(server_->Running());
        server_->Put("web\\a.txt", "alpha");
        server_->Put("web\\sub\\d.txt", "delta");
        server_->Put("web\\tocopy.txt", "1354129408 5 a.txt\r\n1354129408 5 sub/d.txt\r\n");
        testenv::WriteFile(scratch_ + "src\\bin\\tool.exe", "MZ tool");
        testenv::WriteFile(scratch_ + "src\\bin\\readme.txt", "lies mich");
        testenv::WriteFile(scratch_ + "install.ins",
                           "[Project]\r\nName=SetupTestRec\r\nGroup=SetupTestRec\r\nPart1=Tool\r\n"
                           "IPath=src\r\n"
                           "[Tool]\r\nDir=bin\r\nFile1=tool.exe\r\nFile2=readme.txt\r\n"
                           "URLDir1=" +
                               server_->Url("web") +
                               "\r\n"
                               "Register1=U\\Software\\SetupTestRec\\Folder=%DIR%\r\n"
                               "Register2=U\\Software\\SetupTestRec\\Neu\\Tief\\Wert=#dw:7\r\n"
                               "Register3=U\\Software\\SetupTestRec\\Zahl=#dw:5\r\n"
                               "UnInst=%DIR%tool.exe /remove\r\n");
    }
    void TearDown() override {
        server_.reset();
        EngineEnv::TearDown();
    }

    void Install() {
        setup::TFileHandler copier;
        setup::TScriptInstall engine(nullptr, copier);
        engine.LoadScript(scratch_ + "install.ins");
        engine.SetTargetDir(scratch_ + "Ziel");
        ASSERT_TRUE(engine.RunInstallation(nullptr)) << Log();
    }
    std::vector<Line> Journal() {
        setup::TIni record(scratch_ + "Ziel\\Deinst.ins", setup::IniKind::Record);
        EXPECT_TRUE(record.ReadComplete());
        return ReadLines(record);
    }
    // The Value lines of one value, in file order.
    static std::vector<ValueLine> ValuesOf(const std::vector<Line>& lines, plat::RegRoot root,
                                           const std::string& key, const std::string& name) {
        std::vector<ValueLine> found;
        for (const Line& line : lines)
            if (const auto* v = std::get_if<ValueLine>(&line); v && v->root == root &&
                                                               setup::AnsiSameText(v->key, key) &&
                                                               setup::AnsiSameText(v->name, name))
                found.push_back(*v);
        return found;
    }

    std::unique_ptr<httptest::Server> server_;
};

TEST_F(InstallRecordRunTest, EveryFileAndValueOfARunIsRecorded) {
    SetRegistryString(plat::RegRoot::CurrentUser, "Software\\SetupTestRec\\Folder", "", "alt");
    plat::RegKey key;
    ASSERT_EQ(0u,
              key.open(plat::RegRoot::CurrentUser, "Software\\SetupTestRec", plat::RegAccess::All));
    ASSERT_EQ(0u, key.setDword("Zahl", 3));
    Install();
    const std::vector<Line> lines = Journal();

    // Every file in the target is recorded as it is (the last line of a path
    // counts), the downloaded ones too.
    std::map<std::string, FileLine> files;
    for (const Line& line : lines)
        if (const auto* f = std::get_if<FileLine>(&line)) files[setup::AnsiUpperCase(f->path)] = *f;
    const std::string target = scratch_ + "Ziel\\";
    int seen = 0;
    for (const auto& item :
         std::filesystem::recursive_directory_iterator(testenv::Native(target))) {
        if (!item.is_regular_file() || item.path().filename() == "Deinst.ins") continue;
        std::string relative =
            std::filesystem::relative(item.path(), testenv::Native(target)).string();
        for (char& c : relative)
            if (c == '/') c = '\\';
        const std::string path = target + relative;
        plat::DirEntry entry;
        ASSERT_TRUE(setup::DirectEffects().Entry(path, entry)) << path;
        const auto it = files.find(setup::AnsiUpperCase(path));
        ASSERT_NE(files.end(), it) << path << " not recorded";
        EXPECT_EQ(entry.size, it->second.size) << path;
        EXPECT_EQ(entry.writeTime, it->second.writeTime) << path;
        ++seen;
    }
    EXPECT_EQ(4, seen); // two copied, two downloaded
    EXPECT_TRUE(files.count(setup::AnsiUpperCase(target + "bin\\sub\\d.txt")));

    // Every value the log reports as written has its line with what it replaced.
    const auto reg = LogLines("REG ");
    ASSERT_GE(reg.size(), 8u);
    for (const std::string& logLine : reg) {
        const std::string rest = logLine.substr(4);
        std::vector<std::string> fields;
        for (size_t start = 0;;) {
            const size_t bar = rest.find(" | ", start);
            fields.push_back(rest.substr(start, bar - start));
            if (bar == std::string::npos) break;
            start = bar + 3;
        }
        const plat::RegRoot root = fields[0] == "HKEY_CURRENT_USER"   ? plat::RegRoot::CurrentUser
                                   : fields[0] == "HKEY_CLASSES_ROOT" ? plat::RegRoot::ClassesRoot
                                                                      : plat::RegRoot::LocalMachine;
        EXPECT_FALSE(ValuesOf(lines, root, fields[1], fields[2]).empty()) << logLine;
    }
    const auto folder =
        ValuesOf(lines, plat::RegRoot::CurrentUser, "Software\\SetupTestRec\\Folder", "");
    ASSERT_EQ(1u, folder.size());
    EXPECT_EQ((setup::RegistryValue{plat::RegType::String, "alt"}), folder[0].old);
    const auto number =
        ValuesOf(lines, plat::RegRoot::CurrentUser, "Software\\SetupTestRec", "Zahl");
    ASSERT_EQ(1u, number.size());
    EXPECT_EQ((setup::RegistryValue{plat::RegType::Dword, std::string("\3\0\0\0", 4)}),
              number[0].old);
    const auto deep =
        ValuesOf(lines, plat::RegRoot::CurrentUser, "Software\\SetupTestRec\\Neu\\Tief", "Wert");
    ASSERT_EQ(1u, deep.size());
    EXPECT_FALSE(deep[0].old);

    // The keys the run made, parent first, not the one that was there; the
    // folders it made.
    std::vector<std::string> keys;
    std::vector<std::string> folders;
    for (const Line& line : lines) {
        if (const auto* k = std::get_if<KeyLine>(&line); k && k->root == plat::RegRoot::CurrentUser)
            keys.push_back(k->key);
        if (const auto* f = std::get_if<FolderLine>(&line)) folders.push_back(f->path);
    }
    EXPECT_EQ((std::vector<std::string>{"Software\\SetupTestRec\\Neu",
                                        "Software\\SetupTestRec\\Neu\\Tief"}),
              keys)
        << testenv::ReadFile(target + "Deinst.ins");
    for (const std::string& made : {target, target + "bin\\", target + "bin\\sub\\"})
        EXPECT_NE(folders.end(), std::find(folders.begin(), folders.end(), made)) << made;
}

// A second and a third run into the same folder: the value from before the
// first installation stays the earliest line of that value, files are
// recorded as the last copy left them, and lines do not pile up.
TEST_F(InstallRecordRunTest, RepeatedRunsKeepTheValueFromBeforeTheFirst) {
    SetRegistryString(plat::RegRoot::CurrentUser, "Software\\SetupTestRec\\Folder", "", "alt");
    Install();
    const size_t first = Journal().size();
    SetRegistryString(plat::RegRoot::CurrentUser, "Software\\SetupTestRec\\Folder", "", "zwischen");
    testenv::WriteFile(scratch_ + "src\\bin\\readme.txt", "lies mich jetzt");
    ASSERT_TRUE(
        setup::SetFileDate(scratch_ + "src\\bin\\readme.txt", (45 << 25) | (3 << 21) | (1 << 16)));
    Install();
    Install();
    const std::vector<Line> lines = Journal();
    const auto folder =
        ValuesOf(lines, plat::RegRoot::CurrentUser, "Software\\SetupTestRec\\Folder", "");
    ASSERT_EQ(2u, folder.size()); // merged, and the line of the last run
    EXPECT_EQ((setup::RegistryValue{plat::RegType::String, "alt"}), folder[0].old);
    EXPECT_LT(lines.size(), 2 * first) << "the runs' lines were not merged";

    const FileLine* readme = nullptr;
    for (const Line& line : lines)
        if (const auto* f = std::get_if<FileLine>(&line);
            f && setup::AnsiSameText(f->path, scratch_ + "Ziel\\bin\\readme.txt"))
            readme = f;
    ASSERT_NE(nullptr, readme);
    plat::DirEntry entry;
    ASSERT_TRUE(setup::DirectEffects().Entry(scratch_ + "Ziel\\bin\\readme.txt", entry));
    EXPECT_EQ(entry.size, readme->size);
    EXPECT_EQ(entry.writeTime, readme->writeTime);
}

} // namespace
