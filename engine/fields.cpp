// Reading received messages: values by key, classification, device records.
#include "engine/protocol.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>

namespace {

const char kCrLf[] = "\r\n";

// memmem bounded by both lengths; the message may hold no NUL at all.
const char* find_bytes(const char* haystack, size_t length, const char* needle, size_t needle_length) {
    if (needle_length == 0 || needle_length > length) {
        return nullptr;
    }
    const void* hit = memmem(haystack, length, needle, needle_length);
    return static_cast<const char*>(hit);
}

// The C library's decimal conversion (blanks, a sign, digits), saturated at the
// limits of int32_t instead of overflowing.
int32_t parse_decimal(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) {
            value = static_cast<int64_t>(INT32_MAX) + 1;
        }
        ++p;
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

int extract_field(const char* text, int length, const char* key, int mode, void* out) {
    if (text == nullptr || key == nullptr || out == nullptr || length <= 0) {
        return -1;
    }
    const size_t total = static_cast<size_t>(length);
    const size_t key_length = strlen(key);
    const char* found = find_bytes(text, total, key, key_length);
    if (found == nullptr) {
        return -1;
    }
    const char* value = found + key_length;
    const size_t rest = total - static_cast<size_t>(value - text);
    const char* end = find_bytes(value, rest, kCrLf, 2);
    if (end == nullptr) {
        return -1;  // a value without CRLF counts as not found
    }
    size_t value_length = static_cast<size_t>(end - value);
    if (value_length > 0 && value[0] == '"') {
        // The opening quote is skipped and the closing one, before the CRLF, dropped.
        ++value;
        value_length = value_length >= 2 ? value_length - 2 : 0;
    }
    if (mode == 1) {
        memcpy(out, value, std::min(value_length, FIELD_BUFFER_SIZE - 1));
        return 0;
    }
    char number[32] = {};
    memcpy(number, value, std::min(value_length, sizeof number - 1));
    const int32_t converted = parse_decimal(number);
    memcpy(out, &converted, sizeof converted);
    return 0;
}

void make_client_id(char* buffer, int count) {
    // Seeded from the clock like the design, but mixed with a process-wide
    // counter and the system's entropy, so that two contexts made within the
    // same second do not share an identifier (they would take each other's
    // replies and command results).
    static std::atomic<uint64_t> serial{0};
    std::seed_seq seed{static_cast<uint64_t>(std::time(nullptr)), serial.fetch_add(1),
                       static_cast<uint64_t>(std::random_device{}()),
                       static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::mt19937 random(seed);
    char* p = buffer + strlen(buffer);
    for (int i = 0; i < count; ++i) {
        const bool upper = (random() & 1U) != 0;
        const char letter = static_cast<char>(random() % 26);
        *p++ = static_cast<char>((upper ? 'A' : 'a') + letter);
    }
    *p = '\0';
}

namespace keplin::protocol {

uint32_t next_sequence(uint32_t current) {
    const uint32_t next = current + 1;
    return next >= 4000000000U ? 1 : next;
}

MessageKind classify(const char* text, int length, const char** status) {
    struct StatusLine {
        const char* line;
        const char* status;
    };
    static const StatusLine kLines[] = {
        {"MCTP/1.0 200 OK", "200"},
        {"HDS/1.0 401 Unauthorized", "401"},
        {"HDS/1.0 403 Forbidden", "403"},
    };
    const size_t total = length > 0 ? static_cast<size_t>(length) : 0;
    for (const StatusLine& s : kLines) {
        if (find_bytes(text, total, s.line, strlen(s.line)) != nullptr) {
            if (status != nullptr) {
                *status = s.status;
            }
            return MessageKind::CommandResult;
        }
    }
    return MessageKind::SearchReply;
}

bool client_id_matches(const char* text, int length, const char* client_id) {
    char value[FIELD_BUFFER_SIZE] = {};
    if (extract_field(text, length, "Client-ID:", 1, value) != 0) {
        return false;
    }
    return client_id[0] != '\0' && strcmp(value, client_id) == 0;
}

namespace {

struct TextField {
    const char* key;
    size_t offset;
    size_t size;
    bool address;  // present but empty gives "0.0.0.0"
};

struct NumberField {
    const char* key;
    size_t offset;
};

#define TEXT(key, field, address) {key, offsetof(DeviceRecord, field), sizeof(DeviceRecord::field), address}
// Read in this order; "Device-ID=" first since it decides whether the reply is kept.
const TextField kTextFields[] = {
    TEXT("Device-ID=", device_id, false),
    TEXT("IP=", ip, true),
    TEXT("Device-Name=", device_name, false),
    TEXT("Http-Port=", http_port, false),
    TEXT("Software-Version=", software_version, false),
    TEXT("Device-Model=", device_model, false),
    TEXT("MAC=", mac, false),
    TEXT("MASK=", mask, true),
    TEXT("Gateway=", gateway, true),
    TEXT("Fdns=", fdns, true),
    TEXT("Sdns=", sdns, true),
    TEXT("Web-Version=", web_version, false),
    TEXT("DDNS-Host=", ddns_host, false),
    TEXT("DDNS-User=", ddns_user, false),
    TEXT("DDNS-Passwd=", ddns_passwd, false),
    TEXT("DDNS-Domain=", ddns_domain, false),
    TEXT("C_Vendor=", c_vendor, false),
    TEXT("C_Product=", c_product, false),
    TEXT("Device-Type=", device_type, false),
};
#undef TEXT

const NumberField kNumberFields[] = {
    {"Dhcp=", offsetof(DeviceRecord, dhcp)},
    {"Ddns=", offsetof(DeviceRecord, dns_state)},
    {"DDNS-Enable=", offsetof(DeviceRecord, ddns_enable)},
    {"DDNS-Port=", offsetof(DeviceRecord, ddns_port)},
};

}  // namespace

bool read_device_record(const char* text, int length, DeviceRecord* record) {
    memset(record, 0, sizeof *record);
    auto* base = reinterpret_cast<char*>(record);
    char value[FIELD_BUFFER_SIZE];
    for (const TextField& field : kTextFields) {
        memset(value, 0, sizeof value);
        if (extract_field(text, length, field.key, 1, value) != 0) {
            if (field.offset == offsetof(DeviceRecord, device_id)) {
                return false;
            }
            continue;
        }
        if (field.address && value[0] == '\0') {
            strcpy(value, "0.0.0.0");
        }
        // Over-long values are cut to the field, which keeps its NUL.
        memcpy(base + field.offset, value, std::min(strlen(value), field.size - 1));
    }
    for (const NumberField& field : kNumberFields) {
        int32_t number = 0;
        if (extract_field(text, length, field.key, 0, &number) == 0) {
            memcpy(base + field.offset, &number, sizeof number);
        }
    }
    return true;
}

}  // namespace keplin::protocol
