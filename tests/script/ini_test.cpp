#include "script/Ini.h"

#include <gtest/gtest.h>

#include <string>

#include "common/Error.h"
#include "common/FileInfo.h"
#include "platform/FileSystem.h"
#include "support/TestEnv.h"

#ifdef _WIN32
#include "platform/win32/WindowsSupport.h"
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace setup {
namespace {

using namespace std::string_literals;

class IniTest : public testenv::FreshEnv {
  protected:
    std::string Path(const std::string& name) const { return scratch_ + name; }
    // A reader of a file holding the given bytes.
    std::unique_ptr<TIni> Load(const std::string& bytes) {
        testenv::WriteFile(Path("s.ins"), bytes);
        return std::make_unique<TIni>(Path("s.ins"));
    }
};

TEST_F(IniTest, LookupFollowsTheLineRules) {
    const std::string script = "Top=before any header\r\n"
                               "[Project]\r\n"
                               "Name = My App\r\n"
                               "Dir=\r\n"
                               "Cmd=a=b\r\n"
                               "Q=' padded '\r\n"
                               "Lone='\r\n"
                               "Empty=''\r\n"
                               "X=1 ; one\r\n"
                               "Dup=first\r\n"
                               "Dup=second\r\n"
                               "\tTab=t\r\n"
                               "; C=comment\r\n"
                               "\r\n"
                               "[project]\r\n"
                               "Dup=third\r\n"
                               "Later=found\r\n"
                               "[]\r\n"
                               "Mid=empty header\r\n"
                               "[Sect]ignored\r\n"
                               "K=v\r\n"
                               "[NoClose\r\n"
                               "K=w\r\n"
                               "[Nul]\r\n"
                               "A=x\0y\r\n"
                               "\0B=z\r\n"
                               "[Crs]\rA=1\rB=2\r\nC=3"s;
    std::unique_ptr<TIni> ini = Load(script);
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"", "Top", "before any header"},
        {"", "Mid", "empty header"}, // [] names the section before the first header
        {"PROJECT", "name", " My App"},
        {"Project", "Dir", "default"},
        {"Project", "Cmd", "a=b"},
        {"Project", "Q", " padded "},
        {"Project", "Lone", "'"},
        {"Project", "Empty", "default"},
        {"Project", "X", "1 ; one"},
        {"Project", "Dup", "first"},
        {"Project", "Later", "found"}, // [project] continues [Project]
        {"Project", "\tTab", "t"},     // tabs are not trimmed
        {"Project", "Tab", "default"},
        {"Project", "; C", "default"}, // comments have no key
        {"Sect", "K", "v"},
        {"NoClose", "K", "w"},
        {"Nul", "A", "x"}, // a NUL byte ends the line
        {"Nul", "B", "default"},
        {"Crs", "A", "1"},
        {"Crs", "B", "2"},
        {"Crs", "C", "3"},
        {"Missing", "K", "default"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ini->ReadString(c.section, c.key, "default"), c.expected)
            << "[" << c.section << "] " << c.key;
    }
    EXPECT_EQ(ini->SectionCount(), 6);
    EXPECT_EQ(ini->SectionName(0), "");
}

TEST_F(IniTest, LongLinesAndHeadersAreCut) {
    const std::string longValue(600, 'v');
    const std::string longName(100, 'N');
    const std::string longKey = std::string(300, 'k');
    std::unique_ptr<TIni> ini =
        Load("[" + longName + "]\r\nA=" + longValue + "\r\nB=b\r\n" + longKey + "=x\r\n");
    const std::string cutName(80, 'N');
    EXPECT_EQ(ini->ReadString(cutName, "A", ""), std::string(496, 'v')); // 498 with "A="
    EXPECT_EQ(ini->ReadString(cutName, "B", ""), "b");
    EXPECT_EQ(ini->ReadString(cutName, std::string(254, 'k'), ""), "x");

    // LF-only line ends: one long line without sections, cut to 498 characters.
    ini = Load("A=1\n[S]\nK=v\n" + std::string(600, 'z'));
    EXPECT_EQ(ini->SectionCount(), 1);
    EXPECT_EQ(ini->ReadString("", "A", ""), "1\n[S]\nK=v\n" + std::string(498 - 12, 'z'));
    EXPECT_EQ(ini->ReadString("S", "K", "-"), "-");
}

