#include "song/cp932.h"

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
