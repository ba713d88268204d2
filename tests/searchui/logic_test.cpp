// The dialog's parts that need no window: the language table, the message
// keys of refused addresses and the restart wait.
#include "searchui/langtext.h"
#include "searchui/settings.h"
#include "searchui/texts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

using namespace searchui;

namespace {

TEST(LangText, FindsItsFileBesideTheRunningProgram) {
    CLangText lang("lang_test_beside.ini");
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    ASSERT_GT(n, 0);
    path[n] = '\0';
    std::string exe(path);
    EXPECT_EQ(lang.m_dir, exe.substr(0, exe.rfind('/') + 1));

    const std::string file = lang.m_dir + "lang_test_beside.ini";
    std::ofstream(file) << "[config]\n#0064=first\n";
    EXPECT_EQ(lang.GetText("#0064"), "first");
    // A file changed between two lookups gives the new text at once.
    std::ofstream(file) << "[config]\n#0064=second\n";
    EXPECT_EQ(lang.GetText("#0064"), "second");
    std::remove(file.c_str());
    EXPECT_EQ(lang.GetText("#0064"), "");
}

TEST(LangText, AChineseTextOf127CharactersFitsAs254Bytes) {
    CLangText lang("lang_test_long_" + std::to_string(getpid()) + ".ini");
    lang.m_dir = "/tmp/";
    std::string tip;
    for (int i = 0; i < 127; ++i) tip += "设";
    const std::string file = lang.m_dir + lang.m_file;
    std::ofstream(file) << "[config]\n#0052=" << tip << "\n#0053=" << tip << "备\n";
    // Counted as the design's GBK text counts it: two bytes a character.
    EXPECT_EQ(lang.GetText("#0052"), tip);
    EXPECT_EQ(lang.GetText("#0053"), tip);  // the 128th does not fit
    std::remove(file.c_str());
}

TEST(LangText, NamesAreTrimmedAndAnEmptyNameReadsNothing) {
    CLangText lang("lang_cn.ini");
    lang.SetLangFile("  \tlang_en.ini \r\n");
    EXPECT_EQ(lang.m_file, "lang_en.ini");
    lang.m_dir = "/tmp/";
    lang.SetLangFile("");
    EXPECT_EQ(lang.GetText("#0064"), "");
}

TEST(LangText, ShippedFilesHoldEveryKeyOfTheDialog) {
    const char* source = std::getenv("KEPLIN_SOURCE_DIR");
    if (!source) GTEST_SKIP() << "KEPLIN_SOURCE_DIR not set";
    for (const char* file : {"lang_cn.ini", "lang_tw.ini", "lang_en.ini"}) {
        CLangText lang(file);
        lang.m_dir = std::string(source) + "/resources/";
        for (size_t i = 0; i < kControlTextKeyCount; ++i) {
            const int id = kControlTextKeys[i].id;
            if (id >= 247 && id <= 250) continue;  // hidden tip panels
            EXPECT_FALSE(lang.GetText(kControlTextKeys[i].key).empty()) << file << " " << kControlTextKeys[i].key;
        }
        for (const char* key : {kKeyAskCaption, kKeyNoSelection, kKeyAskUpdate, kKeyBadIp, kKeyBadMask,
                                kKeyBadGateway, kKeyLocalIp, kKeyBroadcastRefused, kKeyRestarting,
                                kKeyBroadcastOk, kKeyBroadcastFailed, kKeyTipsCaption})
            EXPECT_FALSE(lang.GetText(key).empty()) << file << " " << key;
    }
}

TEST(Settings, EachRefusedAddressHasItsMessageKey) {
    EXPECT_STREQ(AddressProblemKey(rules::AddressFault::Ip), "#0098");
    EXPECT_STREQ(AddressProblemKey(rules::AddressFault::Mask), "#0099");
    EXPECT_STREQ(AddressProblemKey(rules::AddressFault::Gateway), "#0100");
    EXPECT_STREQ(AddressProblemKey(rules::AddressFault::LocalAddress), "#0101");
    EXPECT_EQ(AddressProblemKey(rules::AddressFault::None), nullptr);
}

TEST(RestartWait, EndsOnTheFortyFifthTick) {
    RestartWait wait;
    EXPECT_FALSE(wait.Tick());  // not begun
    wait.Begin();
    EXPECT_EQ(wait.Position(), RestartWait::kRangeLow);
    for (int i = 1; i < RestartWait::kTicks; ++i) ASSERT_FALSE(wait.Tick()) << i;
    EXPECT_TRUE(wait.Tick());
    EXPECT_FALSE(wait.Active());
    EXPECT_LE(wait.Position(), RestartWait::kRangeHigh);
}

}  // namespace
