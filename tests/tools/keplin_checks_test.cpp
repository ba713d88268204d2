// Address checks on a search's list: what `keplin search --check` warns
// about, what `keplin set` refuses, and how `--verify` recognises the camera.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/keplin/checks.h"

using namespace keplin::cli;

namespace {

FoundDevice text_camera(const char* ip, const char* mac, const char* name = "Door", const char* port = "80") {
    FoundDevice d;
    d.kind = 'M';
    copy_text_field(d.text.device_id, sizeof d.text.device_id, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    copy_text_field(d.text.ip, sizeof d.text.ip, ip);
    copy_text_field(d.text.mac, sizeof d.text.mac, mac);
    copy_text_field(d.text.device_name, sizeof d.text.device_name, name);
    copy_text_field(d.text.http_port, sizeof d.text.http_port, port);
    return d;
}

// `carried` is the last byte of the six the record carries as the camera's own.
FoundDevice broadcast_camera(const char* ip, uint8_t carried, const char* name = "Gate", uint16_t port = 80) {
    FoundDevice d;
    d.kind = 'L';
    copy_text_field(d.broadcast.ip, sizeof d.broadcast.ip, ip);
    copy_text_field(d.broadcast.device_name, sizeof d.broadcast.device_name, name);
    const uint8_t id[6] = {0x02, 0x4B, 0x53, 0x00, 0x00, carried};
    std::memcpy(d.broadcast.reserved2, id, sizeof id);
    set_broadcast_http_port(d.broadcast, port);
    return d;
}

AdapterInfo adapter(const char* name, std::vector<AdapterAddress> addresses) {
    AdapterInfo a;
    a.name = name;
    a.addresses = std::move(addresses);
    return a;
}

// lan0 10.0.0.1/24 and 10.0.1.1/24, wlan0 192.168.7.2/16.
const std::vector<PcAddress> kPc = pc_addresses(
    {adapter("lan0", {{"10.0.0.1", "255.255.255.0"}, {"10.0.1.1", "255.255.255.0"}}),
     adapter("wlan0", {{"192.168.7.2", "255.255.0.0"}})});

std::vector<std::string> warnings(const std::vector<FoundDevice>& devices, const std::vector<PcAddress>& pc = kPc) {
    return address_warnings(source_of(devices), pc);
}

}  // namespace

TEST(KeplinChecks, ParsesDottedIpv4Only) {
    EXPECT_EQ(parse_ipv4("192.168.1.64"), 0xC0A80140u);
    EXPECT_EQ(parse_ipv4("0.0.0.0"), 0u);
    EXPECT_EQ(parse_ipv4("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(parse_ipv4("192.168.001.010"), 0xC0A8010Au) << "padded numbers are decimal";
    for (const char* bad : {"", "1.2.3", "1.2.3.4.", "1.2.3.4.5", " 1.2.3.4", "1.2.3.4 ", "1.2.3.256", "1.2.3.-1",
                            "1..2.3", "1234.1.1.1", "0001.1.1.1", "1.2.3.4x", "+1.2.3.4", "a.b.c.d"})
        EXPECT_FALSE(parse_ipv4(bad)) << '"' << bad << '"';
    EXPECT_FALSE(parse_ipv4(std::string_view("1.2.3.4\0", 8))) << "a NUL inside the text";
}

TEST(KeplinChecks, AdapterAddressesAndTheAdaptersACameraCameThrough) {
    ASSERT_EQ(kPc.size(), 3u);
    EXPECT_EQ(kPc[1].adapter, "lan0");
    EXPECT_EQ(kPc[1].address, 0x0A000101u);
    EXPECT_EQ(kPc[2].mask, 0xFFFF0000u);
    EXPECT_EQ(found_through(kPc), "one of lan0, wlan0");
    EXPECT_EQ(found_through({kPc[0], kPc[1]}), "lan0") << "one adapter with two addresses";
    EXPECT_EQ(found_through({}), "no adapter");

    // An adapter without an address, or with one that is not IPv4, searched nothing.
    const std::vector<PcAddress> odd = pc_addresses(
        {adapter("br0", {{"0.0.0.0", "0.0.0.0"}}), adapter("tun0", {{"10.8.0.6", "bogus"}}), adapter("x", {{"?", ""}})});
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].mask, 0xFFFFFFFFu) << "an unreadable mask makes a subnet of the address alone";
    EXPECT_EQ(found_through(odd), "tun0");
}

TEST(KeplinChecks, SearchWarnsAboutUnreachableAndPcAddresses) {
    const std::vector<FoundDevice> devices = {
        text_camera("10.0.0.50", "00:1A:2B:3C:4D:01", "Inside"),
        text_camera("10.0.1.200", "00:1A:2B:3C:4D:02", "Second subnet"),
        text_camera("192.168.200.9", "00:1A:2B:3C:4D:03", "Wide mask"),
        text_camera("10.0.2.50", "00:1A:2B:3C:4D:04", "Outside"),
        broadcast_camera("10.0.0.1", 7, "Thief"),
        text_camera("0.0.0.0", "00:1A:2B:3C:4D:05", "No lease"),
        text_camera("10.0.0.256", "00:1A:2B:3C:4D:06", "Garbled"),
    };
    EXPECT_EQ(warnings(devices),
              (std::vector<std::string>{
                  "M 10.0.2.50 00:1A:2B:3C:4D:04 \"Outside\" is outside every subnet of this PC's adapters (its web "
                  "page cannot be opened from here); found through one of lan0, wlan0",
                  "L 10.0.0.1 02:4B:53:00:00:07 \"Thief\" holds this PC's address 10.0.0.1 (lan0)",
                  "M 0.0.0.0 00:1A:2B:3C:4D:05 \"No lease\" is outside every subnet of this PC's adapters (its web "
                  "page cannot be opened from here); found through one of lan0, wlan0",
                  "M 10.0.0.256 00:1A:2B:3C:4D:06 \"Garbled\": its address is not a dotted IPv4 address",
              }));

    const std::vector<PcAddress> one = pc_addresses({adapter("eth1", {{"172.16.0.5", "255.255.255.0"}})});
    EXPECT_EQ(warnings({devices[0]}, one),
              std::vector<std::string>{"M 10.0.0.50 00:1A:2B:3C:4D:01 \"Inside\" is outside every subnet of this "
                                       "PC's adapters (its web page cannot be opened from here); found through eth1"});
    EXPECT_EQ(warnings(devices, {}).size(), 1u) << "without adapters only the address texts are judged";
}

TEST(KeplinChecks, SearchWarnsOnceAboutEachAddressHeldTwice) {
    const std::vector<FoundDevice> devices = {
        broadcast_camera("10.0.0.64", 1, "First"),
        text_camera("10.0.0.70", "02:4b:53:00:00:09", "Both"),  // the same camera as the next entry
        broadcast_camera("10.0.0.70", 9, "Both"),
        broadcast_camera("10.0.0.64", 2, "Second"),
        text_camera("10.0.0.080", "00:1A:2B:3C:4D:01", "Padded"),
        text_camera("10.0.0.80", "00:1A:2B:3C:4D:02", "Plain"),
        text_camera("0.0.0.0", "00:1A:2B:3C:4D:03", "No lease"),
        text_camera("0.0.0.0", "00:1A:2B:3C:4D:04", "No lease"),
    };
    std::vector<std::string> lines = warnings(devices);
    // The two cameras without an address are outside every subnet, but do not share one.
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "10.0.0.64 is held by 2 cameras: L 10.0.0.64 02:4B:53:00:00:01 \"First\", "
                        "L 10.0.0.64 02:4B:53:00:00:02 \"Second\"");
    EXPECT_EQ(lines[3], "10.0.0.80 is held by 2 cameras: M 10.0.0.080 00:1A:2B:3C:4D:01 \"Padded\", "
                        "M 10.0.0.80 00:1A:2B:3C:4D:02 \"Plain\"");

