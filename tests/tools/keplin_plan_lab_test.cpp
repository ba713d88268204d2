// `keplin plan` end to end in the lab: cameras of both protocols fresh on one
// factory address, some refusing, one lost in its restart and one coming back
// at the wrong address; and passwords kept out of what the tool prints.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "lab_support.h"

using namespace keplin::lab;

namespace {

// Short enough for a test, long enough that a camera is seen to go away.
const std::string kRestartMs = "800";

std::string text_id(int n) { return "KLPLANTEXT" + std::string(21, '0') + std::to_string(n); }

ProgramOutput run(const std::vector<std::string>& args, const std::vector<std::string>& prefix = {}) {
    std::vector<std::string> argv = prefix;
    argv.push_back(Lab::kitPath("keplin"));
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv);
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> cells;
    std::stringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
    if (!line.empty() && line.back() == ',') cells.push_back("");
    return cells;
}

std::string join(const std::vector<std::string>& cells) {
    std::string out;
    for (size_t i = 0; i < cells.size(); ++i) out += (i ? "," : "") + cells[i];
    return out;
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PlanLab : public ::testing::Test {
protected:
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    Lab lab = Lab::require();
    std::string dir = makeTempDir();
};

}  // namespace

TEST_F(PlanLab, ApplyChangesVerifiesAndReportsEveryCamera) {
    CamSim text(lab, 0,
                {"--restart-delay-ms", kRestartMs,
                 "--camera", "kind=text,id=" + text_id(1) + ",mac=00:1A:2B:00:00:01,ip=10.213.0.64,ddns_user=dyn,"
                             "ddns_passwd=hidden",
                 "--camera", "kind=text,id=" + text_id(2) + ",mac=00:1A:2B:00:00:02,ip=10.213.0.64,password=s3cret",
                 "--camera", "kind=text,id=" + text_id(3) + ",mac=00:1A:2B:00:00:03,ip=10.213.0.64,cmd_result=401",
                 "--camera", "kind=text,id=" + text_id(4) + ",mac=00:1A:2B:00:00:04,ip=10.213.0.64,"
                             "after_restart=never"});
    CamSim broadcast(lab, 1,
                     {"--restart-delay-ms", kRestartMs,
                      "--camera", "kind=broadcast,mac=02:4B:53:00:01:01,ip=10.213.0.65",
                      "--camera", "kind=broadcast,mac=02:4B:53:00:01:02,ip=10.213.0.65",
                      "--camera", "kind=broadcast,mac=02:4B:53:00:01:03,ip=10.213.0.65,set_result=0x8001",
                      "--camera", "kind=broadcast,mac=02:4B:53:00:01:04,ip=10.213.0.65,restart_ip=10.213.0.99"});
    const std::vector<std::string> search = {"--search-wait", kRestartMs};

    // Passwords the cameras report are masked unless asked for.
    ProgramOutput listed = run({"search", "--format", "csv", "--wait", kRestartMs});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find(",dyn,***,"), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find("hidden"), std::string::npos);
    ProgramOutput shown = run({"search", "--format", "json", "--wait", kRestartMs, "--show-secrets"});
    EXPECT_NE(shown.out.find("\"ddns_passwd\": \"hidden\""), std::string::npos) << shown.out;

    ProgramOutput made = run({"plan", "template", "--search-wait", kRestartMs});
    ASSERT_EQ(made.status, 0) << made.err;
    std::istringstream lines(made.out);
    std::string header;
    std::getline(lines, header);
    std::map<std::string, std::string> new_ip;  // by MAC
    for (int n = 1; n <= 4; ++n) {
        new_ip["00:1A:2B:00:00:0" + std::to_string(n)] = "10.213.0.10" + std::to_string(n);
        new_ip["02:4B:53:00:01:0" + std::to_string(n)] = "10.213.0.11" + std::to_string(n);
    }
    std::string plan = header + "\n";
    int rows = 0;
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells = split(line);
        ASSERT_EQ(cells.size(), 14u) << line;
        EXPECT_EQ(cells[3], cells[0] == "text" ? "10.213.0.64" : "10.213.0.65");
        cells[8] = new_ip.at(cells[1]);
        cells[10] = "10.213.0.254";
        if (cells[1] == "00:1A:2B:00:00:02") cells[13] = "s3cret";  // its own password; the rest share one
        plan += join(cells) + "\n";
        ++rows;
    }
    EXPECT_EQ(rows, 8);
    write_file(dir + "/site.csv", plan);

    // A plan that would give a camera this PC's address is refused, and
    // nothing reaches the cameras.
    std::string clash = plan;
    clash.replace(clash.find("10.213.0.101"), 12, lab.pcAddresses[0]);
    write_file(dir + "/clash.csv", clash);
    ProgramOutput refused = run({"plan", "check", dir + "/clash.csv", "--search-wait", kRestartMs});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.out.find(": " + lab.pcAddresses[0] + " is an address of this PC\n"), std::string::npos)
        << refused.out;
    ProgramOutput checked = run({"plan", "check", dir + "/site.csv", "--search-wait", kRestartMs});
    EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
    EXPECT_NE(checked.out.find("8 rows match their cameras"), std::string::npos) << checked.out;
    EXPECT_TRUE(text.events("command").empty()) << "check sends no change";
    EXPECT_TRUE(broadcast.events("set").empty());

    // A row for a camera that is not there is reported, the others applied.
    plan += "text,00:1A:2B:00:00:09,,10.213.0.64,,,,Missing,10.213.0.109,,10.213.0.254,,,\n";
    write_file(dir + "/site.csv", plan);
    const auto start = std::chrono::steady_clock::now();
    ProgramOutput applied = run({"plan", "apply", dir + "/site.csv", "--search-wait", kRestartMs, "--user", "admin",
                                 "--restart-wait", kRestartMs, "--verify-timeout", "2500", "--parallel", "4",
                                 "--report", dir + "/report.json"},
                                {"env", "KEPLIN_PASSWORD=admin"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(applied.status, 6) << applied.out << applied.err;
    EXPECT_LT(took, std::chrono::seconds(15));
    EXPECT_NE(applied.out.find("4 of 9 verified"), std::string::npos) << applied.out;

    const std::string report_text = read_file(dir + "/report.json");
    EXPECT_EQ(report_text.find("s3cret"), std::string::npos) << "no credentials in the report";
    nlohmann::json report = nlohmann::json::parse(report_text);
    std::map<std::string, nlohmann::json> by_mac;
    for (auto& row : report.at("rows")) by_mac[row.at("mac")] = row;
    ASSERT_EQ(by_mac.size(), 9u) << report.dump(2);
    auto expect = [&](const std::string& mac, const std::string& result, const std::string& answer,
                      const std::string& last_ip) {
        const nlohmann::json& row = by_mac[mac];
        EXPECT_EQ(row.value("result", ""), result) << row.dump();
        EXPECT_EQ(row.value("answer", ""), answer) << row.dump();
        EXPECT_EQ(row.value("last_ip", ""), last_ip) << row.dump();
    };
    expect("00:1A:2B:00:00:01", "verified", "200", "10.213.0.101");
    expect("00:1A:2B:00:00:02", "verified", "200", "10.213.0.102");
    expect("00:1A:2B:00:00:03", "refused", "401", "10.213.0.64");
    expect("00:1A:2B:00:00:04", "no answer", "200", "10.213.0.64");
    expect("00:1A:2B:00:00:09", "not found", "", "10.213.0.64");
    expect("02:4B:53:00:01:01", "verified", "0x8000", "10.213.0.111");
    expect("02:4B:53:00:01:02", "verified", "0x8000", "10.213.0.112");
    expect("02:4B:53:00:01:03", "refused", "0x8001", "10.213.0.65");
    expect("02:4B:53:00:01:04", "wrong address", "0x8000", "10.213.0.99");
    EXPECT_EQ(report["summary"]["verified"], 4);

    // The row's own password went to its camera, the shared one to the others.
    for (const nlohmann::json& e : text.events("command")) {
        const std::string expected = e["camera"] == text_id(2) ? "admin:s3cret" : "admin:admin";
        EXPECT_NE(e["body"].get<std::string>().find("netconf set -ipaddr 10.213.0.10"), std::string::npos);
        bool found = false;
        for (const Datagram& d : text.received())
            found = found || (d.bytes.find("Device-ID:" + e["camera"].get<std::string>()) != std::string::npos &&
                              d.bytes.find("Authorization:Basic " + expected + "\r\n") != std::string::npos);
        EXPECT_TRUE(found) << e.dump();
    }
}
