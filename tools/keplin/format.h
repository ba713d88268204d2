// What the tool prints: found cameras and adapters as a table, JSON or CSV,
// and the outcome of a settings change. Every text is UTF-8 (camera texts that
// are not are read as GBK).
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/discovery.h"
#include "tools/keplin/devices.h"

namespace keplin::cli {

using Json = nlohmann::ordered_json;

// What every password a camera reports (the text protocol's DDNS password)
// shows unless secrets are asked for. An empty password stays empty.
inline constexpr const char* kMaskedSecret = "***";

// {"kind":"M", the 23 DeviceRecord fields by their code names} or
// {"kind":"L","ip","mask","gateway","dns","http_port","device_name",
//  "software_version","web_version","dhcp"}. `show_secrets` false masks the
// passwords (the broadcast record's viewing password is never printed).
Json device_json(const FoundDevice& device, bool show_secrets = false);

// The writers print as they go; the functions returning text below give the
// same bytes for a list in memory.
void write_devices_json(std::ostream& out, const DeviceSource& source, bool show_secrets = false);
void write_devices_csv(std::ostream& out, const DeviceSource& source, bool show_secrets = false);
// The table reads the list twice, once to measure its columns and once to
// print them, so it keeps no rows. It has no password column.
void write_devices_table(std::ostream& out, const DeviceSource& source, bool show_secrets = false);

// {"devices":[...]} followed by a newline.
std::string devices_json(const std::vector<FoundDevice>& devices, bool show_secrets = false);
// A header line "kind,<the 23 field names>" and one line per camera (RFC 4180
// quoting, CRLF-free line ends "\n"). A broadcast camera fills the columns it
// has; its one DNS server goes under "fdns".
std::string devices_csv(const std::vector<FoundDevice>& devices, bool show_secrets = false);
// Aligned columns for people, and a count line.
std::string devices_table(const std::vector<FoundDevice>& devices, bool show_secrets = false);

Json adapters_json_value(const std::vector<AdapterInfo>& adapters);
std::string adapters_json(const std::vector<AdapterInfo>& adapters);
std::string adapters_table(const std::vector<AdapterInfo>& adapters);

// One CSV cell (RFC 4180 quoting). A text that begins like a spreadsheet
// formula ("=", "+", "-", "@") gets a leading apostrophe so that it stays text.
std::string csv_cell(const std::string& raw);

// One line naming a camera for messages: kind, IP, MAC or "-", and name.
std::string device_summary(const FoundDevice& device);

// The outcome of `keplin set`.
struct SetStep {
    std::string request;  // "netconf", "httpport" or "set"
    std::string outcome;  // "200", "401", "403", "accepted", "refused", "no answer"
    std::string detail;   // e.g. "result code 0x8001"; may be empty
};

struct SetReport {
    FoundDevice device;
    std::vector<SetStep> steps;
    std::string result;  // "success", "refused" or "no answer"
    std::vector<std::string> notes;
};

std::string set_report_text(const SetReport& report);
std::string set_report_json(const SetReport& report);

}  // namespace keplin::cli
