// What one listed camera costs in memory: the shared device list filled to its
// capacity with entries of the largest size the protocols allow, then keplin
// writing that list as a table, JSON and CSV. Counts the heap through the
// global allocation functions; sends nothing.
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <ostream>
#include <streambuf>

#include "rules/devices.h"
#include "rules/fields.h"
#include "tools/keplin/format.h"

namespace {

std::atomic<long long> g_inUse{0};
std::atomic<long long> g_peak{0};

void Count(long long bytes) {
    const long long now = g_inUse.fetch_add(bytes) + bytes;
    long long peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}

void* Allocate(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    Count(static_cast<long long>(malloc_usable_size(p)));
    return p;
}

void Release(void* p) noexcept {
    if (!p) return;
    Count(-static_cast<long long>(malloc_usable_size(p)));
    std::free(p);
}

// Text of exactly `length` bytes that differs with `n`.
void Fill(char* field, std::size_t size, unsigned n) {
    std::memset(field, 0, size);
    for (std::size_t i = 0; i + 1 < size; ++i) field[i] = static_cast<char>('A' + (n >> (i % 16)) % 26);
}

DeviceRecord LargestText(unsigned n) {
    DeviceRecord r{};
    Fill(r.device_id, sizeof r.device_id, n);
    Fill(r.device_model, sizeof r.device_model, n);
    Fill(r.software_version, sizeof r.software_version, n);
    Fill(r.web_version, sizeof r.web_version, n);
    Fill(r.device_name, sizeof r.device_name, n);
    Fill(r.http_port, sizeof r.http_port, n);
    Fill(r.ip, sizeof r.ip, n);
    Fill(r.mask, sizeof r.mask, n);
    std::snprintf(r.mac, sizeof r.mac, "02:00:00:%02X:%02X:%02X", n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF);
    Fill(r.gateway, sizeof r.gateway, n);
    Fill(r.fdns, sizeof r.fdns, n);
    Fill(r.sdns, sizeof r.sdns, n);
    Fill(r.ddns_host, sizeof r.ddns_host, n);
    Fill(r.ddns_user, sizeof r.ddns_user, n);
    Fill(r.ddns_passwd, sizeof r.ddns_passwd, n);
    Fill(r.ddns_domain, sizeof r.ddns_domain, n);
    Fill(r.c_vendor, sizeof r.c_vendor, n);
    Fill(r.c_product, sizeof r.c_product, n);
    Fill(r.device_type, sizeof r.device_type, n);
    r.dhcp = static_cast<int32_t>(n | 0x01010101);
    r.dns_state = r.ddns_enable = r.ddns_port = r.dhcp;
    return r;
}

// Every byte set, none of them zero: nothing for a compact copy to leave out.
void LargestBroadcast(unsigned n, uint8_t* reply) {
    std::memset(reply, 0, BROADCAST_REPLY_SIZE);
    for (std::size_t i = 0; i < BROADCAST_RECORD_SIZE; ++i) reply[i] = static_cast<uint8_t>(i * 7 + 1) | 1;
    auto* record = reinterpret_cast<BroadcastRecord*>(reply);
    std::memset(record->ip, 'x', sizeof record->ip);
    std::snprintf(record->ip, sizeof record->ip, "10.%u.%u.%u", n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF);
    record->ip[std::strlen(record->ip)] = 'x';
}

// Swallows what it is given, as a pipe to a reader would.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void Measure(const char* label, bool text) {
    const std::size_t count = rules::kDeviceListCapacity;
    const long long before = g_inUse.load();
    g_peak = before;
    auto* list = new rules::DeviceList();
    uint8_t reply[BROADCAST_REPLY_SIZE];
    for (unsigned n = 0; n < count; ++n) {
        if (text) list->AddText(LargestText(n));
        else {
            LargestBroadcast(n, reply);
            list->AddBroadcast(reply);
        }
    }
    const long long held = g_inUse.load() - before;
    const long long fillPeak = g_peak.load() - before;
    std::printf("%-10s %d entries listed: %6.0f bytes per entry held, %6.0f at the peak of filling\n", label,
                list->Count(), double(held) / count, double(fillPeak) / count);

    const keplin::cli::DeviceSource source = [list](std::size_t index, rules::FoundDevice* device) {
        return list->Get(static_cast<int>(index), device);
    };
    NullBuffer sink;
    std::ostream out(&sink);
    struct Writer {
        const char* name;
        void (*write)(std::ostream&, const keplin::cli::DeviceSource&, bool);
    };
    for (const Writer& w : {Writer{"table", keplin::cli::write_devices_table},
                            Writer{"json", keplin::cli::write_devices_json},
                            Writer{"csv", keplin::cli::write_devices_csv}}) {
        const long long base = g_inUse.load();
        g_peak = base;
        w.write(out, source, false);
        std::printf("%-10s keplin --format %-5s: %6.0f bytes per entry at its peak above the list\n", label, w.name,
                    double(g_peak.load() - base) / count);
    }
    delete list;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

int main() {
    std::printf("heap per entry at %zu entries of the largest size\n", rules::kDeviceListCapacity);
    Measure("text", true);
    Measure("broadcast", false);
    return 0;
}
