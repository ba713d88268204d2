// `keplin plan` without the network: reading a plan, every reason `check`
// refuses one, the template, and the report.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "tools/keplin/format.h"
#include "tools/keplin/plan.h"

using namespace keplin::cli;

namespace {

const std::vector<std::string> kThisPc = {"192.168.1.10"};
const std::string kHeader = "protocol,mac,device_id,ip,mask,gateway,port,name,new_ip,new_mask,new_gateway,new_port,user,password\n";

FoundDevice text_camera(const char* mac, const char* id, const char* ip = "192.168.1.64") {
    FoundDevice d;
    d.kind = 'M';
    copy_text_field(d.text.device_id, sizeof d.text.device_id, id);
    copy_text_field(d.text.mac, sizeof d.text.mac, mac);
    copy_text_field(d.text.ip, sizeof d.text.ip, ip);
    copy_text_field(d.text.mask, sizeof d.text.mask, "255.255.255.0");
    copy_text_field(d.text.gateway, sizeof d.text.gateway, "192.168.1.1");
    copy_text_field(d.text.http_port, sizeof d.text.http_port, "80");
    copy_text_field(d.text.device_name, sizeof d.text.device_name, "=cmd");
    return d;
}

FoundDevice broadcast_camera(uint8_t last, const char* ip = "192.168.1.64") {
    FoundDevice d;
    d.kind = 'L';
    copy_text_field(d.broadcast.ip, sizeof d.broadcast.ip, ip);
    copy_text_field(d.broadcast.mask, sizeof d.broadcast.mask, "255.255.255.0");
    copy_text_field(d.broadcast.gateway, sizeof d.broadcast.gateway, "192.168.1.1");
    copy_text_field(d.broadcast.device_name, sizeof d.broadcast.device_name, "Gate, \"east\"");
    set_broadcast_http_port(d.broadcast, 80);
    const uint8_t mac[6] = {0x02, 0x4B, 0x53, 0x00, 0x00, last};
    std::memcpy(d.broadcast.reserved2, mac, sizeof mac);
    return d;
}

// Three cameras on one factory address and one elsewhere that no plan moves.
std::vector<FoundDevice> site() {
    return {text_camera("00:1A:2B:3C:4D:01", "KLSIM000000000000000000000000001"),
            text_camera("00:1A:2B:3C:4D:02", "KLSIM000000000000000000000000002"), broadcast_camera(7),
            text_camera("00:1A:2B:3C:4D:09", "KLSIM000000000000000000000000009", "192.168.1.200")};
}

std::vector<PlanRow> parse(const std::string& text, std::vector<std::string>& problems) {
    std::istringstream in(text);
    return parse_plan(in, problems);
}

std::vector<PlanRow> parse_ok(const std::string& text) {
    std::vector<std::string> problems;
    std::vector<PlanRow> rows = parse(text, problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    return rows;
}

const std::string kRow1 = "text,00:1a:2b:3c:4d:01,,192.168.1.64,,,,,192.168.1.101,,,,,\n";
const std::string kRow2 = "text,00-1A-2B-3C-4D-02,,,,,,,192.168.1.102,,,,,\n";
const std::string kRow3 = "broadcast,02:4B:53:00:00:07,,,,,,,192.168.1.103,,,,,\n";

PlanCheck check(const std::string& rows, const std::vector<FoundDevice>& devices = site()) {
    std::vector<std::string> problems;
    std::vector<PlanRow> parsed = parse(kHeader + rows, problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    return check_plan(parsed, source_of(devices), kThisPc);
}

// The one problem a plan of three good rows plus `row` has.
std::string only_problem(const std::string& rows) {
    PlanCheck c = check(rows);
    EXPECT_EQ(c.problems.size() + c.missing.size(), 1u);
    for (auto& p : c.problems) return p;
    for (auto& p : c.missing) return p;
    return "<none>";
}

}  // namespace

TEST(KeplinPlan, ReadsCellsByHeaderNameQuotedOrNot) {
    std::vector<PlanRow> rows = parse_ok(
        "new_ip,note,mac,protocol,user,password,name\r\n"
        "\r\n"
        "192.168.1.101,\"first, by the door\",00:1A:2B:3C:4D:01,text,admin,\"p\"\"w\",'=cmd\r\n"
        " 192.168.1.102 ,\"two\nlines\",02:4B:53:00:00:07,broadcast,,,\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].line, 3);
    EXPECT_EQ(rows[0].kind, 'M');
    EXPECT_EQ(rows[0].password, "p\"w");
    EXPECT_EQ(rows[0].name, "=cmd") << "the apostrophe that kept a formula text is taken off";
    EXPECT_EQ(rows[1].line, 4);
    EXPECT_EQ(rows[1].kind, 'L');
    EXPECT_EQ(rows[1].new_ip, "192.168.1.102");
}

TEST(KeplinPlan, RowsThatCannotBeReadAreNamedByLine) {
    std::vector<std::string> problems;
    std::vector<PlanRow> rows = parse(kHeader +
                                          "camera,00:1A:2B:3C:4D:01,,,,,,,192.168.1.101,,,,,\n"
                                          "text,00:1A:2B:3C:4D,,,,,,,192.168.1.101,,,,,\n"
                                          "text,00:1A:2B:3C:4D:01,,,,,,,,,,,,\n"
                                          "text,00:1A:2B:3C:4D:01,,,,,,,192.168.1.300,255.255.0,x,,,\n"
                                          "text,00:1A:2B:3C:4D:01,,,,,,,192.168.1.101,,,65536,,\n"
                                          "text,00:1A:2B:3C:4D:01,,,,,,,192.168.1.101,,,,\"ad\nmin\",\n"
                                          "text,00:1A:2B:3C:4D:01,,,,,,,192.168.1.101,,,,,,extra\n" + kRow1,
                                      problems);
    ASSERT_EQ(rows.size(), 1u) << "only the good row is kept";
    const std::vector<std::string> expected = {
        "line 2: protocol 'camera' is neither text nor broadcast",
        "line 3: mac '00:1A:2B:3C:4D' is not six hexadecimal bytes like 00:1A:2B:3C:4D:5E",
        "line 4: new_ip is empty",
        "line 5: new_ip '192.168.1.300' is not an IPv4 address",
        "line 5: new_mask '255.255.0' is not an IPv4 address",
        "line 5: new_gateway 'x' is not an IPv4 address",
        "line 6: new_port '65536' is not a port from 1 to 65535",
        "line 7: user and password must not contain a line break or other control character",
        "line 9: 15 cells, the header names 14"};
    EXPECT_EQ(problems, expected);

    problems.clear();
    parse("protocol,mac\ntext,00:1A:2B:3C:4D:01\n", problems);
    EXPECT_EQ(problems, std::vector<std::string>{
                            "line 1: the header has no column \"new_ip\" (write one with 'keplin plan template')"});
    problems.clear();
    parse("\n\n", problems);
    EXPECT_EQ(problems, std::vector<std::string>{"the plan is empty"});
}

TEST(KeplinPlan, AGoodPlanMatchesEachRowToItsCamera) {
    PlanCheck c = check(kRow1 + kRow2 + kRow3);
    EXPECT_TRUE(c.problems.empty()) << c.problems.front();
    EXPECT_TRUE(c.missing.empty());
    ASSERT_EQ(c.matches.size(), 3u);
    EXPECT_EQ(c.matches[0], 0u);
    EXPECT_EQ(c.matches[1], 1u) << "MACs match in any case, with ':' or '-'";
    EXPECT_EQ(c.matches[2], 2u);
}

TEST(KeplinPlan, CheckRefusesRowsWithoutExactlyOneCamera) {
    EXPECT_EQ(only_problem(kRow1 + kRow2 + kRow3 + "text,00:1A:2B:3C:4D:77,,,,,,,192.168.1.104,,,,,\n"),
              "line 5 (00:1A:2B:3C:4D:77): no text-protocol camera with this MAC answered");
    // The broadcast camera's MAC, asked of the text protocol.
    EXPECT_EQ(only_problem(kRow1 + kRow2 + "text,02:4B:53:00:00:07,,,,,,,192.168.1.103,,,,,\n"),
              "line 4 (02:4B:53:00:00:07): no text-protocol camera with this MAC answered");
    EXPECT_EQ(only_problem(kRow1 + kRow2 + kRow3 +
                           "text,00:1A:2B:3C:4D:01,KLSIM000000000000000000000000002,,,,,,192.168.1.104,,,,,\n"),
              "line 5 (00:1A:2B:3C:4D:01): no text-protocol camera with this MAC and device id answered");
    EXPECT_EQ(only_problem(kRow1 + kRow2 + kRow3 + "text,00:1A:2B:3C:4D:01,,,,,,,192.168.1.104,,,,,\n"),
              "line 5 (00:1A:2B:3C:4D:01): the same camera as line 2");

    // Two broadcast cameras carrying the same bytes on different addresses.
    std::vector<FoundDevice> twins = site();
    twins.push_back(broadcast_camera(7, "192.168.1.65"));
    PlanCheck c = check(kRow1 + kRow2 + kRow3, twins);
    ASSERT_EQ(c.problems.size(), 1u);
    EXPECT_EQ(c.problems[0],
              "line 4 (02:4B:53:00:00:07): matches 2 cameras; add the device id, or set them up one by one");
}

TEST(KeplinPlan, CheckRefusesAddressConflicts) {
    EXPECT_EQ(only_problem(kRow1 + kRow2 + "broadcast,02:4B:53:00:00:07,,,,,,,192.168.1.101,,,,,\n"),
              "line 4 (02:4B:53:00:00:07): new_ip 192.168.1.101 is also line 2's");
    EXPECT_EQ(only_problem(kRow1 + kRow2 + "broadcast,02:4B:53:00:00:07,,,,,,,192.168.1.200,,,,,\n"),
              "line 4 (02:4B:53:00:00:07): new_ip 192.168.1.200 is the address of a camera the plan does not "
              "move: M 192.168.1.200 00:1A:2B:3C:4D:09 \"=cmd\"");
    EXPECT_EQ(only_problem(kRow1 + kRow2 + "broadcast,02:4B:53:00:00:07,,,,,,,192.168.1.10,,,,,\n"),
              "line 4 (02:4B:53:00:00:07): 192.168.1.10 is an address of this PC");
    // The factory address itself is free once every camera on it moves.
    PlanCheck c = check(kRow1 + kRow2 + "broadcast,02:4B:53:00:00:07,,,,,,,192.168.1.64,,,,,\n");
    EXPECT_TRUE(c.problems.empty()) << c.problems.front();
}

TEST(KeplinPlan, CheckRefusesMasksAndGatewaysThatDoNotFitTheNewSubnet) {
    const std::string good = kRow1 + kRow2;
    EXPECT_EQ(only_problem(good + "broadcast,02:4B:53:00:00:07,,,,,,,10.0.0.5,,,,,\n"),
              "line 4 (02:4B:53:00:00:07): the gateway 192.168.1.1 is not in the subnet of 10.0.0.5/255.255.255.0");
    EXPECT_EQ(only_problem(good + "broadcast,02:4B:53:00:00:07,,,,,,,10.0.0.5,255.0.255.0,10.0.0.1,,,\n"),
              "line 4 (02:4B:53:00:00:07): the mask 255.0.255.0 is not a subnet mask");
    EXPECT_EQ(only_problem(good + "broadcast,02:4B:53:00:00:07,,,,,,,10.0.0.5,0.0.0.0,10.0.0.1,,,\n"),
              "line 4 (02:4B:53:00:00:07): the subnet mask must not be 0.0.0.0");
    EXPECT_EQ(only_problem(good + "broadcast,02:4B:53:00:00:07,,,,,,,10.0.0.5,255.0.0.0,0.0.0.0,,,\n"),
              "line 4 (02:4B:53:00:00:07): the gateway must not be 0.0.0.0");
    EXPECT_EQ(only_problem(good + "broadcast,02:4B:53:00:00:07,,,,,,,10.0.0.5,255.0.0.0,10.0.0.5,,,\n"),
              "line 4 (02:4B:53:00:00:07): the gateway 10.0.0.5 is the camera's own new address");
    EXPECT_EQ(only_problem(good + "broadcast,02:4B:53:00:00:07,,,,,,,192.168.1.255,,,,,\n"),
              "line 4 (02:4B:53:00:00:07): 192.168.1.255 is the broadcast address of 192.168.1.255/255.255.255.0");
    EXPECT_EQ(only_problem(good + "broadcast,02:4B:53:00:00:07,,,,,,,10.1.0.0,255.255.0.0,10.1.0.1,,,\n"),
              "line 4 (02:4B:53:00:00:07): 10.1.0.0 is the subnet's own address of 10.1.0.0/255.255.0.0");
    // A text camera cannot take a port of the discovery protocol.
    EXPECT_EQ(only_problem(kRow1 + kRow3 + "text,00:1A:2B:3C:4D:02,,,,,,,192.168.1.102,,,8002,,\n"),
              "line 4 (00:1A:2B:3C:4D:02): port 8002 is reserved by the discovery protocol and cannot be set");
    // A /31 has no subnet or broadcast address to avoid.
    PlanCheck c = check(kRow1 + kRow2 + "broadcast,02:4B:53:00:00:07,,,,,,,10.9.9.0,255.255.255.254,10.9.9.1,,,\n");
    EXPECT_TRUE(c.problems.empty()) << c.problems.front();
}

TEST(KeplinPlan, TemplateListsTheCamerasAndReadsBackAsAPlan) {
    const std::vector<FoundDevice> devices = site();
    std::ostringstream out;
    write_plan_template(out, source_of(devices));
    std::istringstream lines(out.str());
    std::string header, first, third;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, third);
    std::getline(lines, third);
    EXPECT_EQ(header + "\n", kHeader);
    EXPECT_EQ(first, "text,00:1A:2B:3C:4D:01,KLSIM000000000000000000000000001,192.168.1.64,255.255.255.0,"
                     "192.168.1.1,80,'=cmd,,,,,,");
    EXPECT_EQ(third, "broadcast,02:4B:53:00:00:07,,192.168.1.64,255.255.255.0,192.168.1.1,80,\"Gate, \"\"east\"\"\""
                     ",,,,,,");

    // Filled in, it is a plan; unfilled, every row says what it lacks.
    std::vector<std::string> problems;
    parse(out.str(), problems);
    EXPECT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0], "line 2: new_ip is empty");
}

