// `keplin set` before anything is sent: which camera, which values, and what
// is refused.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "rules/devices.h"
#include "tools/keplin/edit.h"
#include "tools/keplin/text.h"

using namespace keplin::cli;

namespace {

const std::vector<std::string> kThisPc = {"10.0.0.1", "192.168.7.2"};

FoundDevice text_camera(const char* ip, const char* mac, const char* id = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345") {
    FoundDevice d;
    d.kind = 'M';
    DeviceRecord& r = d.text;
    copy_text_field(r.device_id, sizeof r.device_id, id);
    copy_text_field(r.ip, sizeof r.ip, ip);
    copy_text_field(r.mac, sizeof r.mac, mac);
    copy_text_field(r.mask, sizeof r.mask, "255.255.255.0");
    copy_text_field(r.gateway, sizeof r.gateway, "10.0.0.254");
    copy_text_field(r.fdns, sizeof r.fdns, "10.0.0.53");
    copy_text_field(r.sdns, sizeof r.sdns, "8.8.8.8");
    copy_text_field(r.http_port, sizeof r.http_port, "80");
    r.dns_state = 5;
    return d;
}

FoundDevice broadcast_camera(const char* ip) {
    FoundDevice d;
    d.kind = 'L';
    BroadcastRecord& r = d.broadcast;
    // Bytes this system does not interpret must travel back unchanged.
    for (size_t i = 0; i < sizeof r; ++i) reinterpret_cast<uint8_t*>(&r)[i] = static_cast<uint8_t>(i * 7 + 1);
    r.magic[0] = 'D', r.magic[1] = 'H', r.type[0] = 1, r.type[1] = 1;
    copy_text_field(r.ip, sizeof r.ip, ip);
    copy_text_field(r.mask, sizeof r.mask, "255.255.255.0");
    copy_text_field(r.gateway, sizeof r.gateway, "10.0.0.254");
    copy_text_field(r.dns, sizeof r.dns, "10.0.0.53");
    copy_text_field(r.user, sizeof r.user, "old");
    copy_text_field(r.password, sizeof r.password, "oldpw");
    set_broadcast_http_port(r, 80);
    r.address_mode = 0;
    return d;
}

SetOptions credentials() {
    SetOptions o;
    o.user = "admin";
    o.password = "secret";
    return o;
}

}  // namespace

TEST(KeplinTarget, MatchesByAddressMacOrDeviceId) {
    std::vector<FoundDevice> list = {text_camera("10.0.0.5", "00:1A:2B:3C:4D:5E"),
                                     broadcast_camera("10.0.0.6"),
                                     text_camera("10.0.0.7", "00:1A:2B:3C:4D:5F", "ZYXWVUTSRQPONMLKJIHGFEDCBA543210")};
    EXPECT_EQ(match_target(list, "10.0.0.5", Protocol::All), std::vector<size_t>{0});
    EXPECT_EQ(match_target(list, "00-1a-2b-3c-4d-5e", Protocol::All), std::vector<size_t>{0});
    EXPECT_EQ(match_target(list, "ZYXWVUTSRQPONMLKJIHGFEDCBA543210", Protocol::All), std::vector<size_t>{2});
    EXPECT_EQ(match_target(list, "10.0.0.6", Protocol::All), std::vector<size_t>{1});
    EXPECT_TRUE(match_target(list, "10.0.0.6", Protocol::Text).empty());
    EXPECT_TRUE(match_target(list, "10.0.0.5", Protocol::Broadcast).empty());
    EXPECT_TRUE(match_target(list, "10.0.0.50", Protocol::All).empty());
    EXPECT_TRUE(match_target(list, "", Protocol::All).empty());
}

