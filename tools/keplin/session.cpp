#include "tools/keplin/session.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <thread>

#include "tools/keplin/format.h"
#include "tools/keplin/text.h"

namespace keplin::cli {

namespace {

void print_warnings(const std::vector<std::string>& warnings, std::ostream& err) {
    for (const std::string& w : warnings) err << "keplin: " << w << "\n";
}

// Every IPv4 address of this PC: the finder's list and all adapter addresses
// (an adapter's second address is this PC's too).
std::vector<std::string> addresses_of_this_pc(const std::vector<std::string>& first_addresses) {
    std::vector<std::string> all = first_addresses;
    for (const AdapterInfo& adapter : adapter_table())
        for (const AdapterAddress& a : adapter.addresses) all.push_back(a.address);
    return all;
}

std::string status_detail(const std::string& status) {
    if (status == "200") return "accepted";
    if (status == "401") return "wrong account or password";
    if (status == "403") return "refused by the camera";
    return {};
}

// Waits for the result of the command just sent and records it as a step.
// Returns the status, or empty when none came.
std::string await_result(Session& session, const char* request, int wait_ms, SetReport& report) {
    std::optional<std::string> status = session.Results().Wait(std::chrono::milliseconds(wait_ms));
    if (!status) {
        report.steps.push_back({request, "no answer", "nothing within " + std::to_string(wait_ms) + " ms"});
        return {};
    }
    report.steps.push_back({request, *status, status_detail(*status)});
    return *status;
}

int finish(const SetReport& report, const std::string& format, std::ostream& out, int status) {
    out << (format == "json" ? set_report_json(report) : set_report_text(report));
    return status;
}

// Waits for the answer to the command just sent: kExitOk on "200", otherwise
// the report is finished with the outcome and its exit status returned.
int await_accepted(Session& session, const char* request, const SetCommand& command, SetReport& report,
                   std::ostream& out) {
    const std::string status = await_result(session, request, command.wait_ms, report);
    if (status.empty()) {
        report.result = "no answer";
        return finish(report, command.format, out, kExitNoAnswer);
    }
    if (status != "200") {
        report.result = "refused";
        return finish(report, command.format, out, kExitRefused);
    }
    return kExitOk;
}

int set_text_camera(Session& session, const SetCommand& command, const TextUpdate& plan, SetReport& report,
                    std::ostream& out, std::ostream& err) {
    const std::string device_id = field_text(plan.record.device_id);
    if (device_id.size() != 32) {
        err << "keplin: the camera's device id \"" << printable(to_utf8(device_id))
            << "\" is not 32 characters long; the text protocol cannot address it\n";
        return kExitFailure;
    }
    const CommandAuth auth{device_id.c_str(), command.options.user.c_str(), command.options.password.c_str()};
    session.Results().Clear();
    int rc = session.Finder().SetNetwork(auth, plan.record);
    if (rc != DISC_OK) {
        err << "keplin: the netconf command could not be sent (engine code " << rc << ")\n";
        return kExitFailure;
    }
    if (const int exit = await_accepted(session, "netconf", command, report, out); exit != kExitOk) {
        return exit;
    }
    if (plan.send_port) {
        rc = session.Finder().SetHttpPort(auth, plan.port.c_str());
        if (rc != DISC_OK) {
            report.result = "error";
            finish(report, command.format, out, kExitFailure);
            err << "keplin: the httpport command could not be sent (engine code " << rc << ")\n";
            return kExitFailure;
        }
        if (const int exit = await_accepted(session, "httpport", command, report, out); exit != kExitOk) {
            return exit;
        }
        report.notes.push_back("the camera restarts with its new settings; search again in about 45 seconds");
    }
    report.result = "success";
    return finish(report, command.format, out, kExitOk);
}

// `accept` is given when other listed cameras share the camera's address.
int set_broadcast_camera(Session& session, const SetCommand& command, const BroadcastUpdate& plan,
                         BroadcastResultFilter accept, SetReport& report, std::ostream& out) {
    report.notes = plan.notes;
    switch (session.Finder().SetBroadcastDevice(plan.record, accept)) {
        case 1:
            report.steps.push_back({"set", "accepted", ""});
            report.notes.push_back("the camera restarts with its new settings; search again in about 45 seconds");
            report.result = "success";
            return finish(report, command.format, out, kExitOk);
        case -1:
            report.steps.push_back({"set", "refused", "result code 0x8001"});
            report.result = "refused";
            return finish(report, command.format, out, kExitRefused);
        case -2:
            report.steps.push_back({"set", "refused", "result code 0x8002"});
            report.result = "refused";
            return finish(report, command.format, out, kExitRefused);
        default:
            report.steps.push_back({"set", "no answer", "no result within the protocol's time-out"});
            report.result = "no answer";
            return finish(report, command.format, out, kExitNoAnswer);
    }
}

}  // namespace

std::vector<std::string> split_local_addresses(const std::string& list, int count) {
    std::vector<std::string> pieces;
    if (list.empty() || count <= 0) return pieces;
    split_text(list, pieces, ',');
    size_t keep = std::min({pieces.size(), static_cast<size_t>(count), static_cast<size_t>(MAX_LOCAL_ADDRESSES)});
    pieces.resize(keep);
    return pieces;
}

void ResultQueue::Push(const std::string& status) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_statuses.push_back(status);
    }
    m_arrived.notify_all();
}

