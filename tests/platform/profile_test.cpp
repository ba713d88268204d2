#include "platform/profile.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

using platform::ReadProfileString;

namespace {

std::string Utf8ToGbk(const std::string& text) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    std::string out(text.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(text.data());
    size_t in_left = text.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    EXPECT_NE(iconv(cd, &in, &in_left, &dst, &dst_left), static_cast<size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - dst_left);
    return out;
}

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/profile_testXXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        m_path = name;
    }
    void TearDown() override { std::remove(m_path.c_str()); }
    void Write(const std::string& bytes) {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string Read(const std::string& section, const std::string& key, size_t size = 256) {
        return ReadProfileString(section, key, "<none>", m_path, size);
    }
    std::string m_path;
};

TEST_F(ProfileFile, NamesMatchWithoutCaseAndValuesLoseBlanksAndOneQuotePair) {
    Write("[Other]\r\n#0064=wrong\r\n[CONFIG]\r\n  #0064 =  Local PC  \r\nKey2=\"quoted value\"\r\n"
          "Key3='single'\r\nKey4=\"\"twice\"\"\r\nKey5=\"unbalanced\r\nKEY6=\r\n");
    EXPECT_EQ(Read("config", "#0064"), "Local PC");
    EXPECT_EQ(Read("Config", "key2"), "quoted value");
    EXPECT_EQ(Read("config", "key3"), "single");
    EXPECT_EQ(Read("config", "key4"), "\"twice\"");
    EXPECT_EQ(Read("config", "key5"), "\"unbalanced");
    EXPECT_EQ(Read("config", "key6"), "");
}

TEST_F(ProfileFile, MissingFileSectionOrKeyGiveTheFallback) {
    Write("[config]\nA=1\n");
    EXPECT_EQ(Read("config", "B"), "<none>");
    EXPECT_EQ(Read("nothing", "A"), "<none>");
    EXPECT_EQ(ReadProfileString("config", "A", "", "/nonexistent/dir/lang.ini"), "");
    EXPECT_EQ(ReadProfileString("config", "A", "", "/tmp/"), "");  // a directory, not a file
}

TEST_F(ProfileFile, MalformedLinesAreSkipped) {
    Write("garbage without equals\n[broken section\n[config]\n=no key\n;A=commented\nA=1\n"
          "[config\nB=2\n\x01\x02\x03\n");
    EXPECT_EQ(Read("config", "A"), "1");
    EXPECT_EQ(Read("config", "B"), "2");  // the broken header does not leave the section
}

TEST_F(ProfileFile, TheFirstOfTwoEqualKeysWins) {
    Write("[config]\nA=first\na=second\n");
    EXPECT_EQ(Read("config", "A"), "first");
}

TEST_F(ProfileFile, ValuesAreCutToTheBufferAtACharacterBoundary) {
    Write("[config]\nA=" + std::string(300, 'x') + "\nB=" + std::string(254, 'y') + "中文\n");
    EXPECT_EQ(Read("config", "A").size(), 255u);
    // 254 bytes and one three-byte character do not fit in 255: the character goes whole.
    EXPECT_EQ(Read("config", "B"), std::string(254, 'y'));
    EXPECT_EQ(Read("config", "A", 1), "");
    EXPECT_EQ(Read("config", "A", 0), "");
}

TEST_F(ProfileFile, GbkFilesAreReadAsUtf8) {
    Write(Utf8ToGbk("[config]\n#0064=当前PC信息：\n#0073=搜索(F3)\n"));
    EXPECT_EQ(Read("config", "#0064"), "当前PC信息：");
    EXPECT_EQ(Read("config", "#0073"), "搜索(F3)");
}

TEST_F(ProfileFile, Utf8FilesWithByteOrderMarkKeepTheirFirstSection) {
    Write("\xEF\xBB\xBF[config]\n#0064=当前PC信息：\n");
    EXPECT_EQ(Read("config", "#0064"), "当前PC信息：");
}

TEST_F(ProfileFile, TheFileIsReadAgainOnEveryCall) {
    Write("[config]\nA=old\n");
    EXPECT_EQ(Read("config", "A"), "old");
    Write("[config]\nA=new\n");
    EXPECT_EQ(Read("config", "A"), "new");
}

TEST(Utf8, InvalidSequencesAreRecognised) {
    EXPECT_TRUE(platform::IsValidUtf8("plain"));
    EXPECT_TRUE(platform::IsValidUtf8("中文"));
    EXPECT_FALSE(platform::IsValidUtf8("\xC0\x80"));         // overlong NUL
    EXPECT_FALSE(platform::IsValidUtf8("\xE4\xB8"));         // cut short
    EXPECT_FALSE(platform::IsValidUtf8("\xED\xA0\x80"));     // a surrogate
    EXPECT_EQ(platform::ToUtf8("\xFF"), "\xEF\xBF\xBD");     // neither UTF-8 nor GBK
}

}  // namespace