TEST(KeplinTarget, CamerasSharingAnAddressAreAllReported) {
    // Cameras fresh from the factory often share one address.
    std::vector<FoundDevice> list = {text_camera("192.168.1.100", "00:00:00:00:00:01"),
                                     text_camera("192.168.1.100", "00:00:00:00:00:02"),
                                     broadcast_camera("192.168.1.100")};
    EXPECT_EQ(match_target(list, "192.168.1.100", Protocol::All), (std::vector<size_t>{0, 1, 2}));
    EXPECT_EQ(match_target(list, "192.168.1.100", Protocol::Broadcast), std::vector<size_t>{2});
    EXPECT_EQ(match_target(list, "00:00:00:00:00:02", Protocol::All), std::vector<size_t>{1});
}

TEST(KeplinTarget, BroadcastCamerasSharingAnAddressAreNamedByTheirOwnBytes) {
    FoundDevice first = broadcast_camera("192.168.1.168");
    FoundDevice second = broadcast_camera("192.168.1.168");
    second.broadcast.reserved2[5] ^= 0xFF;
    const std::vector<FoundDevice> list = {first, second};
    EXPECT_EQ(match_target(list, "192.168.1.168", Protocol::All), (std::vector<size_t>{0, 1}));
    const std::string id = rules::BroadcastCameraId(second.broadcast);
    EXPECT_EQ(match_target(list, id, Protocol::All), std::vector<size_t>{1});
    std::string lower = id;
    for (char& c : lower) c = static_cast<char>(c == ':' ? '-' : std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(match_target(list, lower, Protocol::Broadcast), std::vector<size_t>{1});
    EXPECT_TRUE(match_target(list, id, Protocol::Text).empty());
}

TEST(KeplinSetOptions, AddressesMustBeIpv4AndCredentialsSingleLine) {
    SetOptions o = credentials();
    EXPECT_EQ(check_set_options(o), "");
    o.ip = "10.0.0.9";
    o.dns2 = "8.8.4.4";
    EXPECT_EQ(check_set_options(o), "");
    o.gateway = "10.0.0.1 -dhcp on";  // would add a word to the netconf command line
    EXPECT_EQ(check_set_options(o), "--gateway: '10.0.0.1 -dhcp on' is not an IPv4 address");
    o.gateway = "10.0.0.256";
    EXPECT_NE(check_set_options(o), "");
    o.gateway.reset();
    o.password = "pw\r\nDevice-ID:other";
    EXPECT_EQ(check_set_options(o), "--password must not contain a line break or other control character");
    o.password = "pw";
    o.user = "admin\t";
    EXPECT_EQ(check_set_options(o), "--user must not contain a line break or other control character");
}

TEST(KeplinValidation, FixedAddressingRefusesZeroAndThisPc) {
    EXPECT_EQ(validate_fixed_addressing("10.0.0.9", "255.255.255.0", "10.0.0.254", kThisPc), "");
    EXPECT_EQ(validate_fixed_addressing("0.0.0.0", "0.0.0.0", "0.0.0.0", kThisPc),
              "the IP address must not be 0.0.0.0");
    EXPECT_EQ(validate_fixed_addressing("10.0.0.9", "", "10.0.0.254", kThisPc),
              "the subnet mask must not be 0.0.0.0");
    EXPECT_EQ(validate_fixed_addressing("10.0.0.9", "255.0.0.0", "0.0.0.0", kThisPc),
              "the gateway must not be 0.0.0.0");
    EXPECT_EQ(validate_fixed_addressing("192.168.7.2", "255.0.0.0", "10.0.0.254", kThisPc),
              "192.168.7.2 is an address of this PC");
}

TEST(KeplinTextUpdate, EditedValuesGoIntoTheCamerasRecord) {
    SetOptions o = credentials();
    o.ip = "10.0.0.9";
    o.dns2 = "0.0.0.0";
    TextUpdate plan = plan_text_update(text_camera("10.0.0.5", "00:1A:2B:3C:4D:5E").text, o, kThisPc);
    ASSERT_EQ(plan.error, "");
    EXPECT_EQ(field_text(plan.record.ip), "10.0.0.9");
    EXPECT_EQ(field_text(plan.record.mask), "255.255.255.0");
    EXPECT_EQ(field_text(plan.record.fdns), "10.0.0.53");
    EXPECT_EQ(field_text(plan.record.sdns), "");  // "0.0.0.0" is sent as no server
    EXPECT_EQ(field_text(plan.record.mac), "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(plan.record.dhcp, 0);
    EXPECT_EQ(plan.record.dns_state, 0);  // follows the addressing mode, as in the dialog
    EXPECT_FALSE(plan.send_port);
}

TEST(KeplinTextUpdate, PortCommandFollowsOnlyForAChangedOrdinaryPort) {
    DeviceRecord current = text_camera("10.0.0.5", "00:1A:2B:3C:4D:5E").text;
    SetOptions o = credentials();
    o.http_port = 80;
    EXPECT_FALSE(plan_text_update(current, o, kThisPc).send_port);
    o.http_port = 8080;
    TextUpdate plan = plan_text_update(current, o, kThisPc);
    EXPECT_TRUE(plan.send_port);
    EXPECT_EQ(plan.port, "8080");
    // The discovery ports are never sent; saying so beats reporting success.
    o.http_port = 8002;
    EXPECT_EQ(plan_text_update(current, o, kThisPc).error,
              "port 8002 is reserved by the discovery protocol and cannot be set");
    o.http_port = 55555;
    EXPECT_NE(plan_text_update(current, o, kThisPc).error, "");
    copy_text_field(current.http_port, sizeof current.http_port, "8002");
    o.http_port = 8002;
    plan = plan_text_update(current, o, kThisPc);
    EXPECT_EQ(plan.error, "");
    EXPECT_FALSE(plan.send_port);
}

TEST(KeplinTextUpdate, AutomaticAddressingSkipsValidationAndSendsTheShownAddresses) {
    DeviceRecord current = text_camera("10.0.0.5", "00:1A:2B:3C:4D:5E").text;
    copy_text_field(current.gateway, sizeof current.gateway, "0.0.0.0");
    SetOptions o = credentials();
    o.dhcp = true;
    TextUpdate plan = plan_text_update(current, o, kThisPc);
    ASSERT_EQ(plan.error, "");
    EXPECT_EQ(plan.record.dhcp, 1);
    EXPECT_EQ(plan.record.dns_state, 1);
    EXPECT_EQ(field_text(plan.record.ip), "10.0.0.5");
    EXPECT_EQ(field_text(plan.record.gateway), "");

    // Without an address or mask the dialog sends nothing and says nothing.
    copy_text_field(current.ip, sizeof current.ip, "0.0.0.0");
    EXPECT_NE(plan_text_update(current, o, kThisPc).error, "");
}

TEST(KeplinTextUpdate, AddressesNeedFixedAddressing) {
    DeviceRecord current = text_camera("10.0.0.5", "00:1A:2B:3C:4D:5E").text;
    current.dhcp = 1;
    SetOptions o = credentials();
    o.ip = "10.0.0.9";
    EXPECT_EQ(plan_text_update(current, o, kThisPc).error,
              "the camera takes its address by DHCP: add --dhcp off to set its addresses");
    o.dhcp = true;
    EXPECT_NE(plan_text_update(current, o, kThisPc).error, "");
    o.dhcp = false;
    EXPECT_EQ(plan_text_update(current, o, kThisPc).error, "");
    o.ip = "10.0.0.1";
    EXPECT_EQ(plan_text_update(current, o, kThisPc).error, "10.0.0.1 is an address of this PC");
}

TEST(KeplinBroadcastUpdate, FixedAddressingWritesOnlyTheEditedFields) {
    BroadcastRecord current = broadcast_camera("10.0.0.6").broadcast;
    SetOptions o = credentials();
    o.ip = "10.0.0.60";
    o.dns1 = "1.1.1.1";
    o.http_port = 0x1F91;
    BroadcastUpdate plan = plan_broadcast_update(current, o, kThisPc);
    ASSERT_EQ(plan.error, "");
    BroadcastRecord expected = current;
    copy_text_field(expected.ip, sizeof expected.ip, "10.0.0.60");
    copy_text_field(expected.dns, sizeof expected.dns, "1.1.1.1");
    expected.http_port[0] = 0x91, expected.http_port[1] = 0x1F;
    copy_text_field(expected.user, sizeof expected.user, "admin");
    copy_text_field(expected.password, sizeof expected.password, "secret");
    EXPECT_EQ(std::memcmp(&plan.record, &expected, sizeof expected), 0);
    EXPECT_TRUE(plan.notes.empty());
}

TEST(KeplinBroadcastUpdate, AutomaticAddressingSendsZeroAddressAndModeOne) {
    BroadcastRecord current = broadcast_camera("10.0.0.6").broadcast;
    SetOptions o = credentials();
    o.dhcp = true;
    BroadcastUpdate plan = plan_broadcast_update(current, o, kThisPc);
    ASSERT_EQ(plan.error, "");
    EXPECT_EQ(field_text(plan.record.ip), "0.0.0.0");
    EXPECT_EQ(plan.record.address_mode, 1);
    EXPECT_EQ(std::memcmp(plan.record.mask, current.mask, sizeof current.mask), 0);
    EXPECT_EQ(std::memcmp(plan.record.dns, current.dns, sizeof current.dns), 0);
    EXPECT_EQ(broadcast_http_port(plan.record), 80);
}

TEST(KeplinBroadcastUpdate, CredentialsAreCutAsTheWindowCutsThem) {
    SetOptions o = credentials();
    o.user = std::string(30, 'u') + "\xE4\xB8\xAD";  // 30 bytes and one three-byte character
    BroadcastUpdate plan = plan_broadcast_update(broadcast_camera("10.0.0.6").broadcast, o, kThisPc);
    ASSERT_EQ(plan.error, "");
    EXPECT_EQ(field_text(plan.record.user), std::string(30, 'u'));  // never half a character
    ASSERT_EQ(plan.notes.size(), 1u);
    EXPECT_EQ(plan.notes[0], "note: the account was cut to 30 bytes, the size the camera stores");
}

TEST(KeplinBroadcastUpdate, LongCredentialsAreCutKeepingTheTerminator) {
    SetOptions o = credentials();
    o.user = std::string(40, 'u');
    o.password = std::string(33, 'p');
    BroadcastUpdate plan = plan_broadcast_update(broadcast_camera("10.0.0.6").broadcast, o, kThisPc);
    ASSERT_EQ(plan.error, "");
    EXPECT_EQ(field_text(plan.record.user), std::string(31, 'u'));
    EXPECT_EQ(plan.record.user[31], '\0');
    EXPECT_EQ(field_text(plan.record.password), std::string(32, 'p'));
    EXPECT_EQ(plan.record.password[32], '\0');
    EXPECT_EQ(plan.notes.size(), 2u);
}

TEST(KeplinBroadcastUpdate, RefusesWhatTheCameraCannotTake) {
    BroadcastRecord current = broadcast_camera("10.0.0.6").broadcast;
    SetOptions o = credentials();
    o.dns2 = "8.8.4.4";
    EXPECT_EQ(plan_broadcast_update(current, o, kThisPc).error, "a broadcast camera has one DNS server: use --dns1");
    o.dns2.reset();
    o.gateway = "0.0.0.0";
    EXPECT_EQ(plan_broadcast_update(current, o, kThisPc).error, "the gateway must not be 0.0.0.0");
    o.gateway.reset();
    current.address_mode = 1;
    o.mask = "255.255.0.0";
    EXPECT_NE(plan_broadcast_update(current, o, kThisPc).error, "");
}