TEST_F(IniTest, MarkedFilesAreReadAsWindows1252) {
    // Many sections in UTF-16: the converted text spans several stream buffers.
    std::u16string text = u"\uFEFF[Project]\r\nName=Gr\u00FC\u00DFe \u20AC\r\n";
    for (int i = 0; i < 5000; ++i) {
        const std::string n = std::to_string(i);
        text += u"[S" + std::u16string(n.begin(), n.end()) + u"]\r\nK=" +
                std::u16string(n.begin(), n.end()) + u"\r\n";
    }
    text += u"[Lang]\r\nA=" + std::u16string(600, u'\u00E4') + u"\r\n";
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    std::unique_ptr<TIni> ini = Load(bytes);
    EXPECT_EQ(ini->LoadError(), "");
    EXPECT_EQ(ini->ReadString("Project", "Name", ""), "Gr\xFC\xDF"
                                                      "e \x80");
    EXPECT_EQ(ini->ReadString("S4999", "K", ""), "4999");
    EXPECT_EQ(ini->SectionCount(), 5002);
    // The same line rules as for a Windows-1252 file: 498 characters kept.
    EXPECT_EQ(ini->ReadString("Lang", "A", ""), std::string(496, '\xE4'));

    ini = Load("\xEF\xBB\xBF[Project]\r\nName=\xE2\x82\xAC\r\n");
    EXPECT_EQ(ini->ReadString("Project", "Name", ""), "\x80");
    // A character without a Windows-1252 form: nothing is read, the error names the line.
    ini = Load("\xEF\xBB\xBF[Project]\r\nName=\xE2\x82\xAC\r\nX=\xE2\x86\x92\r\n");
    EXPECT_EQ(ini->SectionCount(), 0);
    EXPECT_EQ(ini->LoadError(), "Zeile 3: das Zeichen U+2192 hat keine Windows-1252-Form");
    // Reading again after the file was mended forgets the error.
    testenv::WriteFile(Path("s.ins"), "[Project]\r\nName=P\r\n");
    ini->LoadFile();
    EXPECT_EQ(ini->LoadError(), "");
    EXPECT_EQ(ini->ReadString("Project", "Name", ""), "P");
}

TEST_F(IniTest, NumbersAndFlags) {
    std::unique_ptr<TIni> ini = Load("[P]\r\n"
                                     "dec=12345\r\nneg=-17\r\nplus=+8\r\nblank=  42\r\n"
                                     "dollar=$F4F1D7\r\nx=xff\r\nX=XFF\r\nzx=0x1A\r\nzX=0X1a\r\n"
                                     "negHex=-$10\r\nmax=2147483647\r\nmin=-2147483648\r\n"
                                     "over=2147483648\r\nhexOver=$FFFFFFFF\r\n"
                                     "letters=abc\r\nunit=12 MB\r\ntrail=12 \r\nsign=-\r\n"
                                     "cut=000000000000000000001\r\n"
                                     "f0=0\r\nf00=00\r\nfno=no\r\nffalse=false\r\nfb= 0\r\n");
    struct IntCase {
        const char* key;
        int32_t expected;
    } ints[] =
        {
            {"dec", 12345},       {"neg", -17},    {"plus", 8},         {"blank", 42},
            {"dollar", 16052695}, {"x", 255},      {"X", 255},          {"zx", 26},
            {"zX", 26},           {"negHex", -16}, {"max", 2147483647}, {"min", INT32_MIN},
            {"over", 0},          {"hexOver", 0},  {"letters", 0},      {"unit", 0},
            {"trail", 0},         {"sign", 0},     {"cut", 0}, // the 21st character is cut off
            {"missing", 99},
        };
    for (const IntCase& c : ints)
        EXPECT_EQ(ini->ReadInteger("P", c.key, 99), c.expected) << c.key;

    struct BoolCase {
        const char* key;
        bool deflt;
        bool expected;
    } bools[] = {
        {"f0", true, false},       {"f00", false, true}, {"fno", false, true},
        {"ffalse", false, true},   {"fb", false, true},  {"missing", true, true},
        {"missing", false, false},
    };
    for (const BoolCase& c : bools)
        EXPECT_EQ(ini->ReadBool("P", c.key, c.deflt), c.expected) << c.key;
}