void ResultQueue::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_statuses.clear();
}

std::optional<std::string> ResultQueue::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_arrived.wait_for(lock, timeout, [this] { return !m_statuses.empty(); })) return std::nullopt;
    std::string status = m_statuses.front();
    m_statuses.pop_front();
    return status;
}

int ResultQueue::OnResult(DiscoveryContext*, const char* status, const void*, void* data) {
    if (status != nullptr && data != nullptr) static_cast<ResultQueue*>(data)->Push(status);
    return 0;
}

Session::Session() = default;

Session::~Session() {
    m_finder.Stop();
}

bool Session::Search(Protocol protocol, std::vector<std::string>& warnings) {
    int count = 0;
    std::string list = list_adapter_addresses(&count);
    m_localAddresses = split_local_addresses(list, count);
    char entries[MAX_LOCAL_ADDRESSES][LOCAL_ADDRESS_ENTRY] = {};
    for (size_t i = 0; i < m_localAddresses.size(); ++i)
        copy_text_field(entries[i], LOCAL_ADDRESS_ENTRY, m_localAddresses[i].c_str());
    const int entry_count = static_cast<int>(m_localAddresses.size());

    bool sent = false;
    if (includes(protocol, 'M')) {
        if (m_finder.Start(&Session::OnDevice, &Session::OnResult, this, entries, entry_count) != 0) {
            warnings.push_back("the text protocol could not be started (ports 8002 and 12109 unavailable)");
        } else if (entry_count == 0) {
            warnings.push_back("no local IPv4 address: the text protocol cannot search");
        } else {
            m_textSearching = true;
            m_finder.Search('M');
            // The facade's Search answers 0 whatever happened; ask the engine.
            if (discovery_search_sent(m_finder.Context()) > 0) {
                sent = true;
                ++m_textRequests;
            } else {
                warnings.push_back("the text protocol's search request could not be sent through any adapter");
            }
        }
    }
    if (includes(protocol, 'L')) {
        m_broadcastSearching = true;
        m_finder.SetBroadcastCallback(&DeviceCollector::OnBroadcastFound, &m_collector);
        // The probe itself, for its answer: the facade's Search('L') always returns 0.
        if (m_finder.Probe().Search() == 1) {
            sent = true;
            ++m_broadcastRequests;
        } else {
            warnings.push_back("the broadcast search request could not be sent");
        }
    }
    return sent;
}

bool Session::SearchRepeated(Protocol protocol, int probes, std::chrono::milliseconds wait,
                             std::vector<std::string>& warnings) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    if (!Search(protocol, warnings)) return false;
    probes = std::max(probes, 1);
    int text_failures = 0, broadcast_failures = 0;
    for (int k = 1; k < probes; ++k) {
        std::this_thread::sleep_until(start + wait * k / probes);
        // The text protocol's sockets stay open between searches; the probe
        // sends from the socket its thread reads.
        if (m_textSearching) {
            m_finder.Search('M');
            if (discovery_search_sent(m_finder.Context()) > 0) ++m_textRequests;
            else ++text_failures;
        }
        if (m_broadcastSearching) {
            if (m_finder.Probe().SearchAgain() == 1) ++m_broadcastRequests;
            else ++broadcast_failures;
        }
    }
    if (text_failures > 0)
        warnings.push_back(std::to_string(text_failures) + " of the text protocol's repeated search requests could not be sent");
    if (broadcast_failures > 0)
        warnings.push_back(std::to_string(broadcast_failures) + " of the repeated broadcast search requests could not be sent");
    std::this_thread::sleep_until(start + wait);
    return true;
}

