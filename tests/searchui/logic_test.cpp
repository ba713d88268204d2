// The dialog's rules that need no window: the language table, the device list
// and its keys, and the settings rules.
#include "fake_backend.h"
#include "searchui/devices.h"
#include "searchui/langtext.h"
#include "searchui/settings.h"
#include "searchui/texts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <thread>

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

TEST(DeviceList, TextCamerasAreKeyedByMacAndBroadcastCamerasByAddress) {
    DeviceList list;
    EXPECT_TRUE(list.AddTextDevice(TextCamera("00:1A:2B:3C:4D:01", "10.0.0.5")));
    EXPECT_FALSE(list.AddTextDevice(TextCamera("00:1A:2B:3C:4D:01", "10.0.0.6", "Other")));
    EXPECT_TRUE(list.AddTextDevice(TextCamera("00:1A:2B:3C:4D:02", "10.0.0.5")));

    uint8_t reply[BROADCAST_REPLY_SIZE] = {};
    BroadcastRecord b = BroadcastCamera("10.0.0.5");
    std::memcpy(reply, &b, sizeof b);
    EXPECT_TRUE(list.AddBroadcastDevice(reply));   // same camera by the other protocol
    EXPECT_FALSE(list.AddBroadcastDevice(reply));
    ASSERT_EQ(list.Count(), 3);

    DeviceEntry entry;
    ASSERT_TRUE(list.Get(2, &entry));
    EXPECT_EQ(entry.kind, KIND_BROADCAST);
    EXPECT_EQ(entry.Name(), "Garden");
    EXPECT_EQ(entry.Address(), "10.0.0.5");
    EXPECT_FALSE(list.Get(3, &entry));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.AddTextDevice(TextCamera("00:1A:2B:3C:4D:01", "10.0.0.5")));
}

TEST(DeviceList, UnterminatedFieldsFromTheNetworkStayInsideTheirField) {
    uint8_t reply[BROADCAST_REPLY_SIZE];
    std::memset(reply, 'A', sizeof reply);
    DeviceList list;
    ASSERT_TRUE(list.AddBroadcastDevice(reply));
    DeviceEntry entry;
    ASSERT_TRUE(list.Get(0, &entry));
    EXPECT_EQ(entry.Address(), std::string(16, 'A'));
    EXPECT_EQ(entry.Name(), std::string(80, 'A'));
}

TEST(DeviceList, TwoEngineThreadsAppendWhileTheUserInterfaceReads) {
    DeviceList list;
    auto add_text = [&] {
        for (int i = 0; i < 500; ++i) {
            char mac[18];
            std::snprintf(mac, sizeof mac, "00:00:00:00:%02X:%02X", i / 256, i % 256);
            list.AddTextDevice(TextCamera(mac, "10.1.0.1"));
            list.AddTextDevice(TextCamera(mac, "10.1.0.1"));
        }
    };
    auto add_broadcast = [&] {
        for (int i = 0; i < 500; ++i) {
            uint8_t reply[BROADCAST_REPLY_SIZE] = {};
            BroadcastRecord b = BroadcastCamera("10.2." + std::to_string(i / 256) + "." + std::to_string(i % 256));
            std::memcpy(reply, &b, sizeof b);
            list.AddBroadcastDevice(reply);
        }
    };
    std::thread a(add_text), b(add_broadcast);
    size_t seen = 0;
    while (seen < 1000) {
        const auto snapshot = list.Snapshot();
        ASSERT_GE(snapshot.size(), seen);
        for (const auto& e : snapshot) ASSERT_TRUE(e.kind == KIND_TEXT || e.kind == KIND_BROADCAST);
        seen = snapshot.size();
    }
    a.join();
    b.join();
    EXPECT_EQ(list.Count(), 1000);
}

TEST(Settings, AddressesAreRefusedInOrderUnlessTakenAutomatically) {
    const std::vector<std::string> local{"10.0.0.1", "192.168.5.2"};
    AddressFields f{false, "0.0.0.0", "0.0.0.0", "0.0.0.0", "0.0.0.0", "0.0.0.0"};
    EXPECT_STREQ(AddressProblem(f, local), kKeyBadIp);
    f.ip = "10.0.0.1";
    EXPECT_STREQ(AddressProblem(f, local), kKeyBadMask);
    f.mask = "255.255.255.0";
    EXPECT_STREQ(AddressProblem(f, local), kKeyBadGateway);
    f.gateway = "10.0.0.254";
    EXPECT_STREQ(AddressProblem(f, local), kKeyLocalIp);
    f.ip = "10.0.0.9";
    EXPECT_EQ(AddressProblem(f, local), nullptr);
    AddressFields automatic{true, "0.0.0.0", "0.0.0.0", "0.0.0.0", "", ""};
    EXPECT_EQ(AddressProblem(automatic, local), nullptr);
}

