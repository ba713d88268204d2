// Building the requests of the text protocol, byte for byte.
#include "engine/protocol.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace keplin::protocol {
namespace {

// snprintf that reports a result that would not fit as -1 instead of cutting
// it: a cut request could misconfigure a camera.
int format_exact(char* out, size_t capacity, const char* format, ...) __attribute__((format(printf, 3, 4)));
int format_exact(char* out, size_t capacity, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = vsnprintf(out, capacity, format, args);
    va_end(args);
    if (written < 0 || static_cast<size_t>(written) >= capacity) {
        if (capacity > 0) {
            out[0] = '\0';
        }
        return -1;
    }
    return written;
}

}  // namespace

int build_search(char* out, size_t capacity, uint32_t sequence, const char* client_id) {
    return format_exact(out, capacity,
                        "SEARCH * HDS/1.0\r\n"
                        "CSeq:%d\r\n"
                        "Client-ID:%s\r\n"
                        "Accept-Type:text/HDP\r\n"
                        "Content-Length:0\r\n"
                        "\r\n",
                        static_cast<int>(sequence), client_id);
}

int build_command_body(char* out, size_t capacity, int32_t kind, const void* params) {
    if (params == nullptr) {
        return -1;
    }
    const auto* record = static_cast<const DeviceRecord*>(params);
    const auto* text = static_cast<const char*>(params);
    switch (kind) {
    case CMD_NETCONF:
        return format_exact(out, capacity,
                            "netconf set -ipaddr %s -netmask %s -gateway %s -dhcp %s -fdnsip %s "
                            "-sdnsip %s -dnsstat %d -hwaddr %s",
                            record->ip, record->mask, record->gateway, record->dhcp == 1 ? "on" : "off",
                            record->fdns, record->sdns, record->dns_state, record->mac);
    case CMD_HTTPPORT:
        return format_exact(out, capacity, "httpport set -httpport %s", text);
    case CMD_DDNSSET:
        return format_exact(out, capacity,
                            "ddnsset set -our_enable %d -our_server %s -our_port %d -our_uname %s "
                            "-our_passwd %s -our_domain %s",
                            record->ddns_enable, record->ddns_host, record->ddns_port, record->ddns_user,
                            record->ddns_passwd, record->ddns_domain);
    case CMD_DEVIDSET:
        return format_exact(out, capacity, "devidset set -devid %s", text);
    case CMD_IDENTIFYSET:
        return format_exact(out, capacity, "identifyset set -cvendor %s -cproduct %s -product %s",
                            record->c_vendor, record->c_product, record->device_type);
    default:
        return -1;
    }
}

int build_command(char* out, size_t capacity, uint32_t sequence, const char* client_id,
                  const CommandAuth& auth, const char* body) {
    return format_exact(out, capacity,
                        "CMD * HDS/1.0\r\n"
                        "CSeq:%d\r\n"
                        "Client-ID:%s\r\n"
                        "Accept-Type:text/HDP\r\n"
                        "Authorization:Basic %s:%s\r\n"
                        "Device-ID:%s\r\n"
                        "Content-Length:%d\r\n"
                        "\r\n"
                        "%s\r\n"
                        "\r\n",
                        static_cast<int>(sequence), client_id, auth.user, auth.password, auth.device_id,
                        static_cast<int>(strlen(body)), body);
}

}  // namespace keplin::protocol
