// The discovery engine: finds cameras on the local network and changes their
// settings, by two UDP protocols.
//
//  * The text protocol: "SEARCH * HDS/1.0" requests multicast to
//    239.255.255.250 from every local adapter address, replies of key=value
//    lines read into DeviceRecords, and "CMD * HDS/1.0" configuration commands
//    answered by a status line. Driven through a DiscoveryContext.
//  * The broadcast protocol: a four-byte request to 255.255.255.255:8600,
//    answered by fixed-layout 324-byte records (CBroadcastProbe).
//
// CDeviceFinder is the one handle the search dialog uses for both.
//
// Nothing here throws. Engine functions return the DISC_* codes; the small
// classes return -1 or 0 on failure. Diagnostics are the fixed lines printed to
// standard output by the socket helpers; there is no other log.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Result codes of the engine operations.
constexpr int32_t DISC_OK = 0;
constexpr int32_t DISC_E_NOT_READY = 6;    // empty client identifier, or no local address yet
constexpr int32_t DISC_E_NO_MEMORY = 287;  // the context cannot be allocated
constexpr int32_t DISC_E_INVALID = 543;    // a required argument is missing or invalid
constexpr int32_t DISC_E_SOCKET = 1055;    // the receive socket cannot be made
constexpr int32_t DISC_E_THREAD = 2335;    // an engine thread cannot be started

// Fixed values of the text protocol.
constexpr const char* DISCOVERY_GROUP = "239.255.255.250";
constexpr uint16_t DISCOVERY_PORT = 8002;
constexpr uint16_t DISCOVERY_FALLBACK_PORT = 12109;
constexpr int32_t DISCOVERY_SEND_TIMEOUT_S = 4;
constexpr int MAX_LOCAL_ADDRESSES = 20;
constexpr size_t LOCAL_ADDRESS_ENTRY = 16;   // one entry handed to discovery_set_local_addresses
constexpr size_t MESSAGE_BUFFER_SIZE = 1024; // requests and command bodies are built in this much
constexpr size_t RECEIVE_BUFFER_SIZE = 2048; // one received datagram at most
constexpr size_t FIELD_BUFFER_SIZE = 1024;   // the output buffer of extract_field in text mode
constexpr int QUEUE_SLOTS = 512;
constexpr int PENDING_SLOTS = 50;

// ---------------------------------------------------------------------------
// One camera of the text protocol, as read from one search reply. Every text
// field is NUL-terminated; its size includes the NUL. Values longer than a
// field are cut to it.
struct DeviceRecord {
    char device_id[33];        // "Device-ID="  (required)
    char device_model[41];     // "Device-Model="
    char software_version[33]; // "Software-Version="
    char web_version[33];      // "Web-Version="
    char device_name[41];      // "Device-Name="
    char http_port[19];        // "Http-Port=", kept as text
    char ip[16];               // "IP="
    char mask[16];             // "MASK="
    char mac[18];              // "MAC="
    char gateway[16];          // "Gateway="
    int32_t dhcp;              // "Dhcp=", 1 when the camera uses DHCP
    int32_t dns_state;         // "Ddns=", sent back as -dnsstat
    char fdns[16];             // "Fdns="
    char sdns[16];             // "Sdns="
    int32_t ddns_enable;       // "DDNS-Enable="
    char ddns_host[32];        // "DDNS-Host="
    int32_t ddns_port;         // "DDNS-Port="
    char ddns_user[32];        // "DDNS-User="
    char ddns_passwd[32];      // "DDNS-Passwd="
    char ddns_domain[32];      // "DDNS-Domain="
    char c_vendor[32];         // "C_Vendor="
    char c_product[32];        // "C_Product="
    char device_type[32];      // "Device-Type=", sent back as -product
};

// Target and credentials of a configuration command. device_id must be exactly
// 32 characters. The texts are borrowed for the duration of the call.
struct CommandAuth {
    const char* device_id;
    const char* user;
    const char* password;
};

// Command kinds and their bodies (see command.cpp for the formats).
enum CommandKind : int32_t {
    CMD_NETCONF = 1,     // params: const DeviceRecord*
    CMD_HTTPPORT = 2,    // params: const char* (the new port)
    CMD_DDNSSET = 3,     // params: const DeviceRecord*
    CMD_DEVIDSET = 4,    // params: const char* (the new identifier)
    CMD_IDENTIFYSET = 5, // params: const DeviceRecord*
};

struct DiscoveryContext;

