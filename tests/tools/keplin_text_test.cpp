// Camera texts on their way to a terminal: nothing a terminal would execute,
// and columns counted as the terminal counts them. (Reading and converting the
// fields is the rules library's, tests/rules.)
#include <gtest/gtest.h>

#include "tools/keplin/text.h"

using namespace keplin::cli;

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
