#include "common/ScriptEncoding.h"

#include <gtest/gtest.h>

namespace {

using setup::ConvertScriptText;

// "[Project]\r\nName=Grüße €\r\n" in UTF-16 with its mark.
std::string Utf16(const std::u16string& text, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

TEST(ScriptEncodingTest, MarkedFilesBecomeWindows1252AndOthersStayAsTheyAre) {
    const std::string expected = "[Project]\r\nName=Gr\xFC\xDF"
                                 "e \x80\r\nX=\x9F\n";
    std::string error;
    for (std::string bytes :
         {std::string("\xEF\xBB\xBF[Project]\r\nName=Gr\xC3\xBC\xC3\x9F"
                      "e \xE2\x82\xAC\r\nX=\xC5\xB8\n"),
          Utf16(u"[Project]\r\nName=Gr\u00FC\u00DFe \u20AC\r\nX=\u0178\n", true),
          Utf16(u"[Project]\r\nName=Gr\u00FC\u00DFe \u20AC\r\nX=\u0178\n", false)}) {
        EXPECT_TRUE(setup::HasByteOrderMark(bytes));
        ASSERT_TRUE(ConvertScriptText(bytes, error)) << error;
        EXPECT_EQ(bytes, expected);
    }
    // Without a mark the bytes are Windows-1252 already, even where they read as UTF-8.
    std::string plain = "Name=Gr\xC3\xBC\xFF\0x";
    EXPECT_FALSE(setup::HasByteOrderMark(plain));
    ASSERT_TRUE(ConvertScriptText(plain, error));
    EXPECT_EQ(plain, "Name=Gr\xC3\xBC\xFF\0x");
    std::string onlyMark = "\xFF\xFE";
    ASSERT_TRUE(ConvertScriptText(onlyMark, error));
    EXPECT_EQ(onlyMark, "");
}

TEST(ScriptEncodingTest, ErrorsNameTheLineAndKeepTheBytes) {
    struct Case {
        std::string bytes;
        std::string error;
    };
    const Case cases[] = {
        // Lines end at LF, CR LF and a lone CR.
        {"\xEF\xBB\xBF"
         "a\nb\r\nc\rd=\xD0\x96\r\n",
         "Zeile 4: das Zeichen U+0416 hat keine Windows-1252-Form"},
        {Utf16(u"a\r\n\U0001F600", true),
         "Zeile 2: das Zeichen U+1F600 hat keine Windows-1252-Form"},
        {"\xEF\xBB\xBFok\n\xC3", "Zeile 2: ung\xFCltige UTF-8-Zeichenfolge"},
        {"\xEF\xBB\xBF\xC0\xAF", "Zeile 1: ung\xFCltige UTF-8-Zeichenfolge"},      // overlong "/"
        {"\xEF\xBB\xBF\xED\xA0\x80", "Zeile 1: ung\xFCltige UTF-8-Zeichenfolge"},  // a surrogate
        {Utf16(u"a\n", false) + "b", "Zeile 2: ung\xFCltige UTF-16-Zeichenfolge"}, // odd length
        {Utf16(u"\xDC00", true), "Zeile 1: ung\xFCltige UTF-16-Zeichenfolge"},
        {Utf16(u"\xD800x", true), "Zeile 1: ung\xFCltige UTF-16-Zeichenfolge"},
    };
    for (const Case& c : cases) {
        std::string bytes = c.bytes;
        std::string error;
        EXPECT_FALSE(ConvertScriptText(bytes, error)) << c.error;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(bytes, c.bytes);
    }
}

} // namespace
