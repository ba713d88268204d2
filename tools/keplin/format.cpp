#include "tools/keplin/format.h"

#include <algorithm>
#include <sstream>

#include "tools/keplin/text.h"

namespace keplin::cli {

namespace {

// The DeviceRecord fields in record order, as (name, text or number).
struct FieldValue {
    const char* name;
    std::string text;
    bool number;
    long long value;
};

FieldValue text_field(const char* name, std::string text) {
    return {name, to_utf8(text), false, 0};
}

FieldValue number_field(const char* name, long long value) {
    return {name, std::to_string(value), true, value};
}

// What a password a camera reports looks like in output unless secrets are
// shown: "***" in place of any text, nothing in place of nothing.
std::string secret(const std::string& text, bool show) {
    return show || text.empty() ? text : kMaskedSecret;
}

std::vector<FieldValue> record_fields(const DeviceRecord& r, bool show_secrets) {
    return {
        text_field("device_id", field_text(r.device_id)),
        text_field("device_model", field_text(r.device_model)),
        text_field("software_version", field_text(r.software_version)),
        text_field("web_version", field_text(r.web_version)),
        text_field("device_name", field_text(r.device_name)),
        text_field("http_port", field_text(r.http_port)),
        text_field("ip", field_text(r.ip)),
        text_field("mask", field_text(r.mask)),
        text_field("mac", field_text(r.mac)),
        text_field("gateway", field_text(r.gateway)),
        number_field("dhcp", r.dhcp),
        number_field("dns_state", r.dns_state),
        text_field("fdns", field_text(r.fdns)),
        text_field("sdns", field_text(r.sdns)),
        number_field("ddns_enable", r.ddns_enable),
        text_field("ddns_host", field_text(r.ddns_host)),
        number_field("ddns_port", r.ddns_port),
        text_field("ddns_user", field_text(r.ddns_user)),
        text_field("ddns_passwd", secret(field_text(r.ddns_passwd), show_secrets)),
        text_field("ddns_domain", field_text(r.ddns_domain)),
        text_field("c_vendor", field_text(r.c_vendor)),
        text_field("c_product", field_text(r.c_product)),
        text_field("device_type", field_text(r.device_type)),
    };
}

std::vector<FieldValue> broadcast_fields(const BroadcastRecord& r) {
    return {
        text_field("ip", field_text(r.ip)),
        text_field("mask", field_text(r.mask)),
        text_field("gateway", field_text(r.gateway)),
        text_field("dns", field_text(r.dns)),
        text_field("mac", rules::BroadcastCameraId(r)),
        number_field("http_port", broadcast_http_port(r)),
        text_field("device_name", field_text(r.device_name)),
        text_field("software_version", field_text(r.software_version)),
        text_field("web_version", field_text(r.web_version)),
        number_field("dhcp", r.address_mode),
    };
}

// One line of left-aligned columns padded by display width, two blanks apart.
std::string aligned_line(const std::vector<std::string>& row, const std::vector<size_t>& widths) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
        line += row[i];
        if (i + 1 < row.size()) line.append(widths[i] - display_width(row[i]) + 2, ' ');
    }
    return line + "\n";
}

void widen(std::vector<size_t>& widths, const std::vector<std::string>& row) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], display_width(row[i]));
}

std::string aligned(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) widen(widths, row);
    std::string out;
    for (const auto& row : rows) out += aligned_line(row, widths);
    return out;
}

std::string or_dash(const std::string& text) {
    return text.empty() ? "-" : text;
}

}  // namespace

