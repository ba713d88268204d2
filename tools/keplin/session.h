// The tool's three commands on top of CDeviceFinder, used the way the search
// dialog uses it: start with the local addresses, search "M" then "L",
// collect, then send the update of the chosen camera.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/discovery.h"
#include "tools/keplin/devices.h"
#include "tools/keplin/edit.h"

namespace keplin::cli {

// Exit statuses of the tool.
enum ExitStatus : int {
    kExitOk = 0,
    kExitFailure = 1,   // the search or the request could not be made at all
    kExitUsage = 2,     // bad arguments or values refused by validation
    kExitNoMatch = 3,   // no listed camera matches the target
    kExitRefused = 4,   // the camera refused (401, 403, 0x8001, 0x8002)
    kExitNoAnswer = 5,  // no answer in time
    kExitNotVerified = 6,  // the change was accepted, but the camera did not answer where it was sent
};

// The pieces of list_adapter_addresses' text, as the dialog splits it: at each
// ",", at most `count` pieces and at most MAX_LOCAL_ADDRESSES.
std::vector<std::string> split_local_addresses(const std::string& list, int count);

// Status texts of command results, handed from the engine's dispatch thread.
class ResultQueue {
public:
    void Push(const std::string& status);
    void Clear();
    // The next status, or nullopt when none arrives within `timeout`.
    std::optional<std::string> Wait(std::chrono::milliseconds timeout);

    // The engine's result handler; `data` is the queue.
    static int OnResult(DiscoveryContext* context, const char* status, const void* payload, void* data);

private:
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::deque<std::string> m_statuses;
};

// One finder with its collector and result queue. The finder is declared last
// so that it stops (and its threads end) before what its callbacks use goes.
class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Starts the protocols in `protocol` and sends one search for each.
    // Returns false when no search request could be sent; `warnings` gets a
    // line for every protocol that could not search.
    bool Search(Protocol protocol, std::vector<std::string>& warnings);
    // Search() followed by `probes - 1` more requests on the same sockets,
    // spaced evenly across `wait` (request k at k * wait / probes), then waits
    // out the rest of `wait`. Late answers to an earlier request are still
    // read; the collector merges the answers. Returns false at once, without
    // waiting, when the first round sent nothing. `probes` below 1 counts as 1.
    bool SearchRepeated(Protocol protocol, int probes, std::chrono::milliseconds wait,
                        std::vector<std::string>& warnings);
    // Requests sent per protocol so far (for tests and reports).
    int TextRequests() const { return m_textRequests; }
    int BroadcastRequests() const { return m_broadcastRequests; }
    const DeviceCollector& Collector() const { return m_collector; }

    // The first address of every adapter, as handed to the finder.
    const std::vector<std::string>& LocalAddresses() const { return m_localAddresses; }

    CDeviceFinder& Finder() { return m_finder; }
    ResultQueue& Results() { return m_results; }

private:
    // The finder hands one data pointer (the session) to both handlers.
    static int OnDevice(DiscoveryContext* context, const char* status, const DeviceRecord* record, void* data);
    static int OnResult(DiscoveryContext* context, const char* status, const void* payload, void* data);

    std::vector<std::string> m_localAddresses;
    bool m_textSearching = false;
    bool m_broadcastSearching = false;
    int m_textRequests = 0;
    int m_broadcastRequests = 0;
    DeviceCollector m_collector;
    ResultQueue m_results;
    CDeviceFinder m_finder;
};

struct SearchCommand {
    Protocol protocol = Protocol::All;
    int wait_ms = 2500;
    int probes = 1;  // search requests spread across the wait
    std::string format = "table";  // table, json, csv
    bool show_secrets = false;     // passwords the cameras report, unmasked
    bool check = false;            // warn about unreachable and shared addresses
};

struct SetCommand {
    std::string target;
    SetOptions options;
    Protocol protocol = Protocol::All;
    int search_wait_ms = 2500;
    int wait_ms = 5000;
    std::string format = "text";  // text, json
    bool force = false;           // give an address another listed camera holds
    bool verify = false;          // search again after the restart
    int restart_wait_ms = 45000;
    int verify_timeout_ms = 30000;
};

// Each prints its result to `out`, messages to `err`, and returns the exit status.
int run_adapters(const std::string& format, std::ostream& out, std::ostream& err);
int run_search(const SearchCommand& command, std::ostream& out, std::ostream& err);
int run_set(const SetCommand& command, std::ostream& out, std::ostream& err);

}  // namespace keplin::cli
