// The [Installed] lines of Deinst.ins: text form and reading, merging of
// repeated runs, and the journal that appends them to a real file.
#include "files/InstallRecord.h"

#include "support/TestEnv.h"

namespace {

using namespace setup;
using namespace setup::record;

Line RoundTrip(const Line& line) {
    const auto entry = Format(line);
    EXPECT_TRUE(entry.has_value());
    if (!entry) return line;
    EXPECT_EQ(std::string::npos, entry->fields.find_first_of("\r\n"));
    const auto parsed = Parse(entry->kind, entry->fields);
    EXPECT_TRUE(parsed.has_value()) << entry->kind << "=" << entry->fields;
    return parsed.value_or(line);
}

TEST(InstallRecordFormat, EveryKindReadsBackAsWritten) {
    const std::string awkward = "a|b%7C\r\n%25c\xE4";
    const std::vector<Line> lines = {
        FolderLine{"C:\\Programme\\X 100%\\"},
        FileLine{"C:\\X\\a b.txt", 18446744073709551615u, 134412742910408253u},
        LinkLine{"C:\\Start\\X.LNK"},
        KeyLine{plat::RegRoot::ClassesRoot, ".ntz\\shell|" + awkward},
        ValueLine{plat::RegRoot::CurrentUser, "Software\\X", "", std::nullopt},
        ValueLine{plat::RegRoot::LocalMachine, "K", awkward,
                  RegistryValue{plat::RegType::String, awkward}},
        ValueLine{plat::RegRoot::LocalMachine, "K", "e",
                  RegistryValue{plat::RegType::ExpandString, "%SystemRoot%\\x"}},
        ValueLine{plat::RegRoot::LocalMachine, "K", "d",
                  RegistryValue{plat::RegType::Dword, std::string("\xff\xff\xff\xff", 4)}},
        ValueLine{plat::RegRoot::LocalMachine, "K", "b",
                  RegistryValue{plat::RegType::Binary, std::string("\0\x01\xab", 3)}},
        ValueLine{plat::RegRoot::LocalMachine, "K", "m",
                  RegistryValue{static_cast<plat::RegType>(7), std::string("a\0\0", 3)}},
        // A DWORD that is not 4 bytes long keeps its bytes.
        ValueLine{plat::RegRoot::LocalMachine, "K", "short",
                  RegistryValue{plat::RegType::Dword, "\x01\x02"}},
        ValueLine{plat::RegRoot::LocalMachine, "K", "empty",
                  RegistryValue{plat::RegType::String, ""}},
        FontLine{"C:\\Windows\\Fonts\\DejaVuSans.ttf", "DejaVu Sans (TrueType)"},
    };
    for (const Line& line : lines)
        EXPECT_EQ(line, RoundTrip(line)) << Format(line)->fields;

    EXPECT_EQ(
        "HKEY_CURRENT_USER|Software\\X||none|",
        Format(ValueLine{plat::RegRoot::CurrentUser, "Software\\X", "", std::nullopt})->fields);
    EXPECT_EQ("HKEY_LOCAL_MACHINE|K|d|dword|4294967295", Format(lines[7])->fields);
    EXPECT_EQ("HKEY_LOCAL_MACHINE|K|b|binary|0001ab", Format(lines[8])->fields);
    EXPECT_EQ("HKEY_LOCAL_MACHINE|K|m|other:7|610000", Format(lines[9])->fields);
    EXPECT_EQ("a%7Cb%257C%0D%0A%2525c\xE4", Escape(awkward));
}

TEST(InstallRecordFormat, PathsWithABarAreRefusedAndMalformedLinesRejected) {
    EXPECT_FALSE(Format(FileLine{"C:\\a|b", 1, 2}));
    EXPECT_FALSE(Format(FolderLine{"C:\\a|b\\"}));
    EXPECT_FALSE(Format(LinkLine{"C:\\a|b.lnk"}));
    EXPECT_FALSE(Format(FontLine{"C:\\a|b.ttf", "x"}));

    for (const auto& [kind, fields] : std::vector<std::pair<std::string, std::string>>{
             {"File", "C:\\a|12|"},
             {"File", "C:\\a|12|13|"},
             {"File", "C:\\a|-1|13"},
             {"File", "C:\\a|99999999999999999999|13"},
             {"File", "C:\\a|1 2|13"},
             {"Folder", ""},
             {"Key", "HKEY_USERS|x"},
             {"Key", "HKEY_CURRENT_USER|"},
             {"Key", "HKEY_CURRENT_USER|a%zzb"},
             {"Value", "HKEY_CURRENT_USER|k|n|sz"},
             {"Value", "HKEY_CURRENT_USER|k|n|none|x"},
             {"Value", "HKEY_CURRENT_USER|k|n|dword|4294967296"},
             {"Value", "HKEY_CURRENT_USER|k|n|binary|abc"},
             {"Value", "HKEY_CURRENT_USER|k|n|binary|zz"},
             {"Value", "HKEY_CURRENT_USER|k|n|other:|00"},
             {"Value", "HKEY_CURRENT_USER|k|n|text|00"},
             {"Font", "C:\\f.ttf"},
             {"Sonst", "C:\\x"},
         })
        EXPECT_FALSE(Parse(kind, fields)) << kind << "=" << fields;
}

class InstallRecordFile : public testenv::FreshEnv {
  protected:
    std::string Path() const { return scratch_ + "Deinst.ins"; }
    std::string Text() const { return testenv::ReadFile(Path()); }
    std::vector<Line> Lines() const {
        TIni record(Path(), IniKind::Record);
        return ReadLines(record);
    }
};

// Merging: of several lines for one value the first stays (it holds the value
// from before the first run), of one file the last (the copy in place);
// lines this program does not know stay as they are.
TEST_F(InstallRecordFile, RepeatedRunsMergeKeepingTheEarliestOldValue) {
    testenv::WriteFile(Path(), "[Pathes]\r\nP1=C:\\X\r\n"
                               "[Installed]\r\n"
                               "Value=HKEY_CURRENT_USER|Software\\X|Farbe|sz|rot\r\n"
                               "File=C:\\X\\a.txt|1|100\r\n"
                               "Folder=C:\\X\\\r\n"
                               "Zukunft=etwas Neues\r\n"
                               "[Extensions]\r\nntz=alt\r\n"
                               "[Installed]\r\n"
                               "Value=HKEY_CURRENT_USER|software\\x|FARBE|sz|blau\r\n"
                               "File=C:\\x\\A.TXT|2|200\r\n"
                               "Folder=C:\\X\\\r\n"
                               "Value=HKEY_CURRENT_USER|Software\\X|Neu|none|\r\n");
    {
        TIni record(Path(), IniKind::Record);
        ASSERT_TRUE(record.ReadComplete());
        RecordJournal journal(record);
        journal.Append(ValueLine{plat::RegRoot::CurrentUser, "Software\\X", "Farbe",
                                 RegistryValue{plat::RegType::String, "gruen"}});
        journal.Append(FileLine{"C:\\X\\a.txt", 3, 300});
        EXPECT_TRUE(journal.HasFile("c:\\x\\a.TXT"));
        EXPECT_FALSE(journal.HasFile("C:\\X\\b.txt"));
    }
    const std::vector<Line> lines = Lines();
    ASSERT_EQ(6u, lines.size()) << Text();
    EXPECT_EQ(Line(ValueLine{plat::RegRoot::CurrentUser, "Software\\X", "Farbe",
                             RegistryValue{plat::RegType::String, "rot"}}),
              lines[0]);
    EXPECT_EQ(Line(FolderLine{"C:\\X\\"}), lines[1]);
    EXPECT_EQ(Line(FileLine{"C:\\x\\A.TXT", 2, 200}), lines[2]);
    // What this run appended comes after the merged lines, as it happened.
    EXPECT_EQ(Line(FileLine{"C:\\X\\a.txt", 3, 300}), lines[5]);
    EXPECT_NE(std::string::npos, Text().find("Zukunft=etwas Neues\r\n"));
    EXPECT_NE(std::string::npos, Text().find("[Pathes]\r\nP1=C:\\X\r\n"));
    EXPECT_NE(std::string::npos, Text().find("[Extensions]\r\nntz=alt\r\n"));

    // Merged once more (a third run): the earliest value is still the one kept.
    {
        TIni record(Path(), IniKind::Record);
        RecordJournal journal(record);
    }
    const std::vector<Line> merged = Lines();
    ASSERT_EQ(4u, merged.size()) << Text();
    EXPECT_EQ(lines[0], merged[0]);
    EXPECT_EQ(Line(FileLine{"C:\\X\\a.txt", 3, 300}), merged.back());
}

// A save of the record's other sections while the run appends (a folder, an
// association recorded in the middle of the run) keeps every journal line,
// and later lines are appended to the file written then.
TEST_F(InstallRecordFile, SavesDuringTheRunKeepTheJournalLines) {
    TIni record(Path(), IniKind::Record);
    {
        RecordJournal journal(record);
        journal.Append(FolderLine{"C:\\X\\"});
        journal.Append(FileLine{"C:\\X\\a.txt", 1, 2});
        record.WriteString("Pathes", "P1", "C:\\X");
        record.SaveFile();
        journal.Append(FileLine{"C:\\X\\b.txt", 3, 4});
        EXPECT_EQ(3u, Lines().size()) << Text();
        record.WriteString("Extensions", "ntz", "alt");
        journal.Append(LinkLine{"C:\\X.lnk"});
        journal.Sync();
        EXPECT_EQ(0u, journal.Failures());
    }
    record.SaveFile();
    const std::vector<Line> lines = Lines();
    ASSERT_EQ(4u, lines.size()) << Text();
    EXPECT_EQ(Line(LinkLine{"C:\\X.lnk"}), lines[3]);
    TIni reread(Path(), IniKind::Record);
    EXPECT_EQ("C:\\X", reread.ReadString("Pathes", "P1", ""));
    EXPECT_EQ("alt", reread.ReadString("Extensions", "ntz", ""));
}

// A line the writer did not finish (killed, disk full) is left out by every
// reader and dropped when the record is next written; an unfinished last line
// of another section is an old record's and stays.
TEST_F(InstallRecordFile, AnUnfinishedLastJournalLineIsLeftOut) {
    const std::string whole = "[Pathes]\r\nP1=C:\\X\r\n[Installed]\r\nFile=C:\\X\\a.txt|1|2\r\n";
    testenv::WriteFile(Path(), whole + "File=C:\\X\\b.txt|12|13");
    EXPECT_EQ(1u, Lines().size());
    testenv::WriteFile(Path(), whole + "Value=HKEY_CURRENT_USER|k|n|sz|ha");
    EXPECT_EQ(1u, Lines().size());
    {
        TIni record(Path(), IniKind::Record);
        RecordJournal journal(record);
        journal.Append(FileLine{"C:\\X\\c.txt", 5, 6});
    }
    EXPECT_EQ(std::string::npos, Text().find("ha")) << Text();
    EXPECT_EQ(2u, Lines().size()) << Text();

    testenv::WriteFile(Path(), "[Installed]\r\nFile=C:\\X\\a.txt|1|2\r\n[Pathes]\r\nP1=C:\\X");
    TIni old(Path(), IniKind::Record);
    EXPECT_EQ("C:\\X", old.ReadString("Pathes", "P1", ""));
    // Appending after a last line without line end starts a line of its own.
    {
        TIni record(Path(), IniKind::Record);
        RecordJournal journal(record);
        journal.Append(FileLine{"C:\\X\\c.txt", 5, 6});
    }
    TIni appended(Path(), IniKind::Record);
    EXPECT_EQ("C:\\X", appended.ReadString("Pathes", "P1", ""));
    EXPECT_EQ(2u, ReadLines(appended).size()) << Text();
}

} // namespace