TEST(KeplinPlan, ReportsCarryEveryRowAndNoCredentials) {
    std::vector<PlanRow> rows = parse_ok(kHeader +
                                         "text,00:1A:2B:3C:4D:01,KLSIM000000000000000000000000001,192.168.1.64,,,,"
                                         "Door,192.168.1.101,,,,admin,hunter2\n"
                                         "broadcast,02:4B:53:00:00:07,,192.168.1.64,,,,\"=1+1\",192.168.1.103,,,,"
                                         "root,s3cret\n");
    ASSERT_EQ(rows.size(), 2u);
    std::vector<PlanResult> results(2);
    results[0] = {rows[0], "verified", "200", "192.168.1.101", "answers at its new address", 46.31};
    results[1] = {rows[1], "refused", "0x8001", "192.168.1.64", "the camera refused the change", 0.5};

    std::ostringstream csv, json, table;
    write_plan_report_csv(csv, results);
    write_plan_report_json(json, results, 47);
    write_plan_report_table(table, results, 47);
    for (const std::string& text : {csv.str(), json.str(), table.str()}) {
        EXPECT_EQ(text.find("hunter2"), std::string::npos) << text;
        EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
        EXPECT_EQ(text.find("root"), std::string::npos) << text;
    }
    EXPECT_EQ(csv.str(),
              "line,protocol,mac,device_id,name,ip,new_ip,result,answer,last_ip,seconds,detail\n"
              "2,text,00:1A:2B:3C:4D:01,KLSIM000000000000000000000000001,Door,192.168.1.64,192.168.1.101,verified,"
              "200,192.168.1.101,46.3,answers at its new address\n"
              "3,broadcast,02:4B:53:00:00:07,,'=1+1,192.168.1.64,192.168.1.103,refused,0x8001,192.168.1.64,0.5,"
              "the camera refused the change\n");
    Json j = Json::parse(json.str());
    EXPECT_EQ(j["rows"].size(), 2u);
    EXPECT_EQ(j["rows"][1]["result"], "refused");
    EXPECT_EQ(j["rows"][1]["name"], "=1+1");
    EXPECT_EQ(j["summary"]["verified"], 1);
    EXPECT_EQ(j["summary"]["not_verified"], 1);
    EXPECT_NE(table.str().find("1 of 2 verified in 47.0 s\n"), std::string::npos) << table.str();
}
