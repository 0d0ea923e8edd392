#include "model/project_text.h"

#include <gtest/gtest.h>

namespace {

TEST(ProjectText, Utf8WhenValidElseWindows1252) {
    const struct {
        const char* bytes;
        std::u32string characters;
    } cases[] = {
        {"Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC",
         U"Grüße €"},
        {"Gr\xFC\xDF"
         "e \x80",
         U"Grüße €"},
        {"\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1", U"Ελλάδα"},
        {"\xF0\x9F\x98\x80", U"\U0001F600"},
        // Not UTF-8: an overlong form, a surrogate, a cut sequence, a value past U+10FFFF.
        {"\xC0\xAF", U"\u00C0\u00AF"},
        {"\xED\xA0\x80", U"\u00ED\u00A0€"},
        {"a\xE2\x82", U"a\u00E2\u201A"},
        {"\xF4\x90\x80\x80", U"\u00F4\uFFFD\u20AC\u20AC"},
        // Neither: the code page's unassigned bytes become U+FFFD.
        {"\x81\xFF", U"\uFFFD\u00FF"},
        {"", U""},
        {nullptr, U""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes ? c.bytes : "(null)");
        EXPECT_EQ(ProjectTextCharacters(c.bytes), c.characters);
    }
    EXPECT_EQ(ProjectTextUtf8("Gr\xFC\xDF"
                              "e \x80"),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC");
}

TEST(ProjectText, Windows1252CodesGoBothWays) {
    for (int byte = 1; byte < 256; ++byte) {
        const char32_t c = Windows1252ToUnicode(static_cast<uint8_t>(byte));
        EXPECT_EQ(UnicodeToWindows1252(c), c == kReplacementCharacter ? -1 : byte) << byte;
    }
    for (char32_t c : {char32_t{0x81}, char32_t{0x3B1}, char32_t{0x1F600}})
        EXPECT_EQ(UnicodeToWindows1252(c), -1) << uint32_t(c);
}

} // namespace
