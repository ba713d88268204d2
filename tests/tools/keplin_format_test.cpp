// What scripts and people read from `keplin search` and `keplin adapters`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "tools/keplin/format.h"

using namespace keplin::cli;

namespace {

FoundDevice text_camera() {
    FoundDevice d;
    d.kind = 'M';
    DeviceRecord& r = d.text;
    copy_text_field(r.device_id, sizeof r.device_id, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    copy_text_field(r.device_model, sizeof r.device_model, "KC-2000");
    copy_text_field(r.device_name, sizeof r.device_name, "\xB4\xF3\xC3\xC5");  // GBK 大门
    copy_text_field(r.http_port, sizeof r.http_port, "8080");
    copy_text_field(r.ip, sizeof r.ip, "10.1.2.3");
    copy_text_field(r.mac, sizeof r.mac, "00:1A:2B:3C:4D:5E");
    r.dhcp = 1;
    r.dns_state = 2;
    r.ddns_enable = 1;
    r.ddns_port = 554;
    copy_text_field(r.c_vendor, sizeof r.c_vendor, "Acme, \"best\"");
    return d;
}

FoundDevice broadcast_camera() {
    FoundDevice d;
    d.kind = 'L';
    BroadcastRecord& r = d.broadcast;
    copy_text_field(r.ip, sizeof r.ip, "10.1.2.9");
    copy_text_field(r.mask, sizeof r.mask, "255.255.0.0");
    copy_text_field(r.dns, sizeof r.dns, "10.1.0.2");
    set_broadcast_http_port(r, 0x1F90);  // 8080
    std::memset(r.device_name, 'N', sizeof r.device_name);  // no terminator
    r.address_mode = 1;
    const uint8_t id[6] = {0x02, 0x4B, 0x53, 0x00, 0x00, 0x07};  // tells it from others on its address
    std::memcpy(r.reserved2, id, sizeof id);
    return d;
}

}  // namespace

TEST(KeplinFormat, TextCameraJsonCarriesAllFieldsInRecordOrder) {
    Json j = device_json(text_camera());
    std::vector<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
    EXPECT_EQ(keys, (std::vector<std::string>{
                        "kind", "device_id", "device_model", "software_version", "web_version", "device_name",
                        "http_port", "ip", "mask", "mac", "gateway", "dhcp", "dns_state", "fdns", "sdns",
                        "ddns_enable", "ddns_host", "ddns_port", "ddns_user", "ddns_passwd", "ddns_domain",
                        "c_vendor", "c_product", "device_type"}));
    EXPECT_EQ(j["kind"], "M");
    EXPECT_EQ(j["http_port"], "8080");  // a text in the record, so a text here
    EXPECT_EQ(j["dhcp"], 1);
    EXPECT_EQ(j["dns_state"], 2);
    EXPECT_EQ(j["ddns_port"], 554);
    EXPECT_EQ(j["device_name"], "\xE5\xA4\xA7\xE9\x97\xA8");
    EXPECT_EQ(j["gateway"], "");
}

TEST(KeplinFormat, BroadcastCameraJsonReadsTheWireRecord) {
    Json j = device_json(broadcast_camera());
    EXPECT_EQ(j.dump(), "{\"kind\":\"L\",\"ip\":\"10.1.2.9\",\"mask\":\"255.255.0.0\",\"gateway\":\"\","
                        "\"dns\":\"10.1.0.2\",\"mac\":\"02:4B:53:00:00:07\",\"http_port\":8080,\"device_name\":\"" + std::string(80, 'N') +
                        "\",\"software_version\":\"\",\"web_version\":\"\",\"dhcp\":1}");
}

TEST(KeplinFormat, SearchJsonParsesBack) {
    std::string text = devices_json({text_camera(), broadcast_camera()});
    Json j = Json::parse(text);
    ASSERT_EQ(j["devices"].size(), 2u);
    EXPECT_EQ(j["devices"][0]["kind"], "M");
    EXPECT_EQ(j["devices"][1]["kind"], "L");
    EXPECT_EQ(devices_json({}), "{\n  \"devices\": []\n}\n");
}

// The printed list matches the document a whole dump gives, and stays one
// valid document when the list stopped at its capacity.
TEST(KeplinFormat, StreamedOutputOfAFullListStaysValid) {
    DeviceCollector full(3);
    for (int n = 0; n < 5; ++n) {
        FoundDevice d = text_camera();
        d.text.mac[16] = static_cast<char>('0' + n);
        full.AddText(d.text);
    }
    ASSERT_TRUE(full.Overflowed());
    const DeviceSource source = [&full](std::size_t index, FoundDevice* device) {
        return full.Get(static_cast<int>(index), device);
    };
    std::ostringstream json, csv, table;
    write_devices_json(json, source);
    write_devices_csv(csv, source);
    write_devices_table(table, source);
    EXPECT_EQ(json.str(), devices_json(full.Snapshot()));
    const Json parsed = Json::parse(json.str());
    ASSERT_EQ(parsed["devices"].size(), 3u);
    EXPECT_EQ(parsed["devices"][2]["mac"], "00:1A:2B:3C:4D:52");
    const std::string lines = csv.str();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4);
    EXPECT_NE(table.str().find("3 devices\n"), std::string::npos);
}

