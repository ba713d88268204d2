#include "tools/keplin/session.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <thread>

#include "tools/keplin/checks.h"
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
        if (!command.verify)
            report.notes.push_back("the camera restarts with its new settings; search again in about 45 seconds");
    }
    report.result = "success";
    return kExitOk;  // the caller prints the report, after verifying the change when asked to
}

// `accept` is given when other listed cameras share the camera's address.
int set_broadcast_camera(Session& session, const SetCommand& command, const BroadcastUpdate& plan,
                         BroadcastResultFilter accept, SetReport& report, std::ostream& out) {
    report.notes = plan.notes;
    switch (session.Finder().SetBroadcastDevice(plan.record, accept)) {
        case 1:
            report.steps.push_back({"set", "accepted", ""});
            if (!command.verify)
                report.notes.push_back("the camera restarts with its new settings; search again in about 45 seconds");
            report.result = "success";
            return kExitOk;  // the caller prints the report
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

// The address checks before a change: kExitOk to go ahead (warnings
// printed), kExitUsage when the address is this PC's, or another listed
// camera's without --force.
int check_address_change(const DeviceCollector& devices, size_t target, const FoundDevice& camera,
                         const SetCommand& command, const std::vector<PcAddress>& pc, std::ostream& err) {
    const std::optional<std::string>& new_ip = command.options.ip;
    // Only a different address is a new one: a camera that keeps the address
    // it shares with others is not checked again.
    if (!new_ip || parse_ipv4(*new_ip) == parse_ipv4(camera.Address())) return kExitOk;
    const NewAddressCheck check = check_new_address(source_of(devices), target, *new_ip, pc);
    if (!check.pc_conflict.empty()) {
        err << "keplin: " << check.pc_conflict << "\n";
        return kExitUsage;
    }
    for (const std::string& other : check.camera_conflicts)
        err << "keplin: " << (command.force ? "warning: " : "") << *new_ip << " is held by another listed camera: "
            << other << "\n";
    if (!check.camera_conflicts.empty()) {
        if (!command.force) {
            err << "keplin: choose a free address, or add --force to give this one anyway\n";
            return kExitUsage;
        }
        err << "keplin: warning: giving it anyway (--force)\n";
    }
    if (!check.unreachable.empty()) err << "keplin: warning: " << check.unreachable << "\n";
    return kExitOk;
}

ExpectedCamera expected_after(const FoundDevice& before, const TextUpdate& plan) {
    ExpectedCamera expected{before, std::nullopt, "", announced_port(before)};
    if (plan.record.dhcp == 0) {
        expected.address_text = field_text(plan.record.ip);
        expected.address = parse_ipv4(expected.address_text);
    }
    if (plan.send_port) expected.http_port = static_cast<uint16_t>(std::stoul(plan.port));
    return expected;
}

ExpectedCamera expected_after(const FoundDevice& before, const BroadcastUpdate& plan) {
    ExpectedCamera expected{before, std::nullopt, "", broadcast_http_port(plan.record)};
    if (plan.record.address_mode == 0) {
        expected.address_text = field_text(plan.record.ip);
        expected.address = parse_ipv4(expected.address_text);
    }
    return expected;
}

// Waits out the camera's restart, then searches by its protocol, round after
// round with fresh sockets and a fresh list (so that its new answer is not
// taken for the old one), until it answers as expected or the time is up.
// Adds the "verify" step; kExitOk or kExitNotVerified.
int verify_change(const SetCommand& command, const ExpectedCamera& expected, SetReport& report, std::ostream& err) {
    using Clock = std::chrono::steady_clock;
    const std::string target = (expected.address ? expected.address_text : std::string("its DHCP address")) +
                               " port " + std::to_string(expected.http_port);
    err << "keplin: waiting " << command.restart_wait_ms << " ms for the camera to restart, then searching for it at "
        << target << " for up to " << command.verify_timeout_ms << " ms\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(command.restart_wait_ms));

    const Protocol protocol = expected.before.kind == 'M' ? Protocol::Text : Protocol::Broadcast;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(command.verify_timeout_ms);
    const auto round = std::chrono::milliseconds(std::max(command.search_wait_ms, 100));
    VerifyLook seen;
    while (!seen.as_expected && Clock::now() < deadline) {
        const Clock::time_point round_end = std::min(deadline, Clock::now() + round);
        Session session;
        std::vector<std::string> warnings;
        const bool sent = session.Search(protocol, warnings);
        print_warnings(warnings, err);
        VerifyLook look;
        while (sent && !look.as_expected && Clock::now() < round_end) {
            std::this_thread::sleep_until(std::min(round_end, Clock::now() + std::chrono::milliseconds(100)));
            look_for(source_of(session.Collector()), expected, look);
        }
        if (!sent) std::this_thread::sleep_until(round_end);
        if (look.answered) seen = look;
    }

    if (seen.as_expected) {
        report.steps.push_back({"verify", "answered", "at " + seen.where});
        return kExitOk;
    }
    report.result = "not verified";
    if (seen.answered) {
        report.steps.push_back({"verify", "elsewhere", "at " + seen.where + ", not at " + target});
        err << "keplin: the camera answers at " << seen.where << ", not at " << target << "\n";
    } else {
        report.steps.push_back({"verify", "no answer",
                                "not found within " + std::to_string(command.verify_timeout_ms) + " ms"});
        err << "keplin: the camera did not answer at " << target << " within " << command.verify_timeout_ms
            << " ms after its restart\n";
    }
    return kExitNotVerified;
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
    if (command.check) {
        load_adapter_table();
        const std::vector<PcAddress> pc = pc_addresses(adapter_table());
        release_adapter_table();
        for (const std::string& warning : address_warnings(source, pc)) err << "keplin: warning: " << warning << "\n";
    }
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
    const std::vector<PcAddress> pc = pc_addresses(adapter_table());
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
    const size_t target = matches.front();
    devices.Get(static_cast<int>(target), &report.device);
    ExpectedCamera expected;
    int status;
    if (report.device.kind == 'M') {
        TextUpdate plan = plan_text_update(report.device.text, command.options, this_pc);
        if (!plan.error.empty()) {
            err << "keplin: " << plan.error << "\n";
            return kExitUsage;
        }
        if (const int refused = check_address_change(devices, target, report.device, command, pc, err)) return refused;
        expected = expected_after(report.device, plan);
        status = set_text_camera(session, command, plan, report, out, err);
    } else {
        BroadcastUpdate plan = plan_broadcast_update(report.device.broadcast, command.options, this_pc);
        if (!plan.error.empty()) {
            err << "keplin: " << plan.error << "\n";
            return kExitUsage;
        }
        if (const int refused = check_address_change(devices, target, report.device, command, pc, err)) return refused;
        expected = expected_after(report.device, plan);
        const BroadcastResultFilter accept = devices.SharesAddress(target) ? &rules::ResultFromCamera : nullptr;
        status = set_broadcast_camera(session, command, plan, accept, report, out);
    }
    if (status != kExitOk) return status;  // reported already
    if (command.verify) {
        // Its sockets would otherwise keep reading what the next searches ask for.
        session.Finder().Stop();
        status = verify_change(command, expected, report, err);
    }
    return finish(report, command.format, out, status);
}

}  // namespace keplin::cli
