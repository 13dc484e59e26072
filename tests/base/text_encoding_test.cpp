#include <gtest/gtest.h>

#include "platform/text_encoding.h"

TEST(TextEncoding, HighBytesMapToTheirWindows1252Characters) {
    EXPECT_EQ(cp1252ToUtf8("\x80"), "€");
    EXPECT_EQ(cp1252ToUtf8("\x84\x93\x94"), "„“”");
    EXPECT_EQ(cp1252ToUtf8("\x9F"), "Ÿ");
    EXPECT_EQ(cp1252ToUtf8("Gr\xF6\xDF"
                           "e \xE4\xFC\xC4\xD6\xDC"),
              "Größe äüÄÖÜ");
    EXPECT_EQ(cp1252ToUtf8("\xA0"), "\xC2\xA0");
    EXPECT_EQ(cp1252ToUtf8("\xFF"), "ÿ");
    // The undefined bytes become the C1 control of the same value.
    EXPECT_EQ(cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextEncoding, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = cp1252ToUtf8(all);
    EXPECT_EQ(utf8ToCp1252(utf8), all);
}

TEST(TextEncoding, Utf8WithoutWindows1252FormAndInvalidBytes) {
    EXPECT_EQ(utf8ToCp1252("Straße"),
              "Stra\xDF"
              "e");
    EXPECT_EQ(utf8ToCp1252("€ ‰ ™"), "\x80 \x89 \x99");
    EXPECT_EQ(utf8ToCp1252("Ω"), "?");                     // Greek capital omega
    EXPECT_EQ(utf8ToCp1252("😀x"), "?x");                   // outside the BMP
    EXPECT_EQ(utf8ToCp1252("\xE4pfel"), "\xE4pfel");       // a lone Latin-1 byte
    EXPECT_EQ(utf8ToCp1252("\xC3"), "\xC3");               // a cut sequence
    EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "\xC0\xAF");       // overlong form: two Latin-1 bytes
    EXPECT_EQ(utf8ToCp1252("\x80"), "?");                  // U+0080 has no Windows-1252 form
    EXPECT_EQ(utf8ToCp1252("\xED\xA0\x80"), "\xED\xA0?");  // surrogate: three Latin-1 bytes
}