// Both handlers are called on the context's dispatch thread, one call at a
// time. They must not call discovery_close on their own context, nor wait for
// the thread that closes it. Return values are ignored.
//
// DeviceHandler: status is always "200"; the record lives only during the call.
using DeviceHandler = int (*)(DiscoveryContext* context, const char* status,
                              const DeviceRecord* record, void* data);
// ResultHandler: status is "200", "401" or "403"; payload is null.
using ResultHandler = int (*)(DiscoveryContext* context, const char* status,
                              const void* payload, void* data);

// ---------------------------------------------------------------------------
// Messages and fields.

// Reads the value that follows `key` (the key includes its delimiter, "=" or
// ":") in the first `length` bytes of `text`; the value ends before the next
// CRLF. Mode 1 copies the text into `out`, which must be a zeroed buffer of
// FIELD_BUFFER_SIZE bytes (the value is cut to FIELD_BUFFER_SIZE - 1 bytes, so
// the text stays terminated). Mode 0 stores the value converted to int32_t in
// `*(int32_t*)out`. Returns 0 when found, -1 otherwise or on missing arguments.
int extract_field(const char* text, int length, const char* key, int mode, void* out);

// Appends `count` random letters to the NUL-terminated text in `buffer`, which
// must have room for them and the NUL.
void make_client_id(char* buffer, int count);

// ---------------------------------------------------------------------------
// Adapters (process-wide state, written and read on the user-interface thread).

struct AdapterAddress {
    std::string address; // dotted IPv4
    std::string mask;
};

struct AdapterInfo {
    std::string name;        // interface name, e.g. "eth0"
    std::string description; // readable description
    unsigned index = 0;      // kernel interface index
    std::vector<AdapterAddress> addresses; // every IPv4 address, first one first
    std::vector<std::string> gateways;     // default gateways through this adapter
    std::vector<std::string> dns_servers;  // IPv4 DNS servers of this adapter
};

// The first IPv4 address of every non-loopback adapter in kernel order
// ("0.0.0.0" for an adapter without one), joined by ","; *count receives the
// number of adapters. Empty text and count 0 when the list cannot be read.
std::string list_adapter_addresses(int* count);

// Replaces the process-wide adapter snapshot with the current adapters.
void load_adapter_table();
// The current snapshot (empty before load_adapter_table or after release).
const std::vector<AdapterInfo>& adapter_table();
// Empties the snapshot.
void release_adapter_table();

// Splits `text` at `delimiter` into `pieces` (emptied first). An empty text
// leaves `pieces` as it was. Adjacent delimiters give an empty piece; a
// delimiter at the end gives no empty last piece. Returns the piece count.
int split_text(const std::string& text, std::vector<std::string>& pieces, char delimiter);

// Replaces the process-wide local address table with the first
// MAX_LOCAL_ADDRESSES of `entries` (each a NUL-terminated text in 16 bytes).
// DISC_E_INVALID for a missing array or a count of 0 (the table stays).
int32_t discovery_set_local_addresses(const char (*entries)[LOCAL_ADDRESS_ENTRY], int count);
// The table as it stands, for the diagnostics of the tools.
std::vector<std::string> discovery_local_addresses();
// Empties the table, as it is before the first discovery_set_local_addresses
// (for tests, which must not depend on what an earlier one left there).
void discovery_clear_local_addresses();

// ---------------------------------------------------------------------------
// Sockets of the text protocol.

// A UDP socket with address reuse, bound to `address` (network byte order) and
// `port`; -1 on failure (after printing the step that failed).
int open_udp_socket(uint32_t address, uint16_t port);
// Joins `group` on the interface the system chooses, or on the adapter with
// `interface_address` (network byte order) when it is not INADDR_ANY.
// Negative on failure.
int join_multicast_group(int socket, const char* group, uint32_t interface_address = 0);
// The receive socket of a context: bound to any address on `port`, joined to
// `group`, multicast loopback off, a receive buffer large enough for a burst of
// replies. -1 on failure.
int open_multicast_socket(const char* group, uint16_t port);
// Sends all `length` bytes to `destination`, waiting at most `timeout_s`
// seconds for the socket to become writable before each send. 0 or -1.
int send_with_timeout(int socket, int timeout_s, const void* data, size_t length,
                      const sockaddr_in* destination);

// ---------------------------------------------------------------------------
// The discovery context. Open, search, command and close are called on one
// thread (the caller's); the handlers run on the context's dispatch thread.

