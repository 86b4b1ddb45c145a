#include "common/q2str.h"
#include "common/stringformat.h"

#include <gtest/gtest.h>

TEST(StringFormatTest, FormatsAnyLength) {
    EXPECT_EQ(string_format("seg%d.wav", 42), "seg42.wav");
    EXPECT_EQ(string_format("%s", ""), "");
    const std::string longText(5000, 'x');
    EXPECT_EQ(string_format("<%s>", longText.c_str()), "<" + longText + ">");
}

TEST(StringFormatTest, SizeDisplayTruncatesAtEachUnit) {
    const struct {
        int64_t bytes;
        const char* shown;
    } cases[] = {{0, "0 B"},          {512, "512 B"},       {1024, "1024 B"},
                 {1025, "1 kB"},      {2047, "1 kB"},       {1048576, "1024 kB"},
                 {1048577, "1 M"},    {62914560, "60 M"},   {1073741824, "1024 M"},
                 {1073741825, "1 G"}, {5368709120LL, "5 G"}};
    for (const auto& c : cases) {
        EXPECT_EQ(sizeDisplay(c.bytes), c.shown) << c.bytes;
    }
}

TEST(Q2StrTest, ConvertsToUtf8AndStopsAtNul) {
    EXPECT_EQ(q2str(QStringLiteral("Grüße")), "Gr\xc3\xbc\xc3\x9f"
                                              "e");
    QString withNul = QStringLiteral("ab");
    withNul.append(QChar(0));
    withNul.append(QStringLiteral("cd"));
    EXPECT_EQ(q2str(withNul), "ab");
    EXPECT_EQ(str2q("Gr\xc3\xbc\xc3\x9f"
                    "e"),
              QStringLiteral("Grüße"));
}
