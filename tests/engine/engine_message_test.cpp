// The text protocol's messages, byte for byte, and the reading of replies.
#include "engine/protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

using namespace keplin::protocol;

namespace {

const char kClientId[] = "AbCdEfGhIjKlMnOpQrStUvWxYzAbCdEf";

std::string text_field(const std::string& message, const char* key) {
    char out[FIELD_BUFFER_SIZE] = {};
    if (extract_field(message.data(), static_cast<int>(message.size()), key, 1, out) != 0) {
        return "<absent>";
    }
    return out;
}

int32_t number_field(const std::string& message, const char* key) {
    int32_t out = -12345;
    EXPECT_EQ(extract_field(message.data(), static_cast<int>(message.size()), key, 0, &out), 0) << key;
    return out;
}

DeviceRecord read(const std::string& message, bool* kept = nullptr) {
    DeviceRecord record;
    const bool ok = read_device_record(message.data(), static_cast<int>(message.size()), &record);
    if (kept != nullptr) {
        *kept = ok;
    }
    return record;
}

DeviceRecord sample_record() {
    DeviceRecord r{};
    strcpy(r.ip, "192.168.1.20");
    strcpy(r.mask, "255.255.255.0");
    strcpy(r.gateway, "192.168.1.1");
    strcpy(r.fdns, "8.8.8.8");
    strcpy(r.sdns, "8.8.4.4");
    strcpy(r.mac, "00:11:22:33:44:55");
    r.dhcp = 1;
    r.dns_state = 2;
    r.ddns_enable = 1;
    strcpy(r.ddns_host, "ddns.example");
    r.ddns_port = 80;
    strcpy(r.ddns_user, "u");
    strcpy(r.ddns_passwd, "p");
    strcpy(r.ddns_domain, "cam.example");
    strcpy(r.c_vendor, "V");
    strcpy(r.c_product, "P");
    strcpy(r.device_type, "T");
    return r;
}

}  // namespace

TEST(Messages, SearchIsByteExact) {
    char out[MESSAGE_BUFFER_SIZE];
    const int length = build_search(out, sizeof out, 1, kClientId);
    const std::string expected = std::string("SEARCH * HDS/1.0\r\nCSeq:1\r\nClient-ID:") + kClientId +
                                 "\r\nAccept-Type:text/HDP\r\nContent-Length:0\r\n\r\n";
    ASSERT_EQ(length, static_cast<int>(expected.size()));
    EXPECT_EQ(std::string(out, length), expected);
}

TEST(Messages, CommandIsByteExactWithPlainCredentials) {
    char body[MESSAGE_BUFFER_SIZE];
    ASSERT_EQ(build_command_body(body, sizeof body, CMD_HTTPPORT, "81"), 25);
    EXPECT_STREQ(body, "httpport set -httpport 81");

    const CommandAuth auth{"0123456789abcdef0123456789ABCDEF", "admin", "se:cret"};
    char out[MESSAGE_BUFFER_SIZE];
    const int length = build_command(out, sizeof out, 7, kClientId, auth, body);
    const std::string expected = std::string("CMD * HDS/1.0\r\nCSeq:7\r\nClient-ID:") + kClientId +
                                 "\r\nAccept-Type:text/HDP\r\nAuthorization:Basic admin:se:cret\r\n"
                                 "Device-ID:0123456789abcdef0123456789ABCDEF\r\nContent-Length:25\r\n\r\n"
                                 "httpport set -httpport 81\r\n\r\n";
    ASSERT_EQ(length, static_cast<int>(expected.size()));
    EXPECT_EQ(std::string(out, length), expected);
}

TEST(Messages, CommandBodies) {
    const DeviceRecord r = sample_record();
    char body[MESSAGE_BUFFER_SIZE];
    build_command_body(body, sizeof body, CMD_NETCONF, &r);
    EXPECT_STREQ(body,
                 "netconf set -ipaddr 192.168.1.20 -netmask 255.255.255.0 -gateway 192.168.1.1 -dhcp on "
                 "-fdnsip 8.8.8.8 -sdnsip 8.8.4.4 -dnsstat 2 -hwaddr 00:11:22:33:44:55");
    DeviceRecord two = r;
    two.dhcp = 2;  // only exactly 1 means DHCP
    build_command_body(body, sizeof body, CMD_NETCONF, &two);
    EXPECT_NE(strstr(body, "-dhcp off "), nullptr);
    build_command_body(body, sizeof body, CMD_DDNSSET, &r);
    EXPECT_STREQ(body,
                 "ddnsset set -our_enable 1 -our_server ddns.example -our_port 80 -our_uname u -our_passwd p "
                 "-our_domain cam.example");
    EXPECT_EQ(build_command_body(body, sizeof body, CMD_DEVIDSET, "x"), 21);
    EXPECT_STREQ(body, "devidset set -devid x");
    build_command_body(body, sizeof body, CMD_IDENTIFYSET, &r);
    EXPECT_STREQ(body, "identifyset set -cvendor V -cproduct P -product T");
    EXPECT_EQ(build_command_body(body, sizeof body, 6, &r), -1);
    EXPECT_EQ(build_command_body(body, sizeof body, CMD_HTTPPORT, nullptr), -1);
}