// Opens a context on `group` and `port` and starts its receive and dispatch
// threads. On DISC_OK `*context` receives it; the caller owns it and releases
// it with discovery_close.
int32_t discovery_open(const char* group, uint16_t port, int32_t send_timeout_s,
                       DiscoveryContext** context);
// Closes the sockets, stops and joins both threads, drops the queue and the
// pending commands, and frees the context. Must not be called from a handler.
int32_t discovery_close(DiscoveryContext* context);

// True when called on `context`'s dispatch thread, that is from one of its
// handlers.
bool discovery_on_dispatch_thread(const DiscoveryContext* context);
// Registers the handler of found cameras; only the first registration counts.
int32_t discovery_set_device_handler(DiscoveryContext* context, DeviceHandler handler, void* data);
// Registers the handler of command results; only the first registration counts.
int32_t discovery_set_result_handler(DiscoveryContext* context, ResultHandler handler, void* data);
// Sends one SEARCH from every local address (making the send sockets at the
// first search). DISC_E_NOT_READY while the local address table is empty.
// DISC_OK says nothing about the network: see discovery_search_sent.
int32_t discovery_search(DiscoveryContext* context);
// How many adapters the request of the last discovery_search left through: 0
// before any search, and when no send socket could be made or every send
// failed (e.g. only adapters without an IPv4 address, so no route).
int discovery_search_sent(const DiscoveryContext* context);
// Sends one configuration command to the camera named by auth->device_id. Its
// result reaches the result handler later; a command with no answer gets no
// call. DISC_E_INVALID (nothing sent) for bad arguments and for a command that
// would not fit its MESSAGE_BUFFER_SIZE buffer.
int32_t discovery_command(DiscoveryContext* context, const CommandAuth* auth, int32_t kind,
                          const void* params);

// The context's discovery port and client identifier (for tools and tests).
uint16_t discovery_port(const DiscoveryContext* context);
const char* discovery_client_id(const DiscoveryContext* context);

// ---------------------------------------------------------------------------
// The broadcast protocol.

constexpr uint16_t BROADCAST_PORT = 8600;
constexpr size_t BROADCAST_RECORD_SIZE = 324;
constexpr size_t BROADCAST_REPLY_SIZE = 516;  // part of a reply handed to the callback
constexpr size_t BROADCAST_RESULT_SIZE = 328; // least length of a set result
constexpr uint32_t BROADCAST_ACCEPTED = 0x8000;
constexpr uint32_t BROADCAST_REFUSED = 0x8001;
constexpr uint32_t BROADCAST_REFUSED_OTHER = 0x8002;

// The wire record, little-endian. Bytes this system does not interpret are
// carried unchanged from a camera's reply into a set request built from it.
#pragma pack(push, 1)
struct BroadcastRecord {
    uint8_t magic[2];        // "DH"
    uint8_t type[2];         // 0x01 0x01 search, 0x02 0x01 set
    char ip[16];
    char mask[16];
    char gateway[16];
    uint8_t reserved1[16];
    char dns[16];
    uint8_t reserved2[6];
    uint8_t http_port[2];    // 16-bit little-endian
    uint8_t reserved3[32];
    char device_name[80];
    char software_version[16];
    char web_version[16];
    char user[32];
    char password[33];
    uint8_t address_mode;    // 1 automatic (DHCP), 0 fixed
    uint8_t reserved4[22];
};
#pragma pack(pop)
static_assert(sizeof(BroadcastRecord) == BROADCAST_RECORD_SIZE, "wire layout");

uint16_t broadcast_http_port(const BroadcastRecord& record);
void set_broadcast_http_port(BroadcastRecord& record, uint16_t port);
// Reads a record from the first bytes of a reply area (BROADCAST_REPLY_SIZE).
BroadcastRecord broadcast_record_from_reply(const uint8_t* reply);
// Copies `text` into a fixed text field of `size` bytes, cut so that a
// terminating NUL always fits; the rest of the field is zeroed.
void copy_text_field(char* field, size_t size, const char* text);

// Whether a set result (`size` bytes: a record followed by its code) answers
// `request`. Results it refuses are skipped, as non-final codes are.
using BroadcastResultFilter = bool (*)(const BroadcastRecord& request, const uint8_t* result, size_t size);

// Called on the probe's receive thread with the first BROADCAST_REPLY_SIZE
// bytes of a reply (zero-filled where the datagram was shorter).
using BroadcastCallback = void (*)(const uint8_t* reply, void* data);

