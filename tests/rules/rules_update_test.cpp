// The checks and fills of a settings update, shared by the window and keplin.
#include "rules/update.h"

#include "records.h"

#include <gtest/gtest.h>

using namespace rules;

namespace {

TEST(CheckAddresses, RefusedInOrderAndNeverWhenAutomatic) {
    const std::vector<std::string> local{"10.0.0.1", "192.168.5.2"};
    AddressFields f{false, "0.0.0.0", "0.0.0.0", "0.0.0.0", "0.0.0.0", "0.0.0.0"};
    EXPECT_EQ(CheckAddresses(f, local), AddressFault::Ip);
    f.ip = "10.0.0.1";
    EXPECT_EQ(CheckAddresses(f, local), AddressFault::Mask);
    f.mask = "255.255.255.0";
    EXPECT_EQ(CheckAddresses(f, local), AddressFault::Gateway);
    f.gateway = "";  // an empty text counts as zero
    EXPECT_EQ(CheckAddresses(f, local), AddressFault::Gateway);
    f.gateway = "10.0.0.254";
    EXPECT_EQ(CheckAddresses(f, local), AddressFault::LocalAddress);
    f.ip = "10.0.0.9";
    EXPECT_EQ(CheckAddresses(f, local), AddressFault::None);
    EXPECT_EQ(CheckAddresses({true, "", "", "", "", ""}, local), AddressFault::None);
}

TEST(CheckCredentials, ALineBreakOrOtherControlIsRefused) {
    EXPECT_EQ(CheckCredentials("admin", "p@ss word:1"), CredentialFault::None);
    EXPECT_EQ(CheckCredentials("观看", "密码"), CredentialFault::None);
    // Pasted with its line end, the account would add a header line to the command.
    EXPECT_EQ(CheckCredentials("admin\r\nDevice-ID:x", "pw"), CredentialFault::Account);
    EXPECT_EQ(CheckCredentials("admin", "pw\t"), CredentialFault::Password);
    EXPECT_EQ(CheckCredentials("a\n", "b\n"), CredentialFault::Account);
}

TEST(ParsePort, DigitsFromOneTo65535Only) {
    EXPECT_EQ(ParsePort("80"), 80);
    EXPECT_EQ(ParsePort(" 8080 "), 8080);
    EXPECT_EQ(ParsePort("65535"), 65535);
    EXPECT_EQ(ParsePort("1"), 1);
    EXPECT_EQ(ParsePort("00080"), 80);
    for (const char* bad : {"", "  ", "0", "65536", "99999", "123456", "-1", "+80", "80 -x", "8o", "0x50", "80\n"})
        EXPECT_EQ(ParsePort(bad), std::nullopt) << bad;
}

TEST(PortCommand, OnlyForAChangedOrdinaryPort) {
    DeviceRecord r = TextRecord("m", "10.0.0.5");
    CopyField(r.http_port, "8O");  // the camera's own text, compared without case
    EXPECT_TRUE(SamePort("8o", r));
    EXPECT_FALSE(PortCommandNeeded("8o", r));
    EXPECT_FALSE(PortCommandNeeded("8002", r));
    EXPECT_FALSE(PortCommandNeeded("55555", r));
    EXPECT_TRUE(ReservedPort("8002"));
    EXPECT_TRUE(PortCommandNeeded("81", r));
}

TEST(StepPortText, StaysWithinOneTo65535) {
    EXPECT_EQ(StepPortText("80", 1), "81");
    EXPECT_EQ(StepPortText("80", -1), "79");
    EXPECT_EQ(StepPortText("65535", 1), std::nullopt);
    EXPECT_EQ(StepPortText("65534", 1), "65535");
    EXPECT_EQ(StepPortText("1", -1), std::nullopt);
    EXPECT_EQ(StepPortText("abc", 1), "1");  // no number counts as 0
    EXPECT_EQ(StepPortText("abc", -1), std::nullopt);
    EXPECT_EQ(StepPortText(" 12x", 1), "13");
    EXPECT_EQ(StepPortText("99999999999", -1), "2147483646");
    EXPECT_EQ(StepPortText("80", 2), std::nullopt);
}

TEST(FillNetworkRecord, TakesTheAddressesAndRefusesAnEmptyAddressOrMask) {
    DeviceRecord r = TextRecord("m", "10.0.0.5");
    AddressFields f{true, "10.0.0.7", "255.0.0.0", "0.0.0.0", "8.8.8.8", "0.0.0.0"};
    ASSERT_TRUE(FillNetworkRecord(r, f));
    EXPECT_STREQ(r.ip, "10.0.0.7");
    EXPECT_STREQ(r.mask, "255.0.0.0");
    EXPECT_STREQ(r.gateway, "");
    EXPECT_STREQ(r.fdns, "8.8.8.8");
    EXPECT_STREQ(r.sdns, "");
    EXPECT_EQ(r.dhcp, 1);
    EXPECT_EQ(r.dns_state, 1);
    EXPECT_STREQ(r.mac, "m");
    f.mask = "0.0.0.0";
    EXPECT_FALSE(FillNetworkRecord(r, f));
}

TEST(FillBroadcastRecord, WritesTheEditsIntoTheCamerasOwnRecord) {
    const BroadcastRecord before = BroadcastRecordOf("10.0.1.5");
    BroadcastRecord r = before;
    FillBroadcastRecord(r, {false, "10.0.1.6", "255.255.255.0", "10.0.1.1", "10.0.1.2", "ignored"}, "8081", "viewer",
                        "secret");
    BroadcastRecord expected = before;
    CopyField(expected.ip, "10.0.1.6");
    CopyField(expected.mask, "255.255.255.0");
    CopyField(expected.gateway, "10.0.1.1");
    CopyField(expected.dns, "10.0.1.2");
    set_broadcast_http_port(expected, 8081);
    CopyField(expected.user, "viewer");
    CopyField(expected.password, "secret");
    EXPECT_EQ(std::memcmp(&r, &expected, sizeof r), 0);
}

TEST(FillBroadcastRecord, UnchangedFieldsKeepTheCamerasBytes) {
    BroadcastRecord before = BroadcastRecordOf("10.0.1.5");
    before.gateway[13] = '\x5A';  // after the NUL of "10.0.1.254"
    before.user[20] = '\x5A';
    BroadcastRecord r = before;
    FillBroadcastRecord(r, {false, "10.0.1.5", "255.255.0.0", "10.0.1.254", "10.0.1.53", ""}, "80", "old", "oldpw");
    // Bytes after each field's NUL included: the request is the camera's record.
    EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);
}