TEST(Messages, OverlongResultIsRefusedNotCut) {
    const std::string port(2000, '9');
    char body[MESSAGE_BUFFER_SIZE];
    EXPECT_EQ(build_command_body(body, sizeof body, CMD_HTTPPORT, port.c_str()), -1);
    EXPECT_STREQ(body, "");
    // A body that fits alone but not inside the whole request.
    const std::string id(32, 'a');
    const std::string user(990, 'u');
    const CommandAuth auth{id.c_str(), user.c_str(), "p"};
    char out[MESSAGE_BUFFER_SIZE];
    EXPECT_EQ(build_command(out, sizeof out, 1, kClientId, auth, "httpport set -httpport 81"), -1);
}

TEST(Sequence, StartsAtOneAndWrapsBeforeFourBillion) {
    EXPECT_EQ(next_sequence(0), 1U);
    EXPECT_EQ(next_sequence(3999999998U), 3999999999U);
    EXPECT_EQ(next_sequence(3999999999U), 1U);
    // Written as a signed decimal: large numbers appear negative on the wire.
    char out[MESSAGE_BUFFER_SIZE];
    build_search(out, sizeof out, 3000000000U, kClientId);
    EXPECT_NE(strstr(out, "CSeq:-1294967296\r\n"), nullptr);
}

TEST(ExtractField, ValuesEndAtCrLf) {
    EXPECT_EQ(text_field("X\r\nDevice-ID=abc\r\n", "Device-ID="), "abc");
    EXPECT_EQ(text_field("X\r\nDevice-ID=abc", "Device-ID="), "<absent>");
    EXPECT_EQ(text_field("Device-ID=abc\n", "Device-ID="), "<absent>");
    EXPECT_EQ(text_field("Device-Name=\r\n", "Device-Name="), "");
    EXPECT_EQ(text_field("Device-Name=\"My cam\"\r\n", "Device-Name="), "My cam");
    EXPECT_EQ(text_field("Device-Name=\"\r\n", "Device-Name="), "");
    // First occurrence wins, also inside a longer key.
    EXPECT_EQ(text_field("DDNS-Port=5\r\nPort=6\r\n", "Port="), "5");
    EXPECT_EQ(text_field("A=1\r\nA=2\r\n", "A="), "1");
}

TEST(ExtractField, NumbersLikeTheCLibrary) {
    EXPECT_EQ(number_field("DDNS-Port=554\r\n", "DDNS-Port="), 554);
    EXPECT_EQ(number_field("DDNS-Port=x\r\n", "DDNS-Port="), 0);
    EXPECT_EQ(number_field("N=  -42abc\r\n", "N="), -42);
    EXPECT_EQ(number_field("N=99999999999999999999\r\n", "N="), INT32_MAX);
    EXPECT_EQ(number_field("N=-99999999999999999999\r\n", "N="), INT32_MIN);
    EXPECT_EQ(number_field("N=\"7\"\r\n", "N="), 7);
}

TEST(ExtractField, RefusesMissingArgumentsAndStaysInBounds) {
    char out[FIELD_BUFFER_SIZE] = {};
    EXPECT_EQ(extract_field(nullptr, 5, "A=", 1, out), -1);
    EXPECT_EQ(extract_field("A=1\r\n", 5, nullptr, 1, out), -1);
    EXPECT_EQ(extract_field("A=1\r\n", 5, "A=", 1, nullptr), -1);
    EXPECT_EQ(extract_field("A=1\r\n", 0, "A=", 1, out), -1);
    // The CRLF lies beyond the given length: not found.
    EXPECT_EQ(extract_field("A=1\r\n", 4, "A=", 1, out), -1);
    // A value longer than the output buffer is cut and stays terminated.
    const std::string huge = "A=" + std::string(3000, 'v') + "\r\n";
    char big[FIELD_BUFFER_SIZE + 16];
    memset(big, 0, sizeof big);
    memset(big + FIELD_BUFFER_SIZE, 0x5A, 16);
    ASSERT_EQ(extract_field(huge.data(), static_cast<int>(huge.size()), "A=", 1, big), 0);
    EXPECT_EQ(strlen(big), FIELD_BUFFER_SIZE - 1);
    EXPECT_EQ(big[FIELD_BUFFER_SIZE], 0x5A);
}

