// A stand-in for the engine that records what the dialog asks of it, and lets
// a test play the engine's threads by calling the registered handlers.
#pragma once

#include "rules/fields.h"
#include "searchui/backend.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct FakeEngine {
    struct Command {
        std::string kind;  // "netconf" or "httpport"
        std::string device_id, user, password;
        DeviceRecord record{};  // netconf
        std::string port;       // httpport
    };
    std::vector<char> searches;
    std::vector<Command> commands;
    std::vector<BroadcastRecord> sets;
    int set_result = 1;
    // Results from several cameras (the record each answers with, and its
    // outcome), when a test needs them; else every set gives set_result.
    std::vector<std::pair<BroadcastRecord, int>> set_results;
    std::vector<bool> filtered;  // per set: whether only the addressed camera counted
    bool stopped = false;
    std::vector<AdapterInfo> adapters;
    std::string addresses;
    int address_count = 0;
    std::vector<std::string> started_with;
    DeviceHandler device_handler = nullptr;
    ResultHandler result_handler = nullptr;
    void* data = nullptr;
    BroadcastCallback broadcast = nullptr;
    void* broadcast_data = nullptr;

    // What the engine threads do, each from a thread of its own.
    void Found(const DeviceRecord& record) {
        std::thread([&] { device_handler(Context(), "200", &record, data); }).join();
    }
    void FoundBroadcast(const BroadcastRecord& record) {
        uint8_t reply[BROADCAST_REPLY_SIZE] = {};
        std::memcpy(reply, &record, sizeof record);
        std::thread([&] { broadcast(reply, broadcast_data); }).join();
    }
    void Result(const char* status) {
        std::thread([&] { result_handler(Context(), status, nullptr, data); }).join();
    }
    static DiscoveryContext* Context() { return reinterpret_cast<DiscoveryContext*>(0x1000); }
};

class FakeBackend : public searchui::ISearchBackend {
public:
    explicit FakeBackend(std::shared_ptr<FakeEngine> engine) : m_engine(std::move(engine)) {}
    std::vector<AdapterInfo> LoadAdapters() override { return m_engine->adapters; }
    std::string ListAdapterAddresses(int* count) override {
        *count = m_engine->address_count;
        return m_engine->addresses;
    }
    int Start(DeviceHandler device_handler, ResultHandler result_handler, void* data,
              const char (*addresses)[LOCAL_ADDRESS_ENTRY], int count) override {
        m_engine->device_handler = device_handler;
        m_engine->result_handler = result_handler;
        m_engine->data = data;
        for (int i = 0; i < count; ++i) m_engine->started_with.emplace_back(addresses[i]);
        return 0;
    }
    void Stop() override { m_engine->stopped = true; }
    int Search(char kind) override {
        m_engine->searches.push_back(kind);
        return 0;
    }
    int SetNetwork(const CommandAuth& auth, const DeviceRecord& record) override {
        FakeEngine::Command c{"netconf", auth.device_id, auth.user, auth.password, record, ""};
        m_engine->commands.push_back(c);
        return 0;
    }
    int SetHttpPort(const CommandAuth& auth, const char* port) override {
        FakeEngine::Command c{"httpport", auth.device_id, auth.user, auth.password, {}, port};
        m_engine->commands.push_back(c);
        return 0;
    }
    int SetBroadcastCallback(BroadcastCallback callback, void* data) override {
        m_engine->broadcast = callback;
        m_engine->broadcast_data = data;
        return data ? 0 : -1;
    }
    // The results of `set_results` are offered in order, as the engine reads
    // them, until the filter takes one; with none left, no answer (0).
    int SetBroadcastDevice(const BroadcastRecord& record, BroadcastResultFilter accept) override {
        m_engine->sets.push_back(record);
        m_engine->filtered.push_back(accept != nullptr);
        if (m_engine->set_results.empty()) return m_engine->set_result;
        for (const auto& [from, result] : m_engine->set_results) {
            uint8_t datagram[BROADCAST_RESULT_SIZE] = {};
            std::memcpy(datagram, &from, sizeof from);
            if (!accept || accept(record, datagram, sizeof datagram)) return result;
        }
        return 0;
    }

private:
    std::shared_ptr<FakeEngine> m_engine;
};

inline DeviceRecord TextCamera(const std::string& mac, const std::string& ip,
                               const std::string& name = "Front door") {
    DeviceRecord r{};
    // A device id of 32 characters that ends in the MAC's digits.
    std::string digits;
    for (char c : mac)
        if (c != ':') digits += c;
    rules::CopyField(r.device_id, std::string(32 - std::min<size_t>(32, digits.size()), '0') + digits);
    rules::CopyField(r.mac, mac);
    rules::CopyField(r.ip, ip);
    rules::CopyField(r.mask, "255.255.255.0");
    rules::CopyField(r.gateway, "10.0.0.254");
    rules::CopyField(r.fdns, "10.0.0.53");
    rules::CopyField(r.sdns, "10.0.0.54");
    rules::CopyField(r.http_port, "80");
    rules::CopyField(r.device_name, name);
    rules::CopyField(r.software_version, "3.2.1");
    rules::CopyField(r.web_version, "1.8.0");
    return r;
}

inline BroadcastRecord BroadcastCamera(const std::string& ip, const std::string& name = "Garden",
                                       uint16_t port = 8080, uint8_t mode = 0, uint8_t id = 1) {
    BroadcastRecord r{};
    r.magic[0] = 'D';
    r.magic[1] = 'H';
    r.type[0] = 1;
    r.type[1] = 1;
    rules::CopyField(r.ip, ip);
    rules::CopyField(r.mask, "255.255.0.0");
    rules::CopyField(r.gateway, "10.0.1.254");
    rules::CopyField(r.dns, "10.0.1.53");
    r.http_port[0] = static_cast<uint8_t>(port & 0xFF);
    r.http_port[1] = static_cast<uint8_t>(port >> 8);
    rules::CopyField(r.device_name, name);
    rules::CopyField(r.software_version, "2.0.7");
    rules::CopyField(r.web_version, "2.0.1");
    r.address_mode = mode;
    for (size_t i = 0; i < sizeof r.reserved3; ++i) r.reserved3[i] = static_cast<uint8_t>(0xA0 + i);
    // The bytes that tell cameras on one address apart.
    const uint8_t camera_id[6] = {0x02, 0x4B, 0x53, 0x00, 0x00, id};
    std::memcpy(r.reserved2, camera_id, sizeof camera_id);
    return r;
}