int Session::OnDevice(DiscoveryContext* context, const char* status, const DeviceRecord* record, void* data) {
    return DeviceCollector::OnDeviceFound(context, status, record, &static_cast<Session*>(data)->m_collector);
}

int Session::OnResult(DiscoveryContext* context, const char* status, const void* payload, void* data) {
    return ResultQueue::OnResult(context, status, payload, &static_cast<Session*>(data)->m_results);
}

int run_adapters(const std::string& format, std::ostream& out, std::ostream&) {
    load_adapter_table();
    out << (format == "json" ? adapters_json(adapter_table()) : adapters_table(adapter_table()));
    release_adapter_table();
    return kExitOk;
}

int run_search(const SearchCommand& command, std::ostream& out, std::ostream& err) {
    Session session;
    std::vector<std::string> warnings;
    bool sent = session.SearchRepeated(command.protocol, command.probes, std::chrono::milliseconds(command.wait_ms),
                                       warnings);
    print_warnings(warnings, err);
    if (!sent) {
        err << "keplin: no search request could be sent\n";
        return kExitFailure;
    }
    session.Finder().Stop();
    const DeviceCollector& found = session.Collector();
    if (found.Overflowed()) {
        err << "keplin: more than " << found.Capacity() << " answers; the first " << found.Capacity()
            << " are listed\n";
    }
    const DeviceSource source = source_of(found);
    if (command.format == "json") write_devices_json(out, source, command.show_secrets);
    else if (command.format == "csv") write_devices_csv(out, source, command.show_secrets);
    else write_devices_table(out, source, command.show_secrets);
    return kExitOk;
}

int run_set(const SetCommand& command, std::ostream& out, std::ostream& err) {
    std::string problem = check_set_options(command.options);
    if (!problem.empty()) {
        err << "keplin: " << problem << "\n";
        return kExitUsage;
    }
    load_adapter_table();
    Session session;
    std::vector<std::string> warnings;
    bool sent = session.Search(command.protocol, warnings);
    print_warnings(warnings, err);
    if (!sent) {
        release_adapter_table();
        err << "keplin: no search request could be sent\n";
        return kExitFailure;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(command.search_wait_ms));
    const DeviceCollector& devices = session.Collector();
    std::vector<std::string> this_pc = addresses_of_this_pc(session.LocalAddresses());
    release_adapter_table();

    // The engine still adds late answers: the list is read entry by entry,
    // and only the entries a match named are copied.
    std::vector<size_t> matches = match_target(source_of(devices), command.target, command.protocol);
    if (matches.empty()) {
        const int listed = devices.Count();
        err << "keplin: no listed camera matches " << command.target << " (" << listed
            << (listed == 1 ? " camera" : " cameras") << " listed)\n";
        return kExitNoMatch;
    }
    FoundDevice match;
    if (matches.size() > 1) {
        err << "keplin: " << command.target << " matches " << matches.size() << " cameras:\n";
        for (size_t i : matches)
            if (devices.Get(static_cast<int>(i), &match)) err << "  " << device_summary(match) << "\n";
        err << "keplin: name one by its MAC or device id, or choose a kind with --protocol\n";
        return kExitUsage;
    }

    SetReport report;
    devices.Get(static_cast<int>(matches.front()), &report.device);
    if (report.device.kind == 'M') {
        TextUpdate plan = plan_text_update(report.device.text, command.options, this_pc);
        if (!plan.error.empty()) {
            err << "keplin: " << plan.error << "\n";
            return kExitUsage;
        }
        return set_text_camera(session, command, plan, report, out, err);
    }
    BroadcastUpdate plan = plan_broadcast_update(report.device.broadcast, command.options, this_pc);
    if (!plan.error.empty()) {
        err << "keplin: " << plan.error << "\n";
        return kExitUsage;
    }
    const BroadcastResultFilter accept =
        devices.SharesAddress(matches.front()) ? &rules::ResultFromCamera : nullptr;
    return set_broadcast_camera(session, command, plan, accept, report, out);
}

}  // namespace keplin::cli
