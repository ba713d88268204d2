// Camera texts on their way to the user: bounded reads, GBK to UTF-8, and
// nothing a terminal would execute.
#include <gtest/gtest.h>

#include <random>

#include "tools/keplin/text.h"

using namespace keplin::cli;

TEST(KeplinText, Utf8ValidationRejectsMalformedSequences) {
    EXPECT_TRUE(is_valid_utf8("plain ascii"));
    EXPECT_TRUE(is_valid_utf8("\xE4\xB8\xAD\xE6\x96\x87"));      // 中文
    EXPECT_TRUE(is_valid_utf8("\xF0\x9F\x93\xB7"));              // U+1F4F7
    EXPECT_FALSE(is_valid_utf8("\xC0\x80"));                     // overlong NUL
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));                 // surrogate
    EXPECT_FALSE(is_valid_utf8("\xE4\xB8"));                     // cut off
    EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));             // above U+10FFFF
    EXPECT_FALSE(is_valid_utf8("\xD6\xD0\xCE\xC4"));             // GBK 中文
}

TEST(KeplinText, GbkTextBecomesUtf8AndUtf8StaysAsItIs) {
    EXPECT_EQ(to_utf8("\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(to_utf8("Cam \xB4\xF3\xC3\xC5 1"), "Cam \xE5\xA4\xA7\xE9\x97\xA8 1");  // 大门
    EXPECT_EQ(to_utf8("\xE4\xB8\xAD\xE6\x96\x87"), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(to_utf8(""), "");
}

TEST(KeplinText, BytesThatAreNeitherBecomeReplacementCharacters) {
    EXPECT_EQ(to_utf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(to_utf8("ab\xD6"), "ab\xEF\xBF\xBD");  // a GBK lead byte cut off at the end
    // Whatever arrives, the result is valid UTF-8 (JSON output depends on it).
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 40, '\0');
        for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
        ASSERT_TRUE(is_valid_utf8(to_utf8(bytes))) << round;
    }
}

TEST(KeplinText, FieldWithoutTerminatorIsReadWithinItsSize) {
    char field[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(field_text(field), "abcd");
    char shorter[8] = "ab";
    EXPECT_EQ(field_text(shorter), "ab");
}

TEST(KeplinText, ControlCharactersNeverReachTheTerminal) {
    EXPECT_EQ(printable("\x1B]0;owned\x07" "name"), "?]0;owned?name");
    EXPECT_EQ(printable("line\r\nbreak\t"), "line??break?");
    EXPECT_EQ(printable("\xC2\x9B" "2J"), "?2J");  // C1 control sequence introducer
    EXPECT_EQ(printable("\xE4\xB8\xAD\xE6\x96\x87 ok"), "\xE4\xB8\xAD\xE6\x96\x87 ok");
}

TEST(KeplinText, WideCharactersTakeTwoColumns) {
    EXPECT_EQ(display_width("Door 7"), 6u);
    EXPECT_EQ(display_width("\xE4\xB8\xAD\xE6\x96\x87" "Cam"), 7u);
    EXPECT_EQ(display_width("\xC3\xA9t\xC3\xA9"), 3u);  // été
}