TEST_F(IniTest, SaveWritesSortedSectionsAndReplacesTheFile) {
    std::unique_ptr<TIni> ini = Load("Pre=1\r\n; note\r\n[zeta]\r\nQ='quoted'\r\n"
                                     "[Alpha]\r\nA=1\r\nA=2\r\n[empty]\r\nGone=x\r\n");
    ini->WriteString("empty", "Gone", ""); // removes the only entry: no header written
    ini->WriteString("Beta", "B", "b");
    ini->WriteString("Alpha", "a", "one"); // replaces the first A
    ini->WriteString("Beta", "C", "");     // nothing to remove, nothing added
    ini->SaveFile();
    EXPECT_FALSE(ini->Modified());
    EXPECT_EQ(testenv::ReadFile(Path("s.ins")), "Pre=1\r\n; note\r\n\r\n"
                                                "[Alpha]\r\nA=one\r\nA=2\r\n\r\n"
                                                "[Beta]\r\nB=b\r\n\r\n"
                                                "[zeta]\r\nQ=quoted\r\n\r\n");
    EXPECT_FALSE(plat::fileExists(Path("s.ins.tmp")));
    EXPECT_NE(ini->FileAgeStamp(), 0);
}

TEST_F(IniTest, WriteStringSetsModifiedOnlyOnChange) {
    TIni ini(Path("w.ins"));
    struct Step {
        const char* key;
        const char* value;
        bool modifies;
        const char* after;
    } steps[] = {
        {"K", "", false, "-"},                         // nothing to remove
        {"K", "v", true, "v"}, {"k", "v", false, "v"}, // same value, key without regard to case
        {"K", "w", true, "w"}, {"K", "", true, "-"},   // an empty value removes the entry
    };
    for (const Step& s : steps) {
        ini.WriteString("S", s.key, s.value);
        EXPECT_EQ(ini.Modified(), s.modifies) << s.key << "=" << s.value;
        EXPECT_EQ(ini.ReadString("S", "K", "-"), s.after) << s.key << "=" << s.value;
        ini.SaveFile();
    }
}

TEST_F(IniTest, ChangesAreSavedAtLookupAndByTheDestructor) {
    const std::string path = Path("Deinst.ins");
    {
        TIni ini(path);
        EXPECT_EQ(ini.SectionCount(), 0);
        ini.WriteString("Pathes", "P1", "C:\\App\\");
        EXPECT_FALSE(plat::fileExists(path));
        // A file never written is stale: the next lookup saves it.
        EXPECT_EQ(ini.ReadString("Pathes", "P1", ""), "C:\\App\\");
        EXPECT_TRUE(plat::fileExists(path));
        EXPECT_FALSE(ini.Modified());
        // Just written: a further change waits for the destructor.
        ini.WriteString("Pathes", "P2", "C:\\App\\Sub\\");
        ini.ReadString("Pathes", "P1", "");
        EXPECT_TRUE(ini.Modified());
        EXPECT_EQ(testenv::ReadFile(path), "[Pathes]\r\nP1=C:\\App\\\r\n\r\n");
    }
    EXPECT_EQ(testenv::ReadFile(path), "[Pathes]\r\nP1=C:\\App\\\r\nP2=C:\\App\\Sub\\\r\n\r\n");
}

TEST_F(IniTest, FailedSaveKeepsTheOldFile) {
    const std::string path = Path("Deinst.ins");
    testenv::WriteFile(path, "[Fonts]\r\nFO1=Arial\r\n");
    // The temporary file cannot be created where a folder of its name stands.
    ASSERT_TRUE(plat::createFolder(path + ".tmp"));
    TIni ini(path);
    ini.WriteString("Fonts", "FO2", "Times");
    try {
        ini.SaveFile();
        FAIL() << "no exception";
    } catch (const SetupError& e) {
        EXPECT_EQ(std::string(e.what()), "\"" + path + "\" kann nicht geschrieben werden");
    }
    EXPECT_TRUE(ini.Modified());
    EXPECT_EQ(testenv::ReadFile(path), "[Fonts]\r\nFO1=Arial\r\n");
    ASSERT_TRUE(plat::removeFolder(path + ".tmp"));
    ini.SaveFile();
    EXPECT_EQ(testenv::ReadFile(path), "[Fonts]\r\nFO1=Arial\r\nFO2=Times\r\n\r\n");
}