std::string csv_cell(const std::string& raw) {
    // A spreadsheet runs a cell that begins like a formula; a camera's name is
    // not ours to run. The apostrophe keeps it text.
    const std::string text = !raw.empty() && std::string("=+-@").find(raw[0]) != std::string::npos ? "'" + raw : raw;
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

Json device_json(const FoundDevice& device, bool show_secrets) {
    Json j;
    j["kind"] = std::string(1, device.kind);
    for (const FieldValue& f :
         device.kind == 'M' ? record_fields(device.text, show_secrets) : broadcast_fields(device.broadcast)) {
        if (f.number) j[f.name] = f.value;
        else j[f.name] = f.text;
    }
    return j;
}

namespace {

template <typename Writer>
std::string Written(const std::vector<FoundDevice>& devices, Writer writer, bool show_secrets) {
    std::ostringstream out;
    writer(out, source_of(devices), show_secrets);
    return out.str();
}

// The CSV cells of one camera, in the header's columns.
std::vector<std::string> csv_cells(const FoundDevice& d, const std::vector<FieldValue>& header, bool show_secrets) {
    std::vector<std::string> cells(header.size());
    if (d.kind == 'M') {
        std::vector<FieldValue> fields = record_fields(d.text, show_secrets);
        for (size_t i = 0; i < fields.size(); ++i) cells[i] = fields[i].text;
    } else {
        for (const FieldValue& f : broadcast_fields(d.broadcast)) {
            std::string name = f.name == std::string("dns") ? "fdns" : f.name;
            for (size_t i = 0; i < header.size(); ++i)
                if (name == header[i].name) cells[i] = f.text;
        }
    }
    return cells;
}

std::vector<std::string> table_row(std::size_t number, const FoundDevice& d) {
    std::vector<std::string> row = {std::to_string(number), std::string(1, d.kind)};
    if (d.kind == 'M') {
        const DeviceRecord& r = d.text;
        row.push_back(field_text(r.device_name));
        row.push_back(field_text(r.ip));
        row.push_back(field_text(r.mac));
        row.push_back(field_text(r.http_port));
        row.push_back(r.dhcp > 0 ? "on" : "off");
        row.push_back(field_text(r.device_id));
    } else {
        const BroadcastRecord& r = d.broadcast;
        row.push_back(field_text(r.device_name));
        row.push_back(field_text(r.ip));
        row.push_back(rules::BroadcastCameraId(r));
        row.push_back(std::to_string(broadcast_http_port(r)));
        row.push_back(r.address_mode != 0 ? "on" : "off");
        row.push_back("");
    }
    for (size_t c = 2; c < row.size(); ++c) row[c] = or_dash(printable(to_utf8(row[c])));
    return row;
}

}  // namespace

void write_devices_json(std::ostream& out, const DeviceSource& source, bool show_secrets) {
    // The layout of a whole document dumped with an indent of 2, written one
    // camera at a time.
    out << "{\n  \"devices\": [";
    FoundDevice device;
    std::size_t index = 0;
    for (; source(index, &device); ++index) {
        std::string item = device_json(device, show_secrets).dump(2);
        std::string indented = "    ";
        for (char c : item) {
            indented += c;
            if (c == '\n') indented += "    ";
        }
        out << (index ? ",\n" : "\n") << indented;
    }
    out << (index ? "\n  ]\n}\n" : "]\n}\n");
}

void write_devices_csv(std::ostream& out, const DeviceSource& source, bool show_secrets) {
    const std::vector<FieldValue> header = record_fields(DeviceRecord{}, false);
    out << "kind";
    for (const FieldValue& f : header) out << ',' << f.name;
    out << '\n';
    FoundDevice device;
    for (std::size_t index = 0; source(index, &device); ++index) {
        out << device.kind;
        for (const std::string& c : csv_cells(device, header, show_secrets)) out << ',' << csv_cell(c);
        out << '\n';
    }
}

void write_devices_table(std::ostream& out, const DeviceSource& source, bool) {
    const std::vector<std::string> header = {"No.", "Kind", "Name", "IP", "MAC", "Port", "DHCP", "Device ID"};
    std::vector<size_t> widths;
    widen(widths, header);
    FoundDevice device;
    std::size_t count = 0;
    for (; source(count, &device); ++count) widen(widths, table_row(count + 1, device));
    out << aligned_line(header, widths);
    for (std::size_t index = 0; index < count && source(index, &device); ++index)
        out << aligned_line(table_row(index + 1, device), widths);
    out << count << (count == 1 ? " device\n" : " devices\n");
}

std::string devices_json(const std::vector<FoundDevice>& devices, bool show_secrets) {
    return Written(devices, write_devices_json, show_secrets);
}

std::string devices_csv(const std::vector<FoundDevice>& devices, bool show_secrets) {
    return Written(devices, write_devices_csv, show_secrets);
}

std::string devices_table(const std::vector<FoundDevice>& devices, bool show_secrets) {
    return Written(devices, write_devices_table, show_secrets);
}

Json adapters_json_value(const std::vector<AdapterInfo>& adapters) {
    Json list = Json::array();
    for (const AdapterInfo& a : adapters) {
        Json j;
        j["name"] = to_utf8(a.name);
        j["description"] = to_utf8(a.description);
        j["index"] = a.index;
        Json addresses = Json::array();
        for (const AdapterAddress& address : a.addresses)
            addresses.push_back(Json{{"address", address.address}, {"mask", address.mask}});
        j["addresses"] = addresses;
        Json gateways = Json::array();
        for (const std::string& g : a.gateways) gateways.push_back(to_utf8(g));
        j["gateways"] = gateways;
        Json dns = Json::array();
        for (const std::string& s : a.dns_servers) dns.push_back(to_utf8(s));
        j["dns_servers"] = dns;
        list.push_back(j);
    }
    return list;
}

std::string adapters_json(const std::vector<AdapterInfo>& adapters) {
    Json j;
    j["adapters"] = adapters_json_value(adapters);
    return j.dump(2) + "\n";
}

std::string adapters_table(const std::vector<AdapterInfo>& adapters) {
    if (adapters.empty()) return "no network adapter\n";
    std::string out;
    for (const AdapterInfo& a : adapters) {
        if (!out.empty()) out += "\n";
        std::string name = printable(to_utf8(a.name));
        std::string description = printable(to_utf8(a.description));
        out += name;
        if (!description.empty() && description != name) out += " (" + description + ")";
        out += "\n";
        std::vector<std::vector<std::string>> rows;
        if (a.addresses.empty()) rows.push_back({"  address", "-"});
        for (const AdapterAddress& address : a.addresses)
            rows.push_back({"  address", printable(address.address) + " mask " + printable(address.mask)});
        rows.push_back({"  gateway", a.gateways.empty() ? "-" : ""});
        for (size_t i = 0; i < a.gateways.size(); ++i) {
            if (i == 0) rows.back()[1] = printable(a.gateways[i]);
            else rows.push_back({"", printable(a.gateways[i])});
        }
        rows.push_back({"  dns", a.dns_servers.empty() ? "-" : ""});
        for (size_t i = 0; i < a.dns_servers.size(); ++i) {
            if (i == 0) rows.back()[1] = printable(a.dns_servers[i]);
            else rows.push_back({"", printable(a.dns_servers[i])});
        }
        out += aligned(rows);
    }
    return out;
}

std::string device_summary(const FoundDevice& device) {
    std::string name = printable(to_utf8(device.kind == 'M' ? field_text(device.text.device_name)
                                                            : field_text(device.broadcast.device_name)));
    std::string mac = device.kind == 'M' ? printable(to_utf8(field_text(device.text.mac)))
                                         : rules::BroadcastCameraId(device.broadcast);
    std::string out = std::string(1, device.kind) + " " + or_dash(printable(device.Address())) + " " + or_dash(mac);
    if (!name.empty()) out += " \"" + name + "\"";
    return out;
}

std::string set_report_text(const SetReport& report) {
    std::string out = "camera: " + device_summary(report.device) + "\n";
    for (const SetStep& step : report.steps) {
        out += step.request + ": " + step.outcome;
        if (!step.detail.empty()) out += " (" + step.detail + ")";
        out += "\n";
    }
    for (const std::string& note : report.notes) out += note + "\n";
    return out;
}

std::string set_report_json(const SetReport& report) {
    Json j;
    j["device"] = device_json(report.device);
    Json steps = Json::array();
    for (const SetStep& step : report.steps) {
        Json s;
        s["request"] = step.request;
        s["outcome"] = step.outcome;
        if (!step.detail.empty()) s["detail"] = step.detail;
        steps.push_back(s);
    }
    j["steps"] = steps;
    j["result"] = report.result;
    j["notes"] = report.notes;
    return j.dump(2) + "\n";
}

}  // namespace keplin::cli