// Records of a camera, and of a broadcast reply, from which nothing
// printable is missing: every field full of quotes, separators, line breaks,
// formula signs and bytes that are not UTF-8.
FoundDevice hostile_camera(char kind, int n) {
    FoundDevice d;
    d.kind = kind;
    const char junk[] = "\"a,b\r\n=c\xB4\xF3\xFF\x01";
    auto* bytes = kind == 'M' ? reinterpret_cast<char*>(&d.text) : reinterpret_cast<char*>(&d.broadcast);
    const std::size_t size = kind == 'M' ? sizeof d.text : sizeof d.broadcast;
    for (std::size_t i = 0; i < size; ++i) bytes[i] = junk[i % (sizeof junk - 1)];
    std::snprintf(d.text.mac, sizeof d.text.mac, "02:00:00:00:00:%02X", n);
    d.broadcast.reserved2[5] = static_cast<uint8_t>(n);
    return d;
}

// The records of an RFC 4180 text, each as its cells.
std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') records.back().back() += text[++i];
            else if (c == '"') quoted = false;
            else records.back().back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().emplace_back();
        } else if (c == '\n') {
            records.emplace_back(1);
        } else {
            records.back().back() += c;
        }
    }
    if (records.back() == std::vector<std::string>(1)) records.pop_back();
    return records;
}

TEST(KeplinFormat, AFullListOfTheLongestJunkStaysValidJsonAndCsv) {
    DeviceCollector full(4);
    for (int n = 0; n < 6; ++n) {
        const FoundDevice d = hostile_camera(n % 2 ? 'L' : 'M', n);
        if (d.kind == 'M') full.AddText(d.text);
        else full.AddBroadcast(reinterpret_cast<const uint8_t*>(&d.broadcast));
    }
    ASSERT_TRUE(full.Overflowed());
    std::ostringstream json, csv, table;
    write_devices_json(json, source_of(full));
    write_devices_csv(csv, source_of(full));
    write_devices_table(table, source_of(full));

    const Json parsed = Json::parse(json.str());
    ASSERT_EQ(parsed["devices"].size(), 4u);
    EXPECT_EQ(parsed["devices"][3]["kind"], "L");
    EXPECT_EQ(parsed["devices"][3]["mac"], device_json(hostile_camera('L', 3))["mac"]);
    const auto records = parse_csv(csv.str());
    ASSERT_EQ(records.size(), 5u);
    for (const auto& record : records) EXPECT_EQ(record.size(), 24u);
    EXPECT_EQ(records[1][9], "02:00:00:00:00:00");
    const std::string lines = table.str();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 6);  // heading, four cameras, count
    EXPECT_EQ(lines.find('\r'), std::string::npos);
}