TEST_F(IniTest, RecordFileReadsBackExactlyWhatWasWritten) {
    const std::string path = Path("Deinst.ins");
    {
        TIni ini(path, IniKind::Record);
        // Keys that would come back as a header, a comment, another key or
        // not at all are refused; so are values that would end their line.
        for (const char* key : {"[Pathes]", ";x", " x", "x ", "a=b", "", "a\rb", "a\nb"})
            EXPECT_FALSE(ini.WriteString("Extensions", key, "cmd")) << key;
        EXPECT_FALSE(ini.WriteString("Extensions", std::string(255, 'k'), "cmd"));
        EXPECT_FALSE(ini.WriteString("Extensions", "txt", "a\nP9=injected"));
        EXPECT_FALSE(ini.Modified());
        EXPECT_TRUE(ini.WriteString("Extensions", std::string(254, 'k'), "lang"));
        EXPECT_TRUE(ini.WriteString("Extensions", "txt", "'quoted'"));
        EXPECT_TRUE(ini.WriteString("Extensions", "doc", "a]b ; c=d "));
        EXPECT_TRUE(ini.WriteString("Pathes", "P1", std::string(2000, 'p')));
    }
    TIni again(path, IniKind::Record);
    ASSERT_TRUE(again.ReadComplete());
    EXPECT_EQ(again.SectionCount(), 2);
    EXPECT_EQ(again.ReadString("Extensions", std::string(254, 'k'), ""), "lang");
    EXPECT_EQ(again.ReadString("Extensions", "txt", ""), "'quoted'");
    EXPECT_EQ(again.ReadString("Extensions", "doc", ""), "a]b ; c=d ");
    EXPECT_EQ(again.ReadString("Pathes", "P1", ""), std::string(2000, 'p'));
    EXPECT_EQ(again.ReadString("Pathes", "P9", "-"), "-");
}

TEST_F(IniTest, RecordFileWithLineFeedsKeepsItsRecords) {
    const std::string path = Path("Deinst.ins");
    testenv::WriteFile(path, "[Pathes]\nP1=C:\\A\\\nP2=C:\\B\\\n\n[Fonts]\rFO1=Demo\r\n");
    {
        TIni ini(path, IniKind::Record);
        EXPECT_EQ(ini.ReadString("Pathes", "P2", ""), "C:\\B\\");
        EXPECT_EQ(ini.ReadString("Fonts", "FO1", ""), "Demo");
        ini.WriteString("Pathes", "P3", "C:\\C\\");
    }
    EXPECT_EQ(testenv::ReadFile(path),
              "[Fonts]\r\nFO1=Demo\r\n\r\n"
              "[Pathes]\r\nP1=C:\\A\\\r\nP2=C:\\B\\\r\nP3=C:\\C\\\r\n\r\n");
    // A script keeps its rule: a line feed alone is part of the line.
    TIni script(path + "2");
    testenv::WriteFile(path + "2", "[S]\nK=1\r\n");
    script.LoadFile();
    EXPECT_EQ(script.ReadString("S", "K", "-"), "-");
}

