// `keplin plan`: re-addressing many cameras from one CSV file. `template`
// lists the cameras found as a plan to fill in, `check` holds a plan against
// the cameras on the network without changing any, and `apply` sends every
// change, lets the cameras restart side by side and searches until each
// answers at its new address, writing one report row per camera.
#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "tools/keplin/devices.h"
#include "tools/keplin/edit.h"

namespace keplin::cli {

// The columns of a plan, in the order `template` writes them. The first eight
// describe the camera as it was found; the installer fills in the rest.
const std::vector<std::string>& plan_columns();

// One row of a plan file.
struct PlanRow {
    int line = 0;   // line number in the file, for messages
    char kind = 0;  // 'M' text protocol, 'L' broadcast protocol
    std::string mac;        // MAC text, or the bytes a broadcast record carries
    std::string device_id;  // text protocol only; may be empty
    std::string ip, mask, gateway, port, name;  // as found (informative)
    std::string new_ip;                 // required
    std::string new_mask, new_gateway;  // empty: keep the camera's
    std::string new_port;               // empty: keep the camera's
    std::string user, password;         // empty: the ones given for all rows
};

// Reads a plan: a header naming the columns (any order; unknown columns are
// ignored, so notes may be added), then one camera per line. Blank lines are
// skipped. A cell may be quoted as RFC 4180 says; the apostrophe the tool
// puts before a cell that looks like a formula is taken off. Every problem
// found goes to `problems` as "line N: ..."; the rows that had none are
// returned.
std::vector<PlanRow> parse_plan(std::istream& in, std::vector<std::string>& problems);

// The plan template of the cameras `source` lists: the header and one row per
// camera with the new values empty.
void write_plan_template(std::ostream& out, const DeviceSource& source);

// What checking a plan against the cameras found gives.
struct PlanCheck {
    // Problems that forbid sending anything: ambiguous rows, two rows for one
    // camera, address conflicts, inconsistent masks and gateways.
    std::vector<std::string> problems;
    // Rows that match no camera ("line N: ..."); `check` refuses them,
    // `apply` reports them as not found and goes on with the others.
    std::vector<std::string> missing;
    // Per row, the index of its camera in the list, or nullopt when missing.
    std::vector<std::optional<size_t>> matches;
};

// Each row must match exactly one listed camera of its protocol by MAC (and
// device id when given); no two rows may name one camera; the new addresses
// must differ from each other, from the address of every listed camera the
// plan does not move and from every address of this PC; the mask must be a
// subnet mask, the gateway in the new subnet and the address neither the
// subnet's own address nor its broadcast address; a text camera's port must
// not be one the discovery protocol uses.
PlanCheck check_plan(const std::vector<PlanRow>& rows, const DeviceSource& devices,
                     const std::vector<std::string>& this_pc);

// The settings change a row asks of its camera (fixed addressing).
SetOptions row_options(const PlanRow& row, const std::string& user, const std::string& password);

// The outcome for one row of a plan.
struct PlanResult {
    PlanRow row;          // credentials are never written out
    std::string result;   // "verified", "refused", "no answer", "not found", "wrong address"
    std::string answer;   // the camera's answer to the change: "200", "401", "403", "0x8000", "0x8001", ...
    std::string last_ip;  // where the camera was last seen (or the plan's ip when never)
    std::string detail;   // a sentence for people
    double seconds = 0;   // from the start of sending to the outcome
};

// The report: CSV with the header
// line,protocol,mac,device_id,name,ip,new_ip,result,answer,last_ip,seconds,detail
// or JSON {"rows":[...], "summary":{"rows","verified","not_verified","seconds"}}.
void write_plan_report_csv(std::ostream& out, const std::vector<PlanResult>& results);
void write_plan_report_json(std::ostream& out, const std::vector<PlanResult>& results, double seconds);
// Aligned columns for the terminal, and a count line.
void write_plan_report_table(std::ostream& out, const std::vector<PlanResult>& results, double seconds);

struct PlanCommand {
    std::string plan_path;  // "-" for standard input
    Protocol protocol = Protocol::All;  // template only
    int search_wait_ms = 2500;
    int probes = 3;
    // apply
    int parallel = 10;
    std::string report_path;
    std::string report_format;  // "csv", "json" or empty: by the report's extension
    std::string user;           // for rows without one
    std::optional<std::string> password;  // for rows without one (KEPLIN_PASSWORD)
    int wait_ms = 5000;          // answer to one text-protocol command
    int restart_wait_ms = 45000; // a camera's restart after a change
    int verify_timeout_ms = 60000;  // searching for it after its restart
};

int run_plan_template(const PlanCommand& command, std::ostream& out, std::ostream& err);
int run_plan_check(const PlanCommand& command, std::ostream& out, std::ostream& err);
int run_plan_apply(const PlanCommand& command, std::ostream& out, std::ostream& err);

}  // namespace keplin::cli
