// The computer's own adapters and the process-wide local address table.
#include "engine/discovery.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace {

std::mutex g_tables_lock;  // both tables are meant for one thread; the lock keeps tools and tests honest
std::vector<AdapterInfo> g_adapter_snapshot;
std::vector<std::string> g_local_addresses;

std::string dotted(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

std::string describe(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path base = fs::path("/sys/class/net") / name;
    std::error_code ec;
    std::string driver;
    const fs::path link = fs::read_symlink(base / "device" / "driver", ec);
    if (!ec) {
        driver = link.filename().string();
    }
    std::string kind = "Ethernet";
    if (fs::exists(base / "wireless", ec)) {
        kind = "Wireless";
    } else if (driver.empty()) {
        kind = "Virtual";
    }
    std::string text = kind + " adapter " + name;
    if (!driver.empty()) {
        text += " (" + driver + ")";
    }
    return text;
}

// Default gateways by interface name, from the kernel's IPv4 routing table.
std::vector<std::pair<std::string, std::string>> default_gateways() {
    std::vector<std::pair<std::string, std::string>> result;
    std::ifstream in("/proc/net/route");
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name, destination, gateway;
        if (!(fields >> name >> destination >> gateway)) {
            continue;
        }
        if (destination != "00000000" || gateway == "00000000") {
            continue;
        }
        in_addr address{};
        address.s_addr = static_cast<in_addr_t>(std::stoul(gateway, nullptr, 16));  // stored in network order
        result.emplace_back(name, dotted(address));
    }
    return result;
}

void add_ipv4_servers(std::istream& words, std::vector<std::string>& servers) {
    std::string word;
    while (words >> word) {
        in_addr address{};
        const std::string host = word.substr(0, word.find('#'));  // resolved may add "#name"
        if (inet_pton(AF_INET, host.c_str(), &address) == 1 &&
            std::find(servers.begin(), servers.end(), host) == servers.end()) {
            servers.push_back(host);
        }
    }
}

// DNS servers of one link as the system's resolver service keeps them.
std::vector<std::string> link_dns_servers(unsigned index) {
    std::vector<std::string> servers;
    const std::string files[][2] = {
        {"/run/systemd/resolve/netif/" + std::to_string(index), "SERVERS="},
        {"/run/systemd/netif/links/" + std::to_string(index), "DNS="},
    };
    for (const auto& [path, key] : files) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind(key, 0) == 0) {
                std::istringstream words(line.substr(key.size()));
                add_ipv4_servers(words, servers);
            }
        }
    }
    return servers;
}

// The resolver configuration, which names the servers of every adapter.
std::vector<std::string> resolver_dns_servers() {
    std::vector<std::string> servers;
    for (const char* path : {"/run/systemd/resolve/resolv.conf", "/etc/resolv.conf"}) {
        std::ifstream in(path);
        if (!in) {
            continue;
        }
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string keyword;
            if (words >> keyword && keyword == "nameserver") {
                add_ipv4_servers(words, servers);
            }
        }
        break;
    }
    return servers;
}

// Every non-loopback interface in kernel order with its IPv4 addresses.
bool enumerate_adapters(std::vector<AdapterInfo>& adapters) {
    struct if_nameindex* names = if_nameindex();
    if (names == nullptr) {
        return false;
    }
    ifaddrs* addresses = nullptr;
    if (getifaddrs(&addresses) != 0) {
        if_freenameindex(names);
        return false;
    }
    for (const struct if_nameindex* n = names; n->if_index != 0 && n->if_name != nullptr; ++n) {
        bool loopback = false;
        AdapterInfo adapter;
        adapter.name = n->if_name;
        adapter.index = n->if_index;
        for (const ifaddrs* a = addresses; a != nullptr; a = a->ifa_next) {
            if (a->ifa_name == nullptr || adapter.name != a->ifa_name) {
                continue;
            }
            loopback = loopback || (a->ifa_flags & IFF_LOOPBACK) != 0;
            if (a->ifa_addr != nullptr && a->ifa_addr->sa_family == AF_INET) {
                AdapterAddress entry;
                entry.address = dotted(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr);
                entry.mask = a->ifa_netmask != nullptr
                                 ? dotted(reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr)
                                 : "0.0.0.0";
                adapter.addresses.push_back(entry);
            }
        }
        if (!loopback) {
            adapters.push_back(std::move(adapter));
        }
    }
    freeifaddrs(addresses);
    if_freenameindex(names);
    std::stable_sort(adapters.begin(), adapters.end(),
                     [](const AdapterInfo& a, const AdapterInfo& b) { return a.index < b.index; });
    return true;
}

}  // namespace

std::string list_adapter_addresses(int* count) {
    std::vector<AdapterInfo> adapters;
    std::string text;
    int listed = 0;
    if (enumerate_adapters(adapters)) {
        for (const AdapterInfo& adapter : adapters) {
            if (listed > 0) {
                text += ",";
            }
            text += adapter.addresses.empty() ? "0.0.0.0" : adapter.addresses.front().address;
            ++listed;
        }
    }
    if (count != nullptr) {
        *count = listed;
    }
    return text;
}

void load_adapter_table() {
    std::vector<AdapterInfo> adapters;
    if (enumerate_adapters(adapters)) {
        const auto gateways = default_gateways();
        const auto shared_dns = resolver_dns_servers();
        for (AdapterInfo& adapter : adapters) {
            for (const auto& [name, gateway] : gateways) {
                if (name == adapter.name) {
                    adapter.gateways.push_back(gateway);
                }
            }
            adapter.dns_servers = link_dns_servers(adapter.index);
            if (adapter.dns_servers.empty()) {
                adapter.dns_servers = shared_dns;
            }
            adapter.description = describe(adapter.name);
        }
    } else {
        adapters.clear();  // a list that cannot be read leaves the snapshot empty
    }
    std::lock_guard<std::mutex> hold(g_tables_lock);
    g_adapter_snapshot = std::move(adapters);
}

const std::vector<AdapterInfo>& adapter_table() {
    std::lock_guard<std::mutex> hold(g_tables_lock);
    return g_adapter_snapshot;
}

void release_adapter_table() {
    std::lock_guard<std::mutex> hold(g_tables_lock);
    g_adapter_snapshot.clear();
}

int split_text(const std::string& text, std::vector<std::string>& pieces, char delimiter) {
    if (text.empty()) {
        return static_cast<int>(pieces.size());
    }
    pieces.clear();
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type end = text.find(delimiter, start);
        if (end == std::string::npos) {
            end = text.size();  // as if a delimiter closed the text
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return static_cast<int>(pieces.size());
}

int32_t discovery_set_local_addresses(const char (*entries)[LOCAL_ADDRESS_ENTRY], int count) {
    if (entries == nullptr || count <= 0) {
        return DISC_E_INVALID;
    }
    std::vector<std::string> table;
    for (int i = 0; i < count && i < MAX_LOCAL_ADDRESSES; ++i) {
        table.emplace_back(entries[i], strnlen(entries[i], LOCAL_ADDRESS_ENTRY - 1));
    }
    std::lock_guard<std::mutex> hold(g_tables_lock);
    g_local_addresses = std::move(table);
    return DISC_OK;
}

std::vector<std::string> discovery_local_addresses() {
    std::lock_guard<std::mutex> hold(g_tables_lock);
    return g_local_addresses;
}

void discovery_clear_local_addresses() {
    std::lock_guard<std::mutex> hold(g_tables_lock);
    g_local_addresses.clear();
}
