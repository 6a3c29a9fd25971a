// The planning effects: the machine is read but never changed, and later
// reads see what the plan did before (folders, files, moves, deletions,
// attributes, registry values); the summary groups the changes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/PlanEffects.h"
#include "common/PlanSummary.h"
#include "common/TextFiles.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "support/TestEnv.h"

using namespace setup;
using Kind = PlannedChange::Kind;

namespace {

// The emulated registry's file (empty on Windows, where the registry is the system's).
std::string RegistryFileBytes() {
#ifdef _WIN32
    return {};
#else
    std::ifstream in(std::string(std::getenv("SETUP_ROOT")) + "/registry.reg", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
#endif
}

class PlanEffectsTest : public testenv::FreshEnv {
  protected:
    PlanEffects plan_{DirectEffects()};

    // A file written through the plan as the copier writes one.
    bool PlanFile(const std::string& path, const std::string& bytes, plat::FileTime time) {
        uint32_t error = 0;
        std::unique_ptr<PendingFile> file =
            plan_.BeginFile(path.substr(0, path.rfind('\\') + 1), ".tmp", error);
        if (!file) return false;
        return file->Write(bytes.data(), bytes.size()) && file->Finish(std::nullopt, time) &&
               file->Commit(path);
    }
};

} // namespace

TEST_F(PlanEffectsTest, FoldersAndFilesItMadeExistForLaterStepsOnly) {
    const std::string folder = scratch_ + "Neu";
    EXPECT_EQ(plat::kErrPathNotFound, plan_.CreateFolder(folder + "\\Tief\\Unten"));
    ASSERT_EQ(0u, plan_.CreateFolder(folder));
    EXPECT_EQ(plat::kErrAlreadyExists, plan_.CreateFolder(folder));
    EXPECT_TRUE(plan_.FolderExists(folder + "\\"));
    EXPECT_EQ(0u, plan_.CreateFolder(folder + "\\Tief"));

    const plat::FileTime time = 133000000000000000;
    ASSERT_TRUE(PlanFile(folder + "\\Tief\\liste.txt", "eins\r\nzwei\r\n", time));
    EXPECT_TRUE(plan_.FileExists(folder + "\\TIEF\\LISTE.TXT"));
    plat::DirEntry entry;
    ASSERT_TRUE(plan_.Entry(folder + "\\Tief\\liste.txt", entry));
    EXPECT_EQ(12u, entry.size);
    EXPECT_EQ(time, entry.writeTime);
    EXPECT_EQ("liste.txt", entry.name);
    // A mask finds it too, and the text written reads back.
    ASSERT_TRUE(plan_.Entry(folder + "\\Tief\\*.txt", entry));
    EXPECT_EQ(ReadWholeFile(plan_, folder + "\\Tief\\liste.txt", 100), "eins\r\nzwei\r\n");

    // Nothing of it is on the disk.
    EXPECT_FALSE(plat::folderExists(folder));
    ASSERT_EQ(3u, plan_.Changes().size());
    EXPECT_EQ(Kind::Folder, plan_.Changes()[0].kind);
    EXPECT_EQ(Kind::FileNew, plan_.Changes()[2].kind);
    EXPECT_EQ(12u, plan_.Changes()[2].number);
}

TEST_F(PlanEffectsTest, MovedDeletedAndChangedFilesOfTheMachineStayOnTheDisk) {
    testenv::WriteFile(scratch_ + "alt.bak", "12345");
    testenv::WriteFile(scratch_ + "fest.txt", "x");
    testenv::WriteFile(scratch_ + "weg.txt", "y");
    const std::optional<uint32_t> before = plat::getAttributes(scratch_ + "fest.txt");

    ASSERT_EQ(0u, plan_.CreateFolder(scratch_ + "old"));
    EXPECT_FALSE(plan_.MoveFile(scratch_ + "fehlt.bak", scratch_ + "old\\fehlt.bak", false));
    ASSERT_TRUE(plan_.MoveFile(scratch_ + "alt.bak", scratch_ + "old\\alt.bak", false));
    EXPECT_FALSE(plan_.FileExists(scratch_ + "alt.bak"));
    plat::DirEntry entry;
    EXPECT_FALSE(plan_.Entry(scratch_ + "*.bak", entry));
    ASSERT_TRUE(plan_.Entry(scratch_ + "old\\alt.bak", entry));
    EXPECT_EQ(5u, entry.size);

    ASSERT_TRUE(plan_.SetAttributes(scratch_ + "fest.txt", plat::kAttrReadOnly));
    EXPECT_EQ(plat::kAttrReadOnly, plan_.Attributes(scratch_ + "fest.txt"));
    EXPECT_FALSE(plan_.DeleteFile(scratch_ + "fest.txt")); // read-only, as on the machine
    EXPECT_FALSE(plan_.CanReplace(scratch_ + "fest.txt"));
    ASSERT_TRUE(plan_.DeleteFile(scratch_ + "weg.txt"));
    EXPECT_FALSE(plan_.FileExists(scratch_ + "weg.txt"));
    EXPECT_FALSE(plan_.DeleteFile(scratch_ + "weg.txt"));
    EXPECT_FALSE(ReadWholeFile(plan_, scratch_ + "weg.txt", 100).has_value());

    EXPECT_TRUE(plat::fileExists(scratch_ + "alt.bak"));
    EXPECT_TRUE(plat::fileExists(scratch_ + "weg.txt"));
    EXPECT_FALSE(plat::folderExists(scratch_ + "old"));
    EXPECT_EQ(before, plat::getAttributes(scratch_ + "fest.txt"));
}

TEST_F(PlanEffectsTest, RegistryValuesReadBackAndTheRegistryFileStaysAsItWas) {
    const std::string before = RegistryFileBytes();
    const std::string key = "Software\\Qorv\\Plan";
    EXPECT_FALSE(plan_.RegistryKeyExists(plat::RegRoot::CurrentUser, key));
    ASSERT_TRUE(plan_.SetRegistryString(plat::RegRoot::CurrentUser, key, "Pfad", "C:\\X").ok());
    ASSERT_TRUE(plan_.SetRegistryDword(plat::RegRoot::CurrentUser, key, "Zahl", 3).ok());
    EXPECT_EQ("C:\\X",
              plan_.RegistryString(plat::RegRoot::CurrentUser, "SOFTWARE\\qorv\\plan", "pfad"));
    EXPECT_FALSE(plan_.RegistryString(plat::RegRoot::CurrentUser, key, "Zahl").has_value());
    EXPECT_TRUE(plan_.RegistryKeyExists(plat::RegRoot::CurrentUser, "Software\\Qorv"));
    EXPECT_FALSE(DirectEffects().RegistryKeyExists(plat::RegRoot::CurrentUser, key));
    EXPECT_EQ(before, RegistryFileBytes());
}

TEST(PlanSummary, FilesWrittenTwiceShowOnceAndChangesAreGroupedByKind) {
    const std::vector<PlannedChange> changes = {
        {Kind::Folder, "C:\\Ziel", {}, {}, 0},
        {Kind::FileNew, "C:\\Ziel\\Deinst.ins", {}, {}, 10},
        {Kind::FileNew, "C:\\Ziel\\a.txt", {}, {}, 3},
        {Kind::FileReplaced, "C:\\Ziel\\b.txt", {}, {}, 4},
        {Kind::FileReplaced, "C:\\Ziel\\DEINST.INS", {}, {}, 20},
        {Kind::RegistryValue, "HKEY_CLASSES_ROOT\\.ntz", {}, "Notiz.Dokument", 0},
        {Kind::RegistryValue, "HKEY_CURRENT_USER\\Software\\Q", "Wert", "1", 0},
        {Kind::RegistryValue, "HKEY_CURRENT_USER\\Software\\Q", "wert", "2", 0},
        {Kind::Shortcut, "C:\\Menu\\Notiz.LNK", {}, "C:\\Ziel\\notiz.exe", 0},
        {Kind::Move, "C:\\Ziel\\x.bak", {}, "C:\\Ziel\\old\\x.bak", 0},
        {Kind::Program, "C:\\Ziel\\setup2.exe /q", {}, "C:\\Ziel", 0},
        {Kind::WebFolder, "http://127.0.0.1:8000/atlas/", {}, {}, 0},
    };
    PlanTotals totals;
    totals.caption = "Notiz";
    totals.unchanged = 4;
    totals.exitStatus = 3;
    const std::string text = FormatPlanSummary(changes, totals);
    EXPECT_NE(std::string::npos, text.find("Dateien: 2 neu, 1 ersetzt, 4 unver"));
    EXPECT_NE(std::string::npos, text.find("  neu       C:\\Ziel\\DEINST.INS (20 Bytes)\n"));
    EXPECT_EQ(std::string::npos, text.find("Deinst.ins (10 Bytes)"));
    EXPECT_NE(std::string::npos, text.find("Registrierungswerte: 1\n"
                                           "  HKEY_CURRENT_USER\\Software\\Q | wert = 2\n"));
    EXPECT_NE(std::string::npos, text.find("Dateizuordnungen: 1\n"
                                           "  HKEY_CLASSES_ROOT\\.ntz | (Standard) = "
                                           "Notiz.Dokument\n"));
    EXPECT_NE(std::string::npos, text.find("C:\\Menu\\Notiz.LNK -> C:\\Ziel\\notiz.exe"));
    EXPECT_NE(std::string::npos, text.find("C:\\Ziel\\x.bak -> C:\\Ziel\\old\\x.bak"));
    EXPECT_NE(std::string::npos, text.find("  C:\\Ziel\\setup2.exe /q\n"));
    EXPECT_NE(std::string::npos, text.find("  http://127.0.0.1:8000/atlas/\n"));
    EXPECT_NE(std::string::npos, text.find("Exit-Status der Installation: 3\n"));
}