TEST_F(IniTest, LongSectionsFindTheFirstKeyAfterEveryChange) {
    TIni ini(Path("many.ins"));
    for (int i = 1; i <= 1000; ++i)
        ini.WriteString("Pathes", "P" + std::to_string(i), "v" + std::to_string(i));
    std::unique_ptr<TIni> script = Load("[S]\r\nDup=first\r\n" + [] {
        std::string lines;
        for (int i = 0; i < 100; ++i)
            lines += "K" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
        return lines;
    }() + "dup=second\r\n");
    EXPECT_EQ(script->ReadString("S", "DUP", ""), "first");
    EXPECT_EQ(script->ReadString("s", "k99", ""), "99");
    EXPECT_EQ(ini.ReadString("Pathes", "p1000", ""), "v1000");
    EXPECT_EQ(ini.ReadString("Pathes", "P1001", "-"), "-");
    ini.WriteString("Pathes", "P1001", "neu");
    EXPECT_EQ(ini.ReadString("Pathes", "P1001", "-"), "neu");
    // Removing an entry moves those behind it.
    ini.WriteString("Pathes", "P2", "");
    EXPECT_EQ(ini.ReadString("Pathes", "P3", ""), "v3");
    EXPECT_EQ(ini.ReadString("Pathes", "P2", "-"), "-");
    ini.WriteString("Pathes", "P2", "wieder");
    EXPECT_EQ(ini.ReadString("Pathes", "P2", ""), "wieder");
    EXPECT_EQ(ini.Section(ini.FindSection("Pathes")).Find("P1001"), 999);
}

TEST_F(IniTest, LongSectionsMatchKeysWithoutRegardToCase) {
    std::string lines = "[S]\r\n";
    for (int i = 0; i < 300; ++i)
        lines += "Schl\xFCssel" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    std::unique_ptr<TIni> script = Load(lines + "SCHL\xDCSSEL7=later\r\n\xFF=y\r\n");
    // Windows-1252 letters fold as the short sections fold them; the first counts.
    EXPECT_EQ(script->ReadString("S", "SCHL\xDCSSEL7", ""), "7");
    EXPECT_EQ(script->ReadString("S", "schl\xFCssel299", ""), "299");
    EXPECT_EQ(script->ReadString("S", "\x9F", ""), "y");
    EXPECT_EQ(script->ReadString("S", "Schl\xFCssel300", "-"), "-");
    EXPECT_EQ(script->ReadString("S", "Schlussel1", "-"), "-");
    // Entries added after the index was built: a repeated key keeps the first.
    TSection_i& section = script->EditSection("S");
    for (int i = 300; i < 1000; ++i)
        section.Append("schl\xFCssel" + std::to_string(i), "n");
    section.Append("Schl\xFCssel3", "again");
    EXPECT_EQ(section.Find("SCHL\xDCSSEL999"), 1001);
    EXPECT_EQ(section.Find("Schl\xFCssel3"), 3);
    EXPECT_EQ(section.Find("Schl\xFCssel1000"), -1);
}

// Holds path so that it exists and cannot be read: under Windows a file
// opened without sharing, on POSIX a socket.
class UnreadableFile {
  public:
    explicit UnreadableFile(const std::string& path) {
#ifdef _WIN32
        testenv::WriteFile(path, "[Pathes]\r\nP1=C:\\Alt\\\r\n");
        handle_.reset(CreateFileW(plat::win::widen(path).c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(handle_);
#else
        const std::string native = testenv::Native(path);
        socket_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        EXPECT_LT(native.size(), sizeof address.sun_path);
        native.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(0, bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address));
#endif
    }
    ~UnreadableFile() {
#ifndef _WIN32
        close(socket_);
#endif
    }
    UnreadableFile(const UnreadableFile&) = delete;
    UnreadableFile& operator=(const UnreadableFile&) = delete;

  private:
#ifdef _WIN32
    plat::win::FileHandle handle_;
#else
    int socket_ = -1;
#endif
};

TEST_F(IniTest, RecordFileThatCannotBeReadIsNeverWrittenOver) {
    // A short path: a socket's name has little room.
    const std::string path = Path("D.ins");
    UnreadableFile unreadable(path);
    TIni records(path, IniKind::Record);
    EXPECT_FALSE(records.ReadComplete());
    try {
        records.SaveFile();
        FAIL() << "no exception";
    } catch (const SetupError& e) {
        EXPECT_EQ(std::string(e.what()), "\"" + path +
                                             "\" konnte nicht ganz gelesen werden und wird "
                                             "nicht \xFC"
                                             "berschrieben");
    }
    // A script that cannot be read is only empty.
    TIni script(path);
    EXPECT_TRUE(script.ReadComplete());
}

} // namespace
} // namespace setup
