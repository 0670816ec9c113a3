#include "song/songcodec.h"
#include "text/cp932.h"

#include <gtest/gtest.h>

TEST(Cp932, JapaneseTextRoundTrips) {
    const QString text = QString::fromUtf8("休↓♪ ｶﾅ ＭＳ ゴシック 標準");
    const auto bytes = EncodeCp932(text);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->substr(0, 6), std::string("\x8b\x78\x81\xab\x81\xf4"));
    EXPECT_EQ(DecodeCp932(*bytes), text);
}

TEST(Cp932, UnmappableText_IsRefused) {
    EXPECT_FALSE(EncodeCp932(QString::fromUtf8("emoji \xF0\x9F\x8E\xB5")).has_value());
    EXPECT_FALSE(EncodeCp932(QString::fromUtf8("\xC3\xA9")).has_value()); // é
}

TEST(Cp932, InvalidBytes_DecodeToReplacementCharacters) {
    const QString text = DecodeCp932(std::string("a\xA0\x85\x40"));
    EXPECT_TRUE(text.startsWith(QLatin1Char('a')));
    EXPECT_TRUE(text.contains(QChar(0xFFFD)));
}

TEST(Cp932, EveryCharacterOfTheCodePageSurvivesARoundTrip) {
    // Microsoft's table, not Shift_JIS: the wave dash and the NEC and IBM rows.
    EXPECT_EQ(DecodeCp932(std::string("\x81\x60")), QString(QChar(0xFF5E)));
    EXPECT_EQ(DecodeCp932(std::string("\x87\x40\xFA\x40\xED\x40")), QString::fromUtf8("①ⅰ纊"));
    EXPECT_EQ(DecodeCp932(std::string("\\~\x1A\x1C\x7F")), QString::fromLatin1("\\~\x1A\x1C\x7F"));
    EXPECT_EQ(EncodeCp932(QString::fromLatin1("\x1A\x1C\x7F")), std::string("\x1A\x1C\x7F"));
    int mapped = 0;
    for (int lead = 0x81; lead <= 0xFC; lead = lead == 0x9F ? 0xE0 : lead + 1) {
        for (int trail = 0x40; trail <= 0xFC; trail = trail == 0x7E ? 0x80 : trail + 1) {
            const std::string pair{char(lead), char(trail)};
            const QString text = DecodeCp932(pair);
            ASSERT_EQ(text.size(), 1) << std::hex << lead << ' ' << trail;
            if (text[0] == QChar::ReplacementCharacter)
                continue;
            ++mapped;
            // Duplicates (NEC's and IBM's rows) come back as one of their codes.
            const auto bytes = EncodeCp932(text);
            ASSERT_TRUE(bytes.has_value()) << std::hex << lead << ' ' << trail;
            EXPECT_EQ(DecodeCp932(*bytes), text) << std::hex << lead << ' ' << trail;
        }
    }
    EXPECT_EQ(mapped, 7724 + 1880); // characters, and the user-defined area (private use)
}

TEST(Cp932, BrokenSequencesShowAsOneReplacementEach) {
    const QChar r = QChar::ReplacementCharacter;
    EXPECT_EQ(DecodeCp932(std::string("a\x80")), QStringLiteral("a") + r);
    EXPECT_EQ(DecodeCp932(std::string("\x82\xA0")), QString::fromUtf8("あ"));
    EXPECT_EQ(DecodeCp932(std::string("b\x82")), QStringLiteral("b") + r); // cut after a lead
    EXPECT_EQ(DecodeCp932(std::string("\x81\x09x")),
              QString(r) + QStringLiteral("\tx")); // lead, no trail
    EXPECT_EQ(DecodeCp932(std::string("\x85\x40z")),
              QString(r) + QStringLiteral("z")); // empty pair
}

TEST(Cp932, TitlesKeepWhatCp932HoldsAndAreCutOnAWholeCharacter) {
    EXPECT_EQ(TitleToCp932(QString::fromUtf8("歌 b\xEF\xBF\xBD\xF0\x9F\x98\x80\xC3\xA9")),
              std::string("\x89\xCC b????")); // U+FFFD, an emoji's two halves, an accented letter
    const std::string title = TitleToCp932(QString(200, QChar(0x3042))); // あ x 200
    EXPECT_EQ(title.size(), kMaxTitleBytes);
    EXPECT_EQ(DecodeCp932(title), QString(int(kMaxTitleBytes / 2), QChar(0x3042)));
}

TEST(Cp932, MidiNamesReadAsUtf8ThenJapaneseThenLatin1) {
    EXPECT_EQ(DecodeMidiText("\xE3\x81\x82 a"), QString::fromUtf8("あ a"));
    EXPECT_EQ(DecodeMidiText("\x82\xA0\x82\xA2"), QString::fromUtf8("あい"));
    // Bytes that would read as half-width katakana, or as no cp932 at all, are Latin-1.
    EXPECT_EQ(DecodeMidiText("\xC9\xC0"), QString::fromLatin1("\xC9\xC0"));
    EXPECT_EQ(DecodeMidiText("Ren\xE9"), QString::fromLatin1("Ren\xE9"));
}