TEST(FillBroadcastRecord, AutomaticSendsZeroAddressAndKeepsTheOthers) {
    const BroadcastRecord before = BroadcastRecordOf("10.0.1.5");
    BroadcastRecord r = before;
    FillBroadcastRecord(r, {true, "10.9.9.9", "255.0.0.0", "10.9.9.1", "10.9.9.2", ""}, "port?", "", "");
    EXPECT_STREQ(r.ip, "0.0.0.0");
    EXPECT_EQ(r.address_mode, 1);
    EXPECT_EQ(std::memcmp(r.mask, before.mask, sizeof r.mask), 0);
    EXPECT_EQ(std::memcmp(r.dns, before.dns, sizeof r.dns), 0);
    EXPECT_EQ(broadcast_http_port(r), 80);
}

TEST(FillBroadcastRecord, LongCredentialsAreCutWholeCharactersAtATime) {
    BroadcastRecord r = BroadcastRecordOf("10.0.1.5");
    FillBroadcastRecord(r, {true, "", "", "", "", ""}, "80", std::string(30, 'u') + "中", std::string(40, 'p'));
    EXPECT_EQ(RawField(r.user), std::string(30, 'u'));
    EXPECT_EQ(RawField(r.password), std::string(32, 'p'));
    EXPECT_EQ(r.password[32], '\0');
}

TEST(BroadcastPortFromText, ANumberOutsideThePortRangeIsNotWrapped) {
    EXPECT_EQ(BroadcastPortFromText("8080"), 8080);
    EXPECT_EQ(BroadcastPortFromText("70000"), 80);
    EXPECT_EQ(BroadcastPortFromText("-1"), 80);
    EXPECT_EQ(BroadcastPortFromText(""), 80);
    EXPECT_EQ(BroadcastPortFromText("0"), 0);
}

}  // namespace