TEST(KeplinFormat, CsvCellsThatLookLikeFormulasStayText) {
    FoundDevice d = text_camera();
    copy_text_field(d.text.device_name, sizeof d.text.device_name, "=HYPERLINK(\"http://x\",\"y\")");
    copy_text_field(d.text.device_model, sizeof d.text.device_model, "+1");
    copy_text_field(d.text.c_product, sizeof d.text.c_product, "@SUM(A1)");
    copy_text_field(d.text.device_type, sizeof d.text.device_type, "-2");
    const std::string csv = devices_csv({d});
    EXPECT_NE(csv.find(",'+1,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\","), std::string::npos) << csv;
    EXPECT_NE(csv.find(",'@SUM(A1),'-2\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",8080,"), std::string::npos);  // ordinary cells unchanged
}

TEST(KeplinFormat, CsvQuotesAndPlacesBroadcastColumns) {
    std::istringstream csv(devices_csv({text_camera(), broadcast_camera()}));
    std::string header, first, second;
    std::getline(csv, header);
    std::getline(csv, first);
    std::getline(csv, second);
    EXPECT_EQ(header, "kind,device_id,device_model,software_version,web_version,device_name,http_port,ip,mask,"
                      "mac,gateway,dhcp,dns_state,fdns,sdns,ddns_enable,ddns_host,ddns_port,ddns_user,"
                      "ddns_passwd,ddns_domain,c_vendor,c_product,device_type");
    EXPECT_EQ(first, "M,ABCDEFGHIJKLMNOPQRSTUVWXYZ012345,KC-2000,,,\xE5\xA4\xA7\xE9\x97\xA8,8080,10.1.2.3,,"
                     "00:1A:2B:3C:4D:5E,,1,2,,,1,,554,,,,\"Acme, \"\"best\"\"\",,");
    EXPECT_EQ(second, "L,,,,," + std::string(80, 'N') + ",8080,10.1.2.9,255.255.0.0,02:4B:53:00:00:07,,1,,10.1.0.2,,,,,,,,,,");
}

TEST(KeplinFormat, TableAlignsWideNamesAndShowsNoControlCharacters) {
    FoundDevice hostile = text_camera();
    copy_text_field(hostile.text.device_name, sizeof hostile.text.device_name, "x\x1B[2Jy\nz");
    std::string table = devices_table({text_camera(), hostile});
    EXPECT_EQ(table.find('\x1B'), std::string::npos);
    std::istringstream lines(table);
    std::string header, row1, row2, count;
    std::getline(lines, header);
    std::getline(lines, row1);
    std::getline(lines, row2);
    std::getline(lines, count);
    EXPECT_EQ(count, "2 devices");
    EXPECT_NE(row2.find("x?[2Jy?z"), std::string::npos);
    // The IP column starts at the same terminal column on every line, though
    // the first name is two wide characters (four columns, six bytes).
    size_t header_ip = header.find("IP");
    size_t row1_ip = row1.find("10.1.2.3");
    EXPECT_EQ(row1_ip - 2, header_ip);  // two extra bytes for two wide characters
    EXPECT_EQ(row2.find("10.1.2.3"), header_ip);
}

TEST(KeplinFormat, AdaptersAsJsonAndTable) {
    AdapterInfo a;
    a.name = "lan0";
    a.description = "Virtual adapter lan0";
    a.index = 3;
    a.addresses = {{"10.0.0.5", "255.255.255.0"}, {"10.0.1.5", "255.255.0.0"}};
    a.gateways = {"10.0.0.1"};
    a.dns_servers = {"10.0.0.53", "10.0.0.54"};
    EXPECT_EQ(adapters_json({a}),
              "{\n  \"adapters\": [\n    {\n      \"name\": \"lan0\",\n      \"description\": \"Virtual adapter "
              "lan0\",\n      \"index\": 3,\n      \"addresses\": [\n        {\n          \"address\": "
              "\"10.0.0.5\",\n          \"mask\": \"255.255.255.0\"\n        },\n        {\n          "
              "\"address\": \"10.0.1.5\",\n          \"mask\": \"255.255.0.0\"\n        }\n      ],\n      "
              "\"gateways\": [\n        \"10.0.0.1\"\n      ],\n      \"dns_servers\": [\n        "
              "\"10.0.0.53\",\n        \"10.0.0.54\"\n      ]\n    }\n  ]\n}\n");
    EXPECT_EQ(adapters_table({a}),
              "lan0 (Virtual adapter lan0)\n"
              "  address  10.0.0.5 mask 255.255.255.0\n"
              "  address  10.0.1.5 mask 255.255.0.0\n"
              "  gateway  10.0.0.1\n"
              "  dns      10.0.0.53\n"
              "           10.0.0.54\n");
    EXPECT_EQ(adapters_table({}), "no network adapter\n");
}

TEST(KeplinFormat, SetReportNamesEveryStep) {
    SetReport report;
    report.device = text_camera();
    report.steps = {{"netconf", "200", "accepted"}, {"httpport", "no answer", "nothing within 5000 ms"}};
    report.result = "no answer";
    EXPECT_EQ(set_report_text(report),
              "camera: M 10.1.2.3 00:1A:2B:3C:4D:5E \"\xE5\xA4\xA7\xE9\x97\xA8\"\n"
              "netconf: 200 (accepted)\n"
              "httpport: no answer (nothing within 5000 ms)\n");
    Json j = Json::parse(set_report_json(report));
    EXPECT_EQ(j["result"], "no answer");
    EXPECT_EQ(j["steps"][1]["outcome"], "no answer");
    EXPECT_EQ(j["device"]["mac"], "00:1A:2B:3C:4D:5E");

    // A broadcast camera is named by its own bytes, as cameras on one address differ only there.
    report.device = broadcast_camera();
    report.steps = {{"set", "accepted", ""}};
    EXPECT_EQ(set_report_text(report), "camera: L 10.1.2.9 02:4B:53:00:00:07 \"" + std::string(80, 'N') + "\"\nset: accepted\n");
    EXPECT_NE(devices_table({broadcast_camera()}).find("02:4B:53:00:00:07"), std::string::npos);
}

TEST(KeplinFormat, PasswordsCamerasReportAreMaskedUnlessAsked) {
    FoundDevice d = text_camera();
    copy_text_field(d.text.ddns_user, sizeof d.text.ddns_user, "dyn");
    copy_text_field(d.text.ddns_passwd, sizeof d.text.ddns_passwd, "s3cret,pw");
    FoundDevice empty = text_camera();
    FoundDevice with_account = broadcast_camera();
    copy_text_field(with_account.broadcast.password, sizeof with_account.broadcast.password, "viewpw");
    const std::vector<FoundDevice> list = {d, empty, with_account};

    for (const std::string& masked : {devices_json(list), devices_csv(list), devices_table(list)}) {
        EXPECT_EQ(masked.find("s3cret"), std::string::npos) << masked;
        EXPECT_EQ(masked.find("viewpw"), std::string::npos) << masked;
    }
    Json j = Json::parse(devices_json(list))["devices"];
    EXPECT_EQ(j[0]["ddns_passwd"], "***");
    EXPECT_EQ(j[0]["ddns_user"], "dyn");
    EXPECT_EQ(j[1]["ddns_passwd"], "") << "nothing to hide stays empty";
    EXPECT_NE(devices_csv(list).find(",dyn,***,"), std::string::npos);

    EXPECT_EQ(Json::parse(devices_json(list, true))["devices"][0]["ddns_passwd"], "s3cret,pw");
    EXPECT_NE(devices_csv(list, true).find(",dyn,\"s3cret,pw\","), std::string::npos);
    // The broadcast record's viewing password is never printed, shown or not.
    EXPECT_EQ(devices_json(list, true).find("viewpw"), std::string::npos);
}