    // A text and a broadcast camera that are not one camera do conflict.
    EXPECT_EQ(warnings({text_camera("10.0.0.70", "00:1A:2B:3C:4D:09"), broadcast_camera("10.0.0.70", 9)}),
              std::vector<std::string>{"10.0.0.70 is held by 2 cameras: M 10.0.0.70 00:1A:2B:3C:4D:09 \"Door\", "
                                       "L 10.0.0.70 02:4B:53:00:00:09 \"Gate\""});

    // A factory address held by many cameras: one line, not all of them.
    std::vector<FoundDevice> factory;
    for (uint8_t i = 0; i < 40; ++i) factory.push_back(broadcast_camera("10.0.0.100", i, "New"));
    lines = warnings(factory);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("10.0.0.100 is held by 40 cameras: L 10.0.0.100 02:4B:53:00:00:00 \"New\", ", 0), 0u);
    EXPECT_NE(lines[0].find("02:4B:53:00:00:04 \"New\" and 35 more"), std::string::npos) << lines[0];
}

TEST(KeplinChecks, NewAddressForASetCommand) {
    const std::vector<FoundDevice> devices = {
        text_camera("10.0.0.50", "02:4B:53:00:00:05", "Target"),
        broadcast_camera("10.0.0.60", 5, "Target's other protocol"),
        broadcast_camera("10.0.0.61", 6, "Neighbour"),
        text_camera("10.0.0.061", "00:1A:2B:3C:4D:01", "Padded neighbour"),
    };
    const DeviceSource source = source_of(devices);

    NewAddressCheck free = check_new_address(source, 0, "10.0.0.62", kPc);
    EXPECT_TRUE(free.pc_conflict.empty());
    EXPECT_TRUE(free.camera_conflicts.empty());
    EXPECT_TRUE(free.unreachable.empty());

    NewAddressCheck taken = check_new_address(source, 0, "10.0.0.61", kPc);
    EXPECT_EQ(taken.camera_conflicts,
              (std::vector<std::string>{"L 10.0.0.61 02:4B:53:00:00:06 \"Neighbour\"",
                                        "M 10.0.0.061 00:1A:2B:3C:4D:01 \"Padded neighbour\""}));
    // The camera's own entry by the other protocol is not another camera.
    EXPECT_TRUE(check_new_address(source, 0, "10.0.0.60", kPc).camera_conflicts.empty());
    EXPECT_EQ(check_new_address(source, 2, "10.0.0.60", kPc).camera_conflicts.size(), 1u);

    NewAddressCheck mine = check_new_address(source, 0, "192.168.7.2", kPc);
    EXPECT_EQ(mine.pc_conflict, "192.168.7.2 is an address of this PC (wlan0)");

    NewAddressCheck away = check_new_address(source, 0, "172.16.0.9", kPc);
    EXPECT_TRUE(away.camera_conflicts.empty());
    EXPECT_EQ(away.unreachable, "172.16.0.9 is outside every subnet of this PC's adapters: the camera's web page "
                                "could not be opened from here at its new address");
}

