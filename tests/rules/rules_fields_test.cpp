// The cameras' fixed text fields: read within their bounds as UTF-8, filled
// without splitting a character, and control characters recognised.
#include "rules/fields.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace rules;

namespace {

TEST(FieldText, GbkBecomesUtf8AndUtf8StaysAsItIs) {
    char gbk[8] = "\xD6\xD0\xCE\xC4";  // 中文
    EXPECT_EQ(FieldText(gbk), "中文");
    EXPECT_EQ(RawField(gbk), "\xD6\xD0\xCE\xC4");
    char utf8[8] = "中文";
    EXPECT_EQ(FieldText(utf8), "中文");
    char bad[8] = "a\xFF" "b";
    EXPECT_EQ(FieldText(bad), "a\xEF\xBF\xBD" "b");
    char cut_lead[8] = "ab\xD6";  // a GBK lead byte cut off by the field's end
    EXPECT_EQ(FieldText(cut_lead), "ab\xEF\xBF\xBD");
}

TEST(FieldText, WhateverArrivesIsReadWithinTheFieldAsValidUtf8) {
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(RawField(unterminated), "abcd");
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        char field[24];
        for (char& c : field) c = static_cast<char>(random() & 0xFF);
        const std::string text = FieldText(field);
        ASSERT_TRUE(platform::IsValidUtf8(text)) << round;
    }
}

TEST(CopyField, CutsAtACharacterBoundaryAndZeroesTheRest) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    CopyField(field, "abcde中文");  // 5 + 3 bytes: the first character does not fit before the NUL
    EXPECT_EQ(std::string(field, sizeof field), std::string("abcde\0\0\0", 8));
    CopyField(field, "ab中");
    EXPECT_STREQ(field, "ab中");
    // Exactly the room there is: seven bytes and the NUL.
    CopyField(field, "1234567890");
    EXPECT_STREQ(field, "1234567");
    // The account field of a broadcast record: 31 bytes of text at most.
    char account[32];
    CopyField(account, std::string(29, 'a') + "中");
    EXPECT_EQ(RawField(account), std::string(29, 'a'));
}

TEST(HasControlCharacter, LineBreaksTabsDeleteAndC1AreControls) {
    for (const char* text : {"ad\nmin", "admin\r", "a\tb", "a\x7F", "\x1B[2J", "a\xC2\x85" "b"})
        EXPECT_TRUE(HasControlCharacter(text)) << text;
    for (const char* text : {"", "admin", "p@ss w:rd!", "观看帐号", "caf\xC3\xA9", "\xC2\xA0"})
        EXPECT_FALSE(HasControlCharacter(text)) << text;
}

}  // namespace