TEST(Settings, PortCommandOnlyForAChangedOrdinaryPort) {
    DeviceRecord r = TextCamera("m", "10.0.0.5");
    CopyField(r.http_port, "8O");  // the camera's own text, compared without case
    EXPECT_FALSE(PortCommandNeeded("8o", r));
    EXPECT_FALSE(PortCommandNeeded("8002", r));
    EXPECT_FALSE(PortCommandNeeded("55555", r));
    EXPECT_TRUE(PortCommandNeeded("81", r));
    EXPECT_TRUE(PortCommandNeeded("", r));
}

TEST(Settings, PortTextStepsWithinItsLimits) {
    EXPECT_EQ(StepPortText("80", 1), "81");
    EXPECT_EQ(StepPortText("80", -1), "79");
    EXPECT_EQ(StepPortText("65535", 1), std::nullopt);
    EXPECT_EQ(StepPortText("65534", 1), "65535");
    EXPECT_EQ(StepPortText("1", -1), std::nullopt);
    EXPECT_EQ(StepPortText("abc", 1), "1");          // no number counts as 0
    EXPECT_EQ(StepPortText("abc", -1), std::nullopt);
    EXPECT_EQ(StepPortText(" 12x", 1), "13");
    EXPECT_EQ(StepPortText("99999999999", -1), "2147483646");
    EXPECT_EQ(StepPortText("80", 2), std::nullopt);
}

TEST(Settings, NetworkRecordTakesTheTypedAddresses) {
    DeviceRecord r = TextCamera("m", "10.0.0.5");
    AddressFields f{true, "10.0.0.7", "255.0.0.0", "0.0.0.0", "8.8.8.8", "0.0.0.0"};
    ASSERT_TRUE(FillNetworkRecord(r, f));
    EXPECT_STREQ(r.ip, "10.0.0.7");
    EXPECT_STREQ(r.mask, "255.0.0.0");
    EXPECT_STREQ(r.gateway, "");
    EXPECT_STREQ(r.fdns, "8.8.8.8");
    EXPECT_STREQ(r.sdns, "");
    EXPECT_EQ(r.dhcp, 1);
    EXPECT_EQ(r.dns_state, 1);
    f.mask = "0.0.0.0";
    EXPECT_FALSE(FillNetworkRecord(r, f));  // such a record is not sent
}

TEST(Settings, BroadcastRecordKeepsTheCameraBytesAndCutsLongTexts) {
    BroadcastRecord r = BroadcastCamera("10.0.1.5");
    const BroadcastRecord before = r;
    AddressFields fixed{false, "10.0.1.6", "255.255.255.0", "10.0.1.1", "10.0.1.2", "ignored"};
    FillBroadcastRecord(r, fixed, "8081", std::string(40, 'u'), std::string(40, 'p'));
    EXPECT_STREQ(r.ip, "10.0.1.6");
    EXPECT_STREQ(r.mask, "255.255.255.0");
    EXPECT_STREQ(r.gateway, "10.0.1.1");
    EXPECT_STREQ(r.dns, "10.0.1.2");
    EXPECT_EQ(r.address_mode, 0);
    EXPECT_EQ(r.http_port[0] | (r.http_port[1] << 8), 8081);
    EXPECT_EQ(std::string(r.user, strnlen(r.user, sizeof r.user)), std::string(31, 'u'));
    EXPECT_EQ(std::string(r.password, strnlen(r.password, sizeof r.password)), std::string(32, 'p'));
    EXPECT_EQ(std::memcmp(r.reserved3, before.reserved3, sizeof r.reserved3), 0);

    BroadcastRecord a = BroadcastCamera("10.0.1.5");
    AddressFields automatic{true, "10.9.9.9", "255.0.0.0", "10.9.9.1", "10.9.9.2", ""};
    FillBroadcastRecord(a, automatic, "port?", "", "");
    EXPECT_STREQ(a.ip, "0.0.0.0");
    EXPECT_EQ(a.address_mode, 1);
    EXPECT_STREQ(a.mask, "255.255.0.0");  // the camera's own
    EXPECT_EQ(a.http_port[0] | (a.http_port[1] << 8), 80);
}

TEST(Settings, BroadcastPortOutsideThePortRangeIsNotWrapped) {
    EXPECT_EQ(BroadcastPortFromText("8080"), 8080);
    EXPECT_EQ(BroadcastPortFromText("70000"), 80);
    EXPECT_EQ(BroadcastPortFromText("-1"), 80);
    EXPECT_EQ(BroadcastPortFromText(""), 80);
    EXPECT_EQ(BroadcastPortFromText("0"), 0);
}

TEST(Settings, LongAccountTextsAreCutAtACharacterBoundary) {
    char field[8];
    CopyField(field, "abcde中文");  // 5 + 3 bytes: the second character does not fit
    EXPECT_STREQ(field, "abcde");
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