TEST(KeplinChecks, VerifyRecognisesTheCameraAtItsNewAddressAndPort) {
    const FoundDevice before = text_camera("10.0.0.50", "00:1a:2b:3c:4d:5e");
    ExpectedCamera expected{before, parse_ipv4("10.0.0.60"), "10.0.0.60", 8080};

    std::vector<FoundDevice> found = {
        text_camera("10.0.0.60", "00:1A:2B:3C:4D:5F", "Other camera", "8080"),
        broadcast_camera("10.0.0.60", 0x5E, "Other kind", 8080),
    };
    VerifyLook look;
    look_for(source_of(found), expected, look);
    EXPECT_FALSE(look.answered);
    EXPECT_EQ(look.next, 2u);

    // The camera is known by its MAC (any letter case), wherever it answers.
    found.push_back(text_camera("10.0.0.60", "00:1A:2B:3C:4D:5E", "Door", "80"));
    look_for(source_of(found), expected, look);
    EXPECT_TRUE(look.answered);
    EXPECT_FALSE(look.as_expected);
    EXPECT_EQ(look.where, "10.0.0.60 port 80");

    found.push_back(text_camera("10.0.0.061", "00-1A-2B-3C-4D-5E", "Door", "8080"));
    look_for(source_of(found), expected, look);
    EXPECT_FALSE(look.as_expected) << look.where;

    found.push_back(text_camera("10.0.0.060", "00:1A:2B:3C:4D:5E", "Door", "8080"));
    found.push_back(text_camera("10.0.0.99", "00:1A:2B:3C:4D:5E", "Door", "8080"));
    look_for(source_of(found), expected, look);
    EXPECT_TRUE(look.as_expected);
    EXPECT_EQ(look.where, "10.0.0.060 port 8080");
    EXPECT_EQ(look.next, 5u) << "the look stops at the camera";

    // With DHCP any address will do; the port must still match.
    ExpectedCamera dhcp{before, std::nullopt, "", 80};
    VerifyLook anywhere;
    look_for(source_of(std::vector<FoundDevice>{text_camera("172.16.5.5", "00:1A:2B:3C:4D:5E")}), dhcp, anywhere);
    EXPECT_TRUE(anywhere.as_expected);
}

TEST(KeplinChecks, CameraIdentityAndAnnouncedPort) {
    FoundDevice no_mac = text_camera("10.0.0.5", "");
    FoundDevice same_id = text_camera("10.0.0.6", "");
    EXPECT_TRUE(same_camera(same_id, no_mac)) << "without a MAC the device id tells";
    copy_text_field(same_id.text.device_id, sizeof same_id.text.device_id, "ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ");
    EXPECT_FALSE(same_camera(same_id, no_mac));
    EXPECT_TRUE(same_camera(broadcast_camera("10.0.0.9", 3), broadcast_camera("10.0.0.5", 3, "Renamed")));
    EXPECT_FALSE(same_camera(broadcast_camera("10.0.0.9", 3), broadcast_camera("10.0.0.9", 4)));
    EXPECT_FALSE(same_camera(text_camera("10.0.0.9", "02:4B:53:00:00:03"), broadcast_camera("10.0.0.9", 3)))
        << "verify searches by the camera's own protocol";

    EXPECT_EQ(announced_port(broadcast_camera("10.0.0.9", 3, "G", 8081)), 8081);
    EXPECT_EQ(announced_port(text_camera("10.0.0.9", "", "D", "65535")), 65535);
    for (const char* bad : {"", "65536", "99999999999999999", "80a", "-80", " 80"})
        EXPECT_EQ(announced_port(text_camera("10.0.0.9", "", "D", bad)), 0) << '"' << bad << '"';
}