TEST(Classify, StatusLinesAnywhereWinOverDeviceId) {
    const char* status = nullptr;
    const std::string both = "Device-ID=abc\r\nMCTP/1.0 200 OK\r\n";
    EXPECT_EQ(classify(both.data(), static_cast<int>(both.size()), &status), MessageKind::CommandResult);
    EXPECT_STREQ(status, "200");
    const std::string denied = "HDS/1.0 401 Unauthorized\r\nHDS/1.0 403 Forbidden\r\n";
    EXPECT_EQ(classify(denied.data(), static_cast<int>(denied.size()), &status), MessageKind::CommandResult);
    EXPECT_STREQ(status, "401");
    const std::string forbidden = "x HDS/1.0 403 Forbidden";
    classify(forbidden.data(), static_cast<int>(forbidden.size()), &status);
    EXPECT_STREQ(status, "403");
    // The success line of the text protocol is MCTP, not HDS; the first line is not examined.
    const std::string wrong = "HDS/1.0 200 OK\r\nDevice-ID=abc\r\n";
    EXPECT_EQ(classify(wrong.data(), static_cast<int>(wrong.size()), &status), MessageKind::SearchReply);
}

TEST(DeviceRecordReading, FieldsAndDefaults) {
    bool kept = false;
    const DeviceRecord r = read(
        "HDS/1.0 200 OK\r\nDevice-ID=0123456789abcdef0123456789abcdef\r\nIP=\r\nDevice-Name=\"Front door\"\r\n"
        "Http-Port=80\r\nMAC=00:11:22:33:44:55\r\nDhcp=1\r\nDdns=3\r\nDDNS-Port=554\r\nDevice-Type=IPC\r\n"
        "Unknown-Key=zzz\r\n",
        &kept);
    ASSERT_TRUE(kept);
    EXPECT_STREQ(r.device_id, "0123456789abcdef0123456789abcdef");
    EXPECT_STREQ(r.ip, "0.0.0.0");  // present but empty
    EXPECT_STREQ(r.mask, "");       // absent
    EXPECT_STREQ(r.device_name, "Front door");
    EXPECT_STREQ(r.http_port, "80");
    EXPECT_STREQ(r.mac, "00:11:22:33:44:55");
    EXPECT_EQ(r.dhcp, 1);
    EXPECT_EQ(r.dns_state, 3);
    EXPECT_EQ(r.ddns_port, 554);
    EXPECT_EQ(r.ddns_enable, 0);
    EXPECT_STREQ(r.device_type, "IPC");
}

TEST(DeviceRecordReading, DropsWithoutDeviceId) {
    bool kept = true;
    read("IP=1.2.3.4\r\n", &kept);
    EXPECT_FALSE(kept);
    read("IP=1.2.3.4\r\nDevice-ID=abc", &kept);  // no CRLF after the value
    EXPECT_FALSE(kept);
}

TEST(DeviceRecordReading, OverlongValuesAreCutToTheirField) {
    const std::string name(300, 'N');
    const std::string mac(40, 'M');
    const DeviceRecord r = read("Device-ID=" + std::string(60, 'i') + "\r\nDevice-Name=" + name + "\r\nMAC=" + mac +
                                "\r\nDDNS-Port=" + std::string(100, '1') + "\r\n");
    EXPECT_EQ(strlen(r.device_id), sizeof r.device_id - 1);
    EXPECT_EQ(strlen(r.device_name), sizeof r.device_name - 1);
    EXPECT_EQ(strlen(r.mac), sizeof r.mac - 1);
    EXPECT_EQ(r.ddns_port, INT32_MAX);  // 31 digits taken, saturated
}

TEST(ClientId, LettersOnlyAndDistinctPerContext) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        char id[33] = {};
        make_client_id(id, 32);
        ASSERT_EQ(strlen(id), 32U);
        for (char c : std::string(id)) {
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) << id;
        }
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 50U);  // made within one second, yet all different

    char prefixed[40] = "ab";
    make_client_id(prefixed, 3);
    EXPECT_EQ(strlen(prefixed), 5U);
    EXPECT_EQ(std::string(prefixed, 2), "ab");
}

TEST(ClientIdCheck, ExactMatchOnly) {
    const std::string reply = std::string("Client-ID:") + kClientId + "\r\n";
    EXPECT_TRUE(client_id_matches(reply.data(), static_cast<int>(reply.size()), kClientId));
    const std::string longer = std::string("Client-ID:") + kClientId + "x\r\n";
    EXPECT_FALSE(client_id_matches(longer.data(), static_cast<int>(longer.size()), kClientId));
    const std::string none = "Device-ID=abc\r\n";
    EXPECT_FALSE(client_id_matches(none.data(), static_cast<int>(none.size()), kClientId));
    EXPECT_FALSE(client_id_matches(reply.data(), static_cast<int>(reply.size()), ""));
}
