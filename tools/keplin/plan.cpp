#include "tools/keplin/plan.h"

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "rules/devices.h"
#include "tools/keplin/format.h"
#include "tools/keplin/session.h"
#include "tools/keplin/text.h"

namespace keplin::cli {

namespace {

using Clock = std::chrono::steady_clock;

std::optional<uint32_t> ipv4(const std::string& text) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
    return ntohl(address.s_addr);
}

// "00:1A:2B:3C:4D:5E" from any letter case and ':' or '-'; empty when the
// text is not six hexadecimal bytes.
std::string normalised_mac(const std::string& text) {
    if (text.size() != 17) return {};
    std::string out = text;
    for (size_t i = 0; i < out.size(); ++i) {
        char& c = out[i];
        if (i % 3 == 2) {
            if (c != ':' && c != '-') return {};
            c = ':';
        } else {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

std::string trimmed(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// The records of a CSV text, each with the line it starts on. Quoted cells
// may hold commas, quotes ("") and line breaks.
struct CsvRecord {
    int line = 0;
    std::vector<std::string> cells;
    std::vector<bool> quoted;
};

std::vector<CsvRecord> read_csv(std::istream& in) {
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<CsvRecord> records;
    CsvRecord record;
    std::string cell;
    bool quoted = false, in_quotes = false;
    int line = 1;
    record.line = 1;
    auto end_cell = [&] {
        record.cells.push_back(quoted ? cell : trimmed(cell));
        record.quoted.push_back(quoted);
        cell.clear();
        quoted = false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_quotes) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                in_quotes = false;
            } else {
                if (c == '\n') ++line;
                cell += c;
            }
        } else if (c == '"' && trimmed(cell).empty()) {
            in_quotes = quoted = true;
            cell.clear();
        } else if (c == ',') {
            end_cell();
        } else if (c == '\n') {
            end_cell();
            records.push_back(record);
            record = CsvRecord{};
            record.line = ++line;
        } else if (c != '\r') {
            cell += c;
        }
    }
    if (!cell.empty() || quoted || !record.cells.empty()) {
        end_cell();
        records.push_back(record);
    }
    return records;
}

bool blank(const CsvRecord& record) {
    return std::all_of(record.cells.begin(), record.cells.end(), [](const std::string& c) { return c.empty(); });
}

// The apostrophe csv_cell puts before a formula-like text, taken off again.
std::string cell_text(const std::string& cell) {
    if (cell.size() >= 2 && cell[0] == '\'' && std::string("=+-@").find(cell[1]) != std::string::npos)
        return cell.substr(1);
    return cell;
}

bool has_control_character(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

std::string row_name(const PlanRow& row) {
    return "line " + std::to_string(row.line) + " (" + (row.mac.empty() ? row.device_id : row.mac) + ")";
}

std::string protocol_name(char kind) { return kind == 'M' ? "text" : "broadcast"; }

std::string device_mac(const FoundDevice& d) {
    return d.kind == 'M' ? normalised_mac(field_text(d.text.mac)) : rules::BroadcastCameraId(d.broadcast);
}

std::string device_port(const FoundDevice& d) {
    return d.kind == 'M' ? field_text(d.text.http_port) : std::to_string(broadcast_http_port(d.broadcast));
}

std::string device_mask(const FoundDevice& d) {
    return d.kind == 'M' ? field_text(d.text.mask) : field_text(d.broadcast.mask);
}

std::string device_gateway(const FoundDevice& d) {
    return d.kind == 'M' ? field_text(d.text.gateway) : field_text(d.broadcast.gateway);
}

bool row_matches(const PlanRow& row, const FoundDevice& d) {
    if (d.kind != row.kind) return false;
    if (normalised_mac(row.mac) != device_mac(d)) return false;
    return row.kind != 'M' || row.device_id.empty() || row.device_id == field_text(d.text.device_id);
}

// A problem of the new subnet, or empty: the mask is contiguous, the gateway
// lies in the subnet and is not the address itself, and the address is not
// the subnet's own or its broadcast address.
std::string subnet_problem(const std::string& ip, const std::string& mask, const std::string& gateway) {
    const std::optional<uint32_t> a = ipv4(ip), m = ipv4(mask), g = ipv4(gateway);
    if (!a) return "new_ip '" + ip + "' is not an IPv4 address";
    if (!m) return "the mask '" + mask + "' is not an IPv4 address";
    if (!g) return "the gateway '" + gateway + "' is not an IPv4 address";
    if (*m == 0 || (~*m & (~*m + 1)) != 0) return "the mask " + mask + " is not a subnet mask";
    if (*g == 0) return "the gateway must not be 0.0.0.0";
    if ((*a & *m) != (*g & *m)) return "the gateway " + gateway + " is not in the subnet of " + ip + "/" + mask;
    if (*g == *a) return "the gateway " + gateway + " is the camera's own new address";
    if (~*m > 1 && ((*a & ~*m) == 0 || (*a & ~*m) == ~*m))
        return ip + " is the " + std::string((*a & ~*m) == 0 ? "subnet's own" : "broadcast") + " address of " +
               ip + "/" + mask;
    return {};
}

std::string cell_value(const std::vector<std::string>& cells, const std::map<std::string, size_t>& at,
                       const char* name) {
    auto it = at.find(name);
    if (it == at.end() || it->second >= cells.size()) return {};
    return cell_text(cells[it->second]);
}

std::string padded(const std::string& text, size_t width) {
    const size_t w = display_width(text);
    return text + std::string(width > w ? width - w : 0, ' ');
}

}  // namespace

const std::vector<std::string>& plan_columns() {
    static const std::vector<std::string> columns = {
        "protocol", "mac",     "device_id", "ip",          "mask",     "gateway", "port",
        "name",     "new_ip",  "new_mask",  "new_gateway", "new_port", "user",    "password"};
    return columns;
}

std::vector<PlanRow> parse_plan(std::istream& in, std::vector<std::string>& problems) {
    std::vector<CsvRecord> records = read_csv(in);
    std::vector<PlanRow> rows;
    auto first = std::find_if_not(records.begin(), records.end(), blank);
    if (first == records.end()) {
        problems.push_back("the plan is empty");
        return rows;
    }
    std::map<std::string, size_t> at;
    for (size_t i = 0; i < first->cells.size(); ++i) at.emplace(first->cells[i], i);
    for (const char* required : {"protocol", "mac", "new_ip"}) {
        if (!at.count(required)) {
            problems.push_back("line " + std::to_string(first->line) + ": the header has no column \"" + required +
                               "\" (write one with 'keplin plan template')");
            return rows;
        }
    }

    for (auto it = std::next(first); it != records.end(); ++it) {
        if (blank(*it)) continue;
        PlanRow row;
        row.line = it->line;
        auto value = [&](const char* name) { return cell_value(it->cells, at, name); };
        const std::string protocol = value("protocol");
        row.kind = protocol == "text" ? 'M' : protocol == "broadcast" ? 'L' : 0;
        row.mac = value("mac");
        row.device_id = value("device_id");
        row.ip = value("ip");
        row.mask = value("mask");
        row.gateway = value("gateway");
        row.port = value("port");
        row.name = value("name");
        row.new_ip = value("new_ip");
        row.new_mask = value("new_mask");
        row.new_gateway = value("new_gateway");
        row.new_port = value("new_port");
        row.user = value("user");
        row.password = value("password");

        const std::string where = "line " + std::to_string(row.line) + ": ";
        const size_t before = problems.size();
        if (it->cells.size() > first->cells.size())
            problems.push_back(where + std::to_string(it->cells.size()) + " cells, the header names " +
                               std::to_string(first->cells.size()));
        if (!row.kind) problems.push_back(where + "protocol '" + protocol + "' is neither text nor broadcast");
        if (normalised_mac(row.mac).empty())
            problems.push_back(where + "mac '" + row.mac + "' is not six hexadecimal bytes like 00:1A:2B:3C:4D:5E");
        if (row.new_ip.empty()) problems.push_back(where + "new_ip is empty");
        else if (!ipv4(row.new_ip)) problems.push_back(where + "new_ip '" + row.new_ip + "' is not an IPv4 address");
        if (!row.new_mask.empty() && !ipv4(row.new_mask))
            problems.push_back(where + "new_mask '" + row.new_mask + "' is not an IPv4 address");
        if (!row.new_gateway.empty() && !ipv4(row.new_gateway))
            problems.push_back(where + "new_gateway '" + row.new_gateway + "' is not an IPv4 address");
        if (!row.new_port.empty()) {
            const bool digits = row.new_port.size() <= 5 &&
                                std::all_of(row.new_port.begin(), row.new_port.end(),
                                            [](char c) { return c >= '0' && c <= '9'; });
            const long port = digits ? std::stol(row.new_port) : 0;
            if (port < 1 || port > 65535)
                problems.push_back(where + "new_port '" + row.new_port + "' is not a port from 1 to 65535");
        }
        // Both go on a line of the text protocol.
        if (has_control_character(row.user) || has_control_character(row.password))
            problems.push_back(where + "user and password must not contain a line break or other control character");
        if (problems.size() == before) rows.push_back(row);
    }
    return rows;
}

void write_plan_template(std::ostream& out, const DeviceSource& source) {
    const std::vector<std::string>& columns = plan_columns();
    for (size_t i = 0; i < columns.size(); ++i) out << (i ? "," : "") << columns[i];
    out << '\n';
    FoundDevice d;
    for (size_t index = 0; source(index, &d); ++index) {
        const std::string name = to_utf8(d.kind == 'M' ? field_text(d.text.device_name)
                                                       : field_text(d.broadcast.device_name));
        const std::vector<std::string> cells = {
            protocol_name(d.kind),
            d.kind == 'M' ? to_utf8(field_text(d.text.mac)) : rules::BroadcastCameraId(d.broadcast),
            d.kind == 'M' ? to_utf8(field_text(d.text.device_id)) : "",
            to_utf8(d.Address()),
            to_utf8(device_mask(d)),
            to_utf8(device_gateway(d)),
            to_utf8(device_port(d)),
            name};
        for (size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << csv_cell(cells[i]);
        out << std::string(columns.size() - cells.size(), ',') << '\n';
    }
}

SetOptions row_options(const PlanRow& row, const std::string& user, const std::string& password) {
    SetOptions options;
    options.user = user;
    options.password = password;
    options.dhcp = false;
    options.ip = row.new_ip;
    if (!row.new_mask.empty()) options.mask = row.new_mask;
    if (!row.new_gateway.empty()) options.gateway = row.new_gateway;
    if (!row.new_port.empty()) options.http_port = static_cast<uint16_t>(std::stoi(row.new_port));
    return options;
}

PlanCheck check_plan(const std::vector<PlanRow>& rows, const DeviceSource& devices,
                     const std::vector<std::string>& this_pc) {
    PlanCheck check;
    check.matches.resize(rows.size());
    std::map<size_t, size_t> row_of_camera;  // camera index -> row index
    FoundDevice d;
    for (size_t r = 0; r < rows.size(); ++r) {
        const PlanRow& row = rows[r];
        std::vector<size_t> found;
        for (size_t i = 0; devices(i, &d); ++i)
            if (row_matches(row, d)) found.push_back(i);
        if (found.empty()) {
            check.missing.push_back(row_name(row) + ": no " + protocol_name(row.kind) +
                                    "-protocol camera with this MAC" +
                                    (row.device_id.empty() ? std::string() : " and device id") + " answered");
            continue;
        }
        if (found.size() > 1) {
            check.problems.push_back(row_name(row) + ": matches " + std::to_string(found.size()) +
                                     " cameras; add the device id, or set them up one by one");
            continue;
        }
        auto [it, first] = row_of_camera.emplace(found.front(), r);
        if (!first) {
            check.problems.push_back(row_name(row) + ": the same camera as line " +
                                     std::to_string(rows[it->second].line));
            continue;
        }
        check.matches[r] = found.front();
    }

    std::map<std::string, size_t> new_addresses;  // new address -> row index
    for (size_t r = 0; r < rows.size(); ++r) {
        const PlanRow& row = rows[r];
        auto [it, first] = new_addresses.emplace(row.new_ip, r);
        if (!first)
            check.problems.push_back(row_name(row) + ": new_ip " + row.new_ip + " is also line " +
                                     std::to_string(rows[it->second].line) + "'s");
        if (!check.matches[r]) continue;
        devices(*check.matches[r], &d);
        const std::string mask = row.new_mask.empty() ? device_mask(d) : row.new_mask;
        const std::string gateway = row.new_gateway.empty() ? device_gateway(d) : row.new_gateway;
        // The window's own checks (zero fields, this PC's addresses, the
        // discovery protocol's ports) by the same code `keplin set` uses.
        const SetOptions options = row_options(row, "", "");
        std::string problem = d.kind == 'M' ? plan_text_update(d.text, options, this_pc).error
                                            : plan_broadcast_update(d.broadcast, options, this_pc).error;
        if (problem.empty()) problem = subnet_problem(row.new_ip, mask, gateway);
        if (!problem.empty()) check.problems.push_back(row_name(row) + ": " + problem);
    }

    // The addresses of listed cameras the plan leaves where they are.
    for (size_t i = 0; devices(i, &d); ++i) {
        if (row_of_camera.count(i)) continue;
        auto it = new_addresses.find(d.Address());
        if (it != new_addresses.end())
            check.problems.push_back(row_name(rows[it->second]) + ": new_ip " + it->first +
                                     " is the address of a camera the plan does not move: " + device_summary(d));
    }
    return check;
}

void write_plan_report_csv(std::ostream& out, const std::vector<PlanResult>& results) {
    out << "line,protocol,mac,device_id,name,ip,new_ip,result,answer,last_ip,seconds,detail\n";
    for (const PlanResult& r : results) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds);
        const std::vector<std::string> cells = {std::to_string(r.row.line), protocol_name(r.row.kind), r.row.mac,
                                                r.row.device_id, r.row.name, r.row.ip, r.row.new_ip, r.result,
                                                r.answer, r.last_ip, seconds, r.detail};
        for (size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << csv_cell(cells[i]);
        out << '\n';
    }
}

void write_plan_report_json(std::ostream& out, const std::vector<PlanResult>& results, double seconds) {
    Json rows = Json::array();
    size_t verified = 0;
    for (const PlanResult& r : results) {
        verified += r.result == "verified";
        rows.push_back(Json{{"line", r.row.line},       {"protocol", protocol_name(r.row.kind)},
                            {"mac", r.row.mac},         {"device_id", r.row.device_id},
                            {"name", r.row.name},       {"ip", r.row.ip},
                            {"new_ip", r.row.new_ip},   {"result", r.result},
                            {"answer", r.answer},       {"last_ip", r.last_ip},
                            {"seconds", r.seconds},     {"detail", r.detail}});
    }
    Json j;
    j["rows"] = rows;
    j["summary"] = Json{{"rows", results.size()},
                        {"verified", verified},
                        {"not_verified", results.size() - verified},
                        {"seconds", seconds}};
    out << j.dump(2) << '\n';
}

void write_plan_report_table(std::ostream& out, const std::vector<PlanResult>& results, double seconds) {
    std::vector<std::vector<std::string>> lines = {
        {"Line", "Kind", "MAC", "Name", "New IP", "Result", "Answer", "Last IP"}};
    size_t verified = 0;
    for (const PlanResult& r : results) {
        verified += r.result == "verified";
        lines.push_back({std::to_string(r.row.line), protocol_name(r.row.kind), printable(r.row.mac),
                         printable(r.row.name), printable(r.row.new_ip), r.result, r.answer.empty() ? "-" : r.answer,
                         r.last_ip.empty() ? "-" : printable(r.last_ip)});
    }
    std::vector<size_t> widths(lines.front().size(), 0);
    for (const auto& l : lines)
        for (size_t i = 0; i < l.size(); ++i) widths[i] = std::max(widths[i], display_width(l[i]));
    for (const auto& l : lines) {
        std::string text;
        for (size_t i = 0; i < l.size(); ++i) text += i + 1 < l.size() ? padded(l[i], widths[i] + 2) : l[i];
        out << text << '\n';
    }
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.1f", seconds);
    out << verified << " of " << results.size() << " verified in " << elapsed << " s\n";
}

// ---------------------------------------------------------------------------
// Running the commands.

namespace {

bool read_plan_file(const std::string& path, std::vector<PlanRow>& rows, std::ostream& err) {
    std::vector<std::string> problems;
    if (path == "-") {
        rows = parse_plan(std::cin, problems);
    } else {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            err << "keplin: cannot read " << path << "\n";
            return false;
        }
        rows = parse_plan(in, problems);
    }
    for (const std::string& p : problems) err << "keplin: " << path << ": " << p << "\n";
    return problems.empty();
}

// Searches with the plan's probes and returns whether any request went out.
bool plan_search(Session& session, const PlanCommand& command, Protocol protocol, std::ostream& err) {
    std::vector<std::string> warnings;
    const bool sent =
        session.SearchRepeated(protocol, command.probes, std::chrono::milliseconds(command.search_wait_ms), warnings);
    for (const std::string& w : warnings) err << "keplin: " << w << "\n";
    if (!sent) err << "keplin: no search request could be sent\n";
    return sent;
}

std::vector<std::string> addresses_of_this_pc(const std::vector<std::string>& first_addresses) {
    std::vector<std::string> all = first_addresses;
    for (const AdapterInfo& adapter : adapter_table())
        for (const AdapterAddress& a : adapter.addresses) all.push_back(a.address);
    return all;
}

// One camera being changed.
struct Job {
    size_t row = 0;
    FoundDevice device;
    std::string user, password;
    bool accepted = false;
    Clock::time_point accepted_at;
    bool seen_elsewhere = false;
};

// What identifies a camera from one search to the next: its MAC, and for the
// text protocol its device id too.
std::string camera_key(const FoundDevice& d) {
    return std::string(1, d.kind) + device_mac(d) + (d.kind == 'M' ? "/" + field_text(d.text.device_id) : "");
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Sends a text camera its change and waits for each answer; fills the
// result's answer and outcome unless the camera accepted.
void change_text_camera(Session& session, const PlanCommand& command, Job& job, PlanResult& result,
                        const std::vector<std::string>& this_pc) {
    const TextUpdate update =
        plan_text_update(job.device.text, row_options(result.row, job.user, job.password), this_pc);
    const std::string device_id = field_text(job.device.text.device_id);
    if (!update.error.empty() || device_id.size() != 32) {
        result.result = "refused";
        result.detail = update.error.empty() ? "the camera's device id is not 32 characters: it cannot be addressed"
                                             : update.error;
        return;
    }
    const CommandAuth auth{device_id.c_str(), job.user.c_str(), job.password.c_str()};
    const auto wait = std::chrono::milliseconds(command.wait_ms);
    session.Results().Clear();
    if (session.Finder().SetNetwork(auth, update.record) != DISC_OK) {
        result.result = "no answer";
        result.detail = "the netconf command could not be sent";
        return;
    }
    std::optional<std::string> status = session.Results().Wait(wait);
    if (status && *status == "200" && update.send_port) {
        session.Results().Clear();
        if (session.Finder().SetHttpPort(auth, update.port.c_str()) == DISC_OK) status = session.Results().Wait(wait);
        else status.reset();
    }
    if (!status) {
        result.result = "no answer";
        result.detail = "no answer to the change within " + std::to_string(command.wait_ms) + " ms";
        return;
    }
    result.answer = *status;
    if (*status != "200") {
        result.result = "refused";
        result.detail = *status == "401" ? "wrong account or password" : "refused by the camera";
        return;
    }
    job.accepted = true;
    job.accepted_at = Clock::now();
}

void change_broadcast_camera(Session& session, Job& job, PlanResult& result, const std::vector<std::string>& this_pc) {
    const BroadcastUpdate update =
        plan_broadcast_update(job.device.broadcast, row_options(result.row, job.user, job.password), this_pc);
    if (!update.error.empty()) {
        result.result = "refused";
        result.detail = update.error;
        return;
    }
    // Cameras fresh from the factory share an address: only the result that
    // carries this camera's MAC counts.
    const int update_code = session.Finder().SetBroadcastDevice(update.record, &rules::ResultFromCamera);
    switch (update_code) {
        case 1:
            result.answer = "0x8000";
            job.accepted = true;
            job.accepted_at = Clock::now();
            return;
        case -1:
        case -2:
            result.result = "refused";
            result.answer = update_code == -1 ? "0x8001" : "0x8002";
            result.detail = "the camera refused the change";
            return;
        default:
            result.result = "no answer";
            result.detail = "no result within the protocol's time-out";
            return;
    }
}

}  // namespace

int run_plan_template(const PlanCommand& command, std::ostream& out, std::ostream& err) {
    Session session;
    if (!plan_search(session, command, command.protocol, err)) return kExitFailure;
    session.Finder().Stop();
    write_plan_template(out, source_of(session.Collector()));
    return kExitOk;
}

int run_plan_check(const PlanCommand& command, std::ostream& out, std::ostream& err) {
    std::vector<PlanRow> rows;
    if (!read_plan_file(command.plan_path, rows, err)) return kExitUsage;
    load_adapter_table();
    Session session;
    const bool sent = plan_search(session, command, Protocol::All, err);
    std::vector<std::string> this_pc = addresses_of_this_pc(session.LocalAddresses());
    release_adapter_table();
    if (!sent) return kExitFailure;
    session.Finder().Stop();
    const PlanCheck check = check_plan(rows, source_of(session.Collector()), this_pc);
    for (const std::string& p : check.missing) out << p << "\n";
    for (const std::string& p : check.problems) out << p << "\n";
    const size_t bad = check.missing.size() + check.problems.size();
    if (bad > 0) {
        out << bad << (bad == 1 ? " problem" : " problems") << "; nothing was sent\n";
        return kExitUsage;
    }
    out << rows.size() << (rows.size() == 1 ? " row matches its camera" : " rows match their cameras")
        << "; the plan can be applied\n";
    return kExitOk;
}

int run_plan_apply(const PlanCommand& command, std::ostream& out, std::ostream& err) {
    std::vector<PlanRow> rows;
    if (!read_plan_file(command.plan_path, rows, err)) return kExitUsage;

    std::vector<PlanResult> results(rows.size());
    std::vector<Job> jobs;
    for (size_t r = 0; r < rows.size(); ++r) {
        results[r].row = rows[r];
        results[r].last_ip = rows[r].ip;
        if (rows[r].user.empty() && command.user.empty()) {
            err << "keplin: " << row_name(rows[r]) << ": no account: fill in the user column or give --user\n";
            return kExitUsage;
        }
        if (rows[r].password.empty() && !command.password) {
            err << "keplin: " << row_name(rows[r])
                << ": no password: fill in the password column or set KEPLIN_PASSWORD\n";
            return kExitUsage;
        }
    }

    load_adapter_table();
    auto session = std::make_unique<Session>();
    const bool sent = plan_search(*session, command, Protocol::All, err);
    std::vector<std::string> this_pc = addresses_of_this_pc(session->LocalAddresses());
    release_adapter_table();
    if (!sent) return kExitFailure;
    const DeviceCollector& found = session->Collector();
    const PlanCheck check = check_plan(rows, source_of(found), this_pc);
    if (!check.problems.empty()) {
        for (const std::string& p : check.problems) err << "keplin: " << p << "\n";
        err << "keplin: the plan has " << check.problems.size() << (check.problems.size() == 1 ? " problem" : " problems")
            << "; nothing was sent\n";
        return kExitUsage;
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        if (!check.matches[r]) {
            results[r].result = "not found";
            results[r].detail = "no camera with this MAC answered the search";
            continue;
        }
        Job job;
        job.row = r;
        found.Get(static_cast<int>(*check.matches[r]), &job.device);
        job.user = rows[r].user.empty() ? command.user : rows[r].user;
        job.password = rows[r].password.empty() ? command.password.value_or("") : rows[r].password;
        results[r].last_ip = job.device.Address();
        jobs.push_back(job);
    }

    // Broadcast cameras are changed by up to `parallel` requests at a time,
    // each on a socket of its own; text-protocol commands go out one after
    // another from this thread, as the engine's results do not name the
    // camera that answered. Either way the restarts overlap.
    const Clock::time_point start = Clock::now();
    std::vector<size_t> broadcast_jobs;
    for (size_t j = 0; j < jobs.size(); ++j)
        if (jobs[j].device.kind == 'L') broadcast_jobs.push_back(j);
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    const size_t worker_count = std::min(broadcast_jobs.size(), static_cast<size_t>(std::max(command.parallel, 1)));
    for (size_t w = 0; w < worker_count; ++w) {
        workers.emplace_back([&] {
            for (size_t k; (k = next.fetch_add(1)) < broadcast_jobs.size();) {
                Job& job = jobs[broadcast_jobs[k]];
                change_broadcast_camera(*session, job, results[job.row], this_pc);
            }
        });
    }
    for (Job& job : jobs)
        if (job.device.kind == 'M') change_text_camera(*session, command, job, results[job.row], this_pc);
    for (std::thread& t : workers) t.join();
    for (Job& job : jobs)
        if (!job.accepted) results[job.row].seconds = seconds_since(start);
    session.reset();

    // Each camera is looked for once its restart is over, until it answers at
    // its new address or its time is up.
    const auto restart = std::chrono::milliseconds(command.restart_wait_ms);
    const auto verify = std::chrono::milliseconds(command.verify_timeout_ms);
    std::vector<Job*> waiting;
    for (Job& job : jobs)
        if (job.accepted) waiting.push_back(&job);
    while (!waiting.empty()) {
        Clock::time_point earliest = Clock::time_point::max();
        for (const Job* job : waiting) earliest = std::min(earliest, job->accepted_at + restart);
        std::this_thread::sleep_until(earliest);
        const Clock::time_point round = Clock::now();

        Session search;
        plan_search(search, command, Protocol::All, err);
        search.Finder().Stop();
        std::map<std::string, FoundDevice> seen;
        FoundDevice d;
        for (int i = 0; search.Collector().Get(i, &d); ++i) seen[camera_key(d)] = d;

        std::vector<Job*> still;
        for (Job* job : waiting) {
            PlanResult& result = results[job->row];
            auto it = seen.find(camera_key(job->device));
            if (it != seen.end()) {
                // At its new address it is done whenever it answers; anywhere
                // else it counts only once its restart is over (before, it
                // may still answer with its old settings).
                const FoundDevice& now = it->second;
                const bool port_ok = result.row.new_port.empty() || device_port(now) == result.row.new_port;
                if (now.Address() == result.row.new_ip && port_ok) {
                    result.last_ip = now.Address();
                    result.result = "verified";
                    result.detail = "answers at its new address";
                    result.seconds = seconds_since(start);
                    continue;
                }
                if (job->accepted_at + restart <= round) {
                    result.last_ip = now.Address();
                    job->seen_elsewhere = true;
                    result.detail = "answers at " + now.Address() + " port " + device_port(now);
                }
            }
            if (job->accepted_at + restart + verify <= Clock::now()) {
                result.seconds = seconds_since(start);
                if (job->seen_elsewhere) {
                    result.result = "wrong address";
                } else {
                    result.result = "no answer";
                    result.detail = "accepted the change, then did not answer a search within " +
                                    std::to_string(command.verify_timeout_ms) + " ms of its restart";
                }
                continue;
            }
            still.push_back(job);
        }
        waiting = still;
    }

    const double elapsed = seconds_since(start);
    write_plan_report_table(out, results, elapsed);
    if (!command.report_path.empty()) {
        std::string format = command.report_format;
        if (format.empty()) {
            const std::string& p = command.report_path;
            format = p.size() >= 5 && p.compare(p.size() - 5, 5, ".json") == 0 ? "json" : "csv";
        }
        std::ofstream report(command.report_path, std::ios::binary | std::ios::trunc);
        if (format == "json") write_plan_report_json(report, results, elapsed);
        else write_plan_report_csv(report, results);
        report.close();
        if (!report) {
            err << "keplin: the report could not be written to " << command.report_path << "\n";
            return kExitFailure;
        }
    }
    const bool all = std::all_of(results.begin(), results.end(),
                                 [](const PlanResult& r) { return r.result == "verified"; });
    return all ? kExitOk : kExitNotVerified;
}

}  // namespace keplin::cli
