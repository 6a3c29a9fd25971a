// The value kinds and the name suggestion of the checker, where the corpus
// of broken scripts cannot reach every case.
#include <gtest/gtest.h>

#include "check/Values.h"
#include "script/Ini.h"

namespace setup::check {
namespace {

TEST(CheckValues, NumbersFollowTheReadersRules) {
    for (const char* ok : {"0", "2", "-5", "+7", " 12", "$F4F1D7", "x1f", "0X1F", "2147483647",
                           "-2147483648", "$7FFFFFFF"})
        EXPECT_TRUE(IsScriptNumber(ok)) << ok;
    // Read as 0 by the run: letters, units, dates, blanks after, beyond 32 bits,
    // a sign alone, and more than the 20 characters the reader looks at.
    for (const char* bad : {"zwei", "12 MB", "2021-01-01", "12 ", "2147483648", "-2147483649",
                            "$80000000", "-", "$", "", "00000000000000000000001", "1.5"})
        EXPECT_FALSE(IsScriptNumber(bad)) << bad;
}

TEST(CheckValues, FlagsAreZeroOrOne) {
    EXPECT_TRUE(IsScriptFlag("0"));
    EXPECT_TRUE(IsScriptFlag("1"));
    for (const char* bad : {"no", "false", "00", " 0", "yes", "2"})
        EXPECT_FALSE(IsScriptFlag(bad)) << bad;
}

TEST(CheckValues, DeleteLimits) {
    EXPECT_TRUE(IsDeleteLimit("1234"));
    EXPECT_TRUE(IsDeleteLimit("$52210000"));
    EXPECT_TRUE(IsDeleteLimit("-5"));
    EXPECT_FALSE(IsDeleteLimit("2021-01-01"));
    EXPECT_FALSE(IsDeleteLimit("-$5")); // "-" and "$" do not combine
    EXPECT_FALSE(IsDeleteLimit(""));
}

TEST(CheckValues, RegisterLines) {
    for (const char* ok :
         {"U\\Software\\X\\N=#dw:640", "U\\Software\\X\\N=#dw:$1E0", "U\\Software\\X\\N=#dw:-5",
          "U\\Software\\X\\N=#dw:4294967295", "M\\Software\\X\\V=#sz:2.0", "M\\X\\K=#stabil",
          "U\\Software\\X\\Offen", "Pruef\\Zuletzt=leer", "U\\Software\\X=text=with=equals"})
        EXPECT_EQ("", RegisterLineProblem(ok)) << ok;
    for (const char* bad :
         {"U\\Software\\X\\N=#dword:5", "U\\Software\\X\\N=#dw:99999999999",
          "U\\Software\\X\\N=#dw:12ab", "U\\Software\\X\\N=#dw:", "U\\Software\\X\\N=#DW:5",
          "U\\Software\\X\\N=#sz=5", "=value", "U\\=x", "U\\Software\\X\\N=#dw:-$5"})
        EXPECT_NE("", RegisterLineProblem(bad)) << bad;
}

TEST(CheckValues, WebAddressesAndCodes) {
    EXPECT_TRUE(IsWebAddress("http://127.0.0.1:8080/daten/"));
    EXPECT_TRUE(IsWebAddress("HTTPS://example.org"));
    EXPECT_FALSE(IsWebAddress("htp://127.0.0.1/"));
    EXPECT_FALSE(IsWebAddress("http:///daten/"));
    EXPECT_FALSE(IsWebAddress("ftp://host/"));
    EXPECT_TRUE(IsCodeValue("1,brief.ntz"));
    EXPECT_TRUE(IsCodeValue(",brief.ntz"));
    EXPECT_FALSE(IsCodeValue("brief.ntz"));
    EXPECT_FALSE(IsCodeValue("1,"));
}

TEST(CheckValues, FolderVariables) {
    using V = std::vector<std::string>;
    EXPECT_EQ(V{}, UnknownVariables("%PDIR%\\Qorv\\%dir%x %WDIR%%SDIR32%", Variables::Folder));
    EXPECT_EQ(V{"%VERSION%"}, UnknownVariables("C:\\Qorv\\%VERSION%", Variables::Folder));
    // "%%" is a percent sign, a lone "%" is text, registry variables need a name.
    EXPECT_EQ(V{}, UnknownVariables("100%% \"%1\" %\xA7M\\Software\\X%\\.. %+\xA7U\\Y%",
                                    Variables::Folder));
    EXPECT_EQ(V{"%\xA7%"}, UnknownVariables("%\xA7%", Variables::Folder));
    EXPECT_EQ((V{"%A%", "%B%"}), UnknownVariables("%A%%B%", Variables::Folder));
    // Text that is no name between two signs: the second sign opens the next.
    EXPECT_EQ(V{"%X%"}, UnknownVariables("\"%1\" %X% 5 % 6", Variables::Folder));
    EXPECT_EQ(V{}, UnknownVariables("\"%1\" %DIR%", Variables::Folder));
    // Macro files know other names than script values.
    EXPECT_EQ(V{},
              UnknownVariables("%DIR_% %_DIR83_% %CD% %SELFDIR% %DRIVE% %%1", Variables::Macro));
    EXPECT_EQ(V{"%PDIR%"}, UnknownVariables("%PDIR%", Variables::Macro));
    EXPECT_EQ(V{"%DIR_%"}, UnknownVariables("%DIR_%", Variables::Folder));
}

TEST(CheckValues, EditDistanceCountsATranspositionOnce) {
    EXPECT_EQ(0u, EditDistance("File1", "file1"));
    EXPECT_EQ(1u, EditDistance("Fiel1", "File1"));
    EXPECT_EQ(1u, EditDistance("Verison", "Version"));
    EXPECT_EQ(1u, EditDistance("Grup", "Group"));
    EXPECT_EQ(3u, EditDistance("abc", ""));
    EXPECT_EQ(2u, EditDistance("ab", "ba!"));
}

TEST(CheckValues, NearestNameOnlyWhenClose) {
    const std::vector<std::string> names = {"Name", "Version", "Group", "File1", "FileN1", "Fak"};
    EXPECT_EQ("Version", NearestName("Verison", names));
    EXPECT_EQ("File1", NearestName("Fiel1", names));
    EXPECT_EQ("Group", NearestName("group", names));
    // Too far, or too short for a slip to be told from another key.
    EXPECT_EQ("", NearestName("Colour", names));
    EXPECT_EQ("", NearestName("Xy", names));
    EXPECT_EQ("", NearestName("Completely", names));
}

TEST(CheckValues, WindowsMasks) {
    EXPECT_TRUE(MatchesMask("pruef.exe", "*.*"));
    EXPECT_TRUE(MatchesMask("README", "*.*"));
    EXPECT_TRUE(MatchesMask("Pruef.EXE", "pruef.exe"));
    EXPECT_TRUE(MatchesMask("pruef.exe", "p?uef.*"));
    EXPECT_TRUE(MatchesMask("a.b.txt", "*.txt"));
    EXPECT_FALSE(MatchesMask("pruef.exe", "*.txt"));
    EXPECT_FALSE(MatchesMask("pruef.exe", "pruef"));
    EXPECT_TRUE(MatchesMask("pruef", "pruef.*"));
}

} // namespace
} // namespace setup::check