class CBroadcastProbe {
public:
    CBroadcastProbe();
    virtual ~CBroadcastProbe();
    CBroadcastProbe(const CBroadcastProbe&) = delete;
    CBroadcastProbe& operator=(const CBroadcastProbe&) = delete;

    // Broadcasts the search request from a new socket and makes sure a receive
    // thread reads it. 1 when the request went out, 0 otherwise (also when no
    // callback is registered, or when called from the callback while the
    // caller stops the probe). Caller's thread, or the callback.
    int Search();
    // Sends the search request again from the socket the receive thread
    // reads, so that late replies to the earlier request are still read, and
    // keeps the thread for at least one more receive time-out. Without a
    // running thread it is Search(). 1 when the request went out, else 0.
    int SearchAgain();
    // Stores the callback and its data; a null callback leaves the stored one.
    void SetCallback(BroadcastCallback callback, void* data);
    // Sends `record` as a set request and waits for the result: 1 accepted,
    // -1 or -2 refused, 0 not sent or no valid result before the time-out.
    // Blocks the caller's thread for at most the receive time-out. With
    // `accept`, only the results it accepts count.
    int SetDevice(const BroadcastRecord& record, BroadcastResultFilter accept = nullptr);
    // Ends the receive thread. When it returns, the callback is not called
    // again. From the callback itself it cannot wait: the thread ends once the
    // callback returns, unless the callback searches again after it.
    void StopReceiving();
    // The receive thread's routine.
    void ReceiveLoop();

    // Where requests go; BROADCAST_PORT on 255.255.255.255 unless changed.
    void SetDestination(const sockaddr_in& destination);
    // Whether a receive thread is running (for tests).
    bool IsReceiving() const;

    // Points in the receive thread's round, for tests that must act between
    // its steps. The seam is called on the receive thread at each of them;
    // no seam (the default) costs one load of a pointer.
    enum class ReceiveStep {
        Received,  // a receive returned; `result` is what recv returned
        Ending,    // the receive timed out with no newer search: about to end
    };
    using ReceiveSeam = void (*)(ReceiveStep step, long result, void* data);
    // Installs (or with null removes) the seam. Set it while no thread runs.
    void SetReceiveSeam(ReceiveSeam seam, void* data);
    // How long the receive thread waits for the next reply before it ends (3 s
    // unless changed; tests shorten it). Takes effect at the next search.
    void SetReceiveTimeout(int milliseconds);

private:
    struct State;
    State* m_state;
};

// ---------------------------------------------------------------------------
// The facade the search dialog drives. All methods on one thread (the
// dialog's); handlers run on the engine's threads.
class CDeviceFinder {
public:
    CDeviceFinder();
    virtual ~CDeviceFinder();
    CDeviceFinder(const CDeviceFinder&) = delete;
    CDeviceFinder& operator=(const CDeviceFinder&) = delete;

    // Opens the text protocol on port 8002 (12109 when 8002 cannot be had),
    // registers the handlers and hands over the local addresses. 0 or -1.
    int Start(DeviceHandler device_handler, ResultHandler result_handler, void* data,
              const char (*addresses)[LOCAL_ADDRESS_ENTRY], int count);
    // Closes the context, then stops the broadcast receive thread. 0; -1,
    // doing nothing, when called from one of the context's handlers (on its
    // dispatch thread closing would wait for the very thread that runs it).
    int Stop();
    // 'M': text-protocol search; 'L': broadcast search; else nothing. Returns 0.
    int Search(char kind);
    // netconf / httpport commands: -1 when no context is open, else the
    // engine's result code.
    int SetNetwork(const CommandAuth& auth, const DeviceRecord& record);
    int SetHttpPort(const CommandAuth& auth, const char* port);
    // -1 when data is missing, else 0.
    int SetBroadcastCallback(BroadcastCallback callback, void* data);
    // 1, 0, -1 or -2 (see CBroadcastProbe::SetDevice).
    int SetBroadcastDevice(const BroadcastRecord& record, BroadcastResultFilter accept = nullptr);

    // The open context, or null (for tools and tests).
    DiscoveryContext* Context() const { return m_context; }
    CBroadcastProbe& Probe() { return m_probe; }

private:
    DiscoveryContext* m_context = nullptr;
    CBroadcastProbe m_probe;
    DeviceHandler m_deviceHandler = nullptr;
    ResultHandler m_resultHandler = nullptr;
    void* m_handlerData = nullptr;
    BroadcastCallback m_broadcastCallback = nullptr;
    void* m_broadcastData = nullptr;
};
