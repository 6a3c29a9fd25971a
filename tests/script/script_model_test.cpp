// The script model on real files: where each value stands, the numbered-key
// rule, the key table, and scripts the reader refuses.
#include "script/Script.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "KeyCoverageList.h"
#include "script/Keys.h"
#include "support/TestEnv.h"

namespace setup::script {
namespace {

class ScriptModelTest : public testenv::FreshEnv {
  protected:
    std::string Path() const { return scratch_ + "install.ins"; }
    Model Load(const std::string& bytes) {
        testenv::WriteFile(Path(), bytes);
        return Model(Path());
    }
};

TEST_F(ScriptModelTest, EveryValueKeepsItsFileAndLine) {
    const Model model = Load("; comment\r\n"      // 1
                             "[Project]\r\n"      // 2
                             "Name=Demo\r\n"      // 3
                             "\r\n"               // 4
                             "Part1=Base\r\n"     // 5
                             "Name=second\r\n"    // 6: a repeated key does not count
                             "Font1=a.ttf\r\n"    // 7
                             "[base]\r\n"         // 8
                             "Dir=app\r\n"        // 9
                             "File1=*.exe\r\n"    // 10
                             "FileN1=new.exe\r\n" // 11
                             "[Headline]\r\n"     // 12
                             "BASE=The base\r\n"  // 13
                             "[Project]\r\n"      // 14: a section that comes again
                             "Bytes=12\r\n");     // 15
    const ProjectRecord& project = model.Project();
    EXPECT_EQ(model.FileName(), Path());
    EXPECT_EQ(project.name.text, "Demo");
    EXPECT_EQ(project.name.origin.line, 3u);
    ASSERT_TRUE(project.name.origin.file);
    EXPECT_EQ(*project.name.origin.file, Path());
    EXPECT_EQ(project.bytes.origin.line, 15u);
    ASSERT_EQ(project.parts.size(), 1u);
    EXPECT_EQ(project.parts[0].value.origin.line, 5u);
    ASSERT_EQ(project.fonts.size(), 1u);
    EXPECT_EQ(project.fonts[0].file.origin.line, 7u);

    const PartRecord& part = model.Part("BASE");
    EXPECT_EQ(part.section, "base");
    EXPECT_EQ(part.copy.dir.origin.line, 9u);
    ASSERT_EQ(part.copy.files.size(), 1u);
    EXPECT_EQ(part.copy.files[0].file.origin.line, 10u);
    EXPECT_EQ(part.copy.files[0].newName.text, "new.exe");
    EXPECT_EQ(part.copy.files[0].newName.origin.line, 11u);
    EXPECT_EQ(model.PartHeadline("Base").text, "The base");
    EXPECT_EQ(model.PartHeadline("Base").origin.line, 13u);

    // A missing value has no place.
    EXPECT_TRUE(project.memo.empty());
    EXPECT_EQ(project.memo.origin.line, 0u);
    EXPECT_FALSE(project.memo.origin.file);
    EXPECT_TRUE(model.Part("nowhere").section.empty());
    EXPECT_FALSE(model.HasSection("nowhere"));
    EXPECT_TRUE(model.HasSection("PROJECT"));

    // A file with a byte-order mark counts its lines the same way.
    const Model marked = Load("\xEF\xBB\xBF[Project]\r\n\r\nName=Gr\xC3\xBC\xC3\x9F"
                              "e\r\n");
    EXPECT_EQ(marked.Project().name.text, "Gr\xFC\xDF"
                                          "e");
    EXPECT_EQ(marked.Project().name.origin.line, 3u);
}

TEST_F(ScriptModelTest, NumberedKeysStopAtTheFirstMissingNumber) {
    std::string text = "[Project]\r\nPart1=A\r\nPart2=B\r\nPart4=D\r\n"
                       "Win1=a.dll\r\nWin2=\r\nWin3=c.dll\r\n" // an empty value is missing
                       "WinSys3=x\r\nWinSys1=y\r\n"            // reported by any number
                       "Font1=a.ttf\r\nFont2=b.ttf\r\nFontName2=Bee\r\nFontName3=Sea\r\n";
    for (int n = 1; n <= 1000; ++n)
        text += "Exec" + std::to_string(n) + "=p" + std::to_string(n) + "\r\n";
    text += "[A]\r\nFile1=one\r\nFile2=two\r\nFile3=three\r\nFileN3=renamed\r\n"
            "FileOverride1=2\r\nFileReadOnly2=1\r\nCode3=1,x.dat\r\nFileN5=orphan\r\n"
            "FileMacro1=m.txt\r\nFileMacroOverride1=1\r\nFileMacroN2=unused\r\n"
            "Del2=skipped\r\nHold1=*.cfg\r\nURLDir1=http://h/\r\nURLDir2=http://i/\r\n"
            "Register=single\r\nRegister1=first\r\nRegisterX1=raw\r\n"
            "[Register]\r\nR1=.abc\r\nR2=.def=x\r\n"
            "[CheckRun]\r\n1=C:\\a.exe\r\n2=C:\\b.exe\r\n"
            "[StopRun]\r\nS1=Prog\r\n";
    const Model model = Load(text);
    const ProjectRecord& project = model.Project();
    ASSERT_EQ(project.parts.size(), 2u);
    EXPECT_EQ(project.parts[1].number, 2);
    EXPECT_EQ(project.parts[1].value.text, "B");
    ASSERT_EQ(project.windowsFiles.size(), 1u);
    EXPECT_EQ(project.refusedWinSys, (std::vector<int>{3, 1}));
    // Exec# is read up to its limit.
    ASSERT_EQ(project.programs.size(), 999u);
    EXPECT_EQ(project.programs.back().value.text, "p999");
    // A following key goes with the number of its leader, gaps and all.
    ASSERT_EQ(project.fonts.size(), 2u);
    EXPECT_TRUE(project.fonts[0].name.empty());
    EXPECT_EQ(project.fonts[1].name.text, "Bee");

    const PartRecord& part = model.Part("a");
    ASSERT_EQ(part.copy.files.size(), 3u);
    EXPECT_EQ(part.copy.files[0].override.Integer(0), 2);
    EXPECT_EQ(part.copy.files[1].readOnly.Integer(0), 1);
    EXPECT_TRUE(part.copy.files[1].newName.empty());
    EXPECT_EQ(part.copy.files[2].number, 3);
    EXPECT_EQ(part.copy.files[2].newName.text, "renamed");
    EXPECT_EQ(part.copy.files[2].code.text, "1,x.dat");
    ASSERT_EQ(part.copy.macros.size(), 1u);
    EXPECT_TRUE(part.copy.macros[0].override.Bool(false));
    EXPECT_TRUE(part.copy.deletes.empty()); // Del2 without Del1
    ASSERT_EQ(part.copy.holds.size(), 1u);
    ASSERT_EQ(part.downloads.size(), 2u);
    EXPECT_EQ(part.registry.single.text, "single");
    ASSERT_EQ(part.registry.lines.size(), 1u);
    ASSERT_EQ(part.registry.unexpanded.size(), 1u);
    ASSERT_EQ(model.ClassEntries().size(), 2u);
    EXPECT_EQ(model.ClassEntries()[1].value.text, ".def=x");
    ASSERT_EQ(model.CheckRun().size(), 2u);
    EXPECT_EQ(model.CheckRun()[1].value.text, "C:\\b.exe");
    ASSERT_EQ(model.StopRun().size(), 1u);
}

TEST_F(ScriptModelTest, NumbersAndFlagsReadAsTheReaderReadsThem) {
    const Model model = Load("[Project]\r\nColor1=$F4F1D7\r\nBytes=12 MB\r\nNeed83=0\r\n"
                             "RestorePoint=no\r\ntalk=-3\r\n");
    const ProjectRecord& project = model.Project();
    EXPECT_EQ(project.color1.Integer(0), 0xF4F1D7);
    EXPECT_EQ(project.color2.Integer(0xCABB88), 0xCABB88); // missing: the default
    EXPECT_EQ(project.bytes.Integer(7), 0);                // not a number
    EXPECT_FALSE(project.need83.Bool(true));
    EXPECT_TRUE(project.restorePoint.Bool(false));
    EXPECT_EQ(project.talk.Integer(0), -3);
    EXPECT_EQ(project.name.Or("fallback"), "fallback");
}

TEST_F(ScriptModelTest, ScriptsTheReaderRefusesGiveAnEmptyModelAndTheReason) {
    // UTF-8 with a character that has no Windows-1252 form.
    Model model = Load("\xEF\xBB\xBF[Project]\r\nName=x\r\nX=\xE2\x86\x92\r\n");
    EXPECT_EQ(model.LoadError(), "Zeile 3: das Zeichen U+2192 hat keine Windows-1252-Form");
    EXPECT_TRUE(model.Project().name.empty());
    EXPECT_FALSE(model.HasSection("Project"));
    // UTF-16 with an unpaired surrogate.
    model = Load(std::string("\xFF\xFE[\0P\0]\0\r\0\n\0A\0=\0\x00\xD8\r\0\n\0", 22));
    EXPECT_FALSE(model.LoadError().empty());
    EXPECT_FALSE(model.HasSection("P"));
    // A file that is not there reads as an empty script without a reason.
    const Model missing(scratch_ + "none.ins");
    EXPECT_EQ(missing.LoadError(), "");
    EXPECT_FALSE(missing.HasSection("Project"));
}

TEST(KeyTableTest, WrittenNamesFindTheirKeys) {
    struct Case {
        Sect section;
        const char* written;
        Key key;
        int number;
    } cases[] = {
        {Sect::Part, "File12", Key::File, 12},
        {Sect::Part, "filen3", Key::FileN, 3},
        {Sect::Part, "FILEMACROOVERRIDE2", Key::FileMacroOverride, 2},
        {Sect::Part, "Register", Key::Register, 0},
        {Sect::Part, "Register4", Key::RegisterN, 4},
        {Sect::Part, "RegisterX4", Key::RegisterX, 4},
        {Sect::Part, "HeadLine", Key::PartHeadLine, 0},
        {Sect::Project, "Color1", Key::Color1, 0},
        {Sect::Project, "HeadLine", Key::HeadLine, 0},
        {Sect::Project, "Part9999", Key::Part, 9999},
        {Sect::Project, "WinSys70", Key::WinSys, 70},
        {Sect::Project, "FontName1000", Key::FontName, 1000},
        {Sect::CheckRun, "3", Key::CheckRunProgram, 3},
        {Sect::Register, "r15", Key::ClassEntry, 15},
        {Sect::Headline, "anything", Key::HeadlineOf, 0},
    };
    for (const Case& c : cases) {
        const std::optional<KeyMatch> match = FindKey(c.section, c.written);
        ASSERT_TRUE(match) << c.written;
        EXPECT_EQ(match->def->key, c.key) << c.written;
        EXPECT_EQ(match->number, c.number) << c.written;
    }
    for (const char* unknown :
         {"File0", "File01", "File", "File1x", "Part10000", "Exec1000", "Colour1", "Dir"}) {
        EXPECT_FALSE(FindKey(Sect::Project, unknown)) << unknown;
    }
    EXPECT_FALSE(FindKey(Sect::Part, "Part1")); // a [Project] key only
    EXPECT_FALSE(FindKey(Sect::CheckRun, "0"));
}

TEST(KeyTableTest, EveryRowIsFoundByTheNameItWrites) {
    for (const KeyDef& def : AllKeys()) {
        if (def.name == "*") continue;
        const int number = def.numbering == Numbering::None ? 0 : 7;
        const std::optional<KeyMatch> match = FindKey(def.section, KeyName(def.key, number));
        ASSERT_TRUE(match) << def.name;
        EXPECT_EQ(match->def, &def) << def.name;
        EXPECT_EQ(&Def(def.key), &def);
        if (def.numbering == Numbering::Following) {
            EXPECT_EQ(Def(def.leader).numbering, Numbering::Leading) << def.name;
        }
    }
}

// The end-to-end key check lists exactly the keys of the table.
TEST(KeyTableTest, TheKeyCoverageListNamesTheKeysOfTheTable) {
    std::istringstream list(kKeyCoverageList);
    std::string line;
    std::set<const KeyDef*> listed;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string kind, section, key;
        if (!(fields >> kind >> section >> key) || (kind != "script" && kind != "scenario"))
            continue;
        const Sect sect = section == "Project"    ? Sect::Project
                          : section == "Part"     ? Sect::Part
                          : section == "Headline" ? Sect::Headline
                          : section == "Register" ? Sect::Register
                          : section == "CheckRun" ? Sect::CheckRun
                                                  : Sect::StopRun;
        EXPECT_TRUE(section == "StopRun" || sect != Sect::StopRun) << line;
        std::string written = key == "*" ? "SomePart" : key;
        if (const size_t hash = written.find('#'); hash != std::string::npos)
            written.replace(hash, 1, "1");
        const std::optional<KeyMatch> match = FindKey(sect, written);
        ASSERT_TRUE(match) << line;
        EXPECT_EQ(match->def->numbering != Numbering::None, key.find('#') != std::string::npos)
            << line;
        EXPECT_TRUE(listed.insert(match->def).second) << line;
    }
    EXPECT_EQ(listed.size(), AllKeys().size());
}

} // namespace
} // namespace setup::script
