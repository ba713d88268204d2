// The one handle the search dialog drives both protocols through.
#include "engine/discovery.h"

CDeviceFinder::CDeviceFinder() = default;

CDeviceFinder::~CDeviceFinder() {
    Stop();
}

int CDeviceFinder::Start(DeviceHandler device_handler, ResultHandler result_handler, void* data,
                         const char (*addresses)[LOCAL_ADDRESS_ENTRY], int count) {
    if (data == nullptr || m_context != nullptr) {
        return -1;
    }
    m_deviceHandler = device_handler;
    m_resultHandler = result_handler;
    m_handlerData = data;
    DiscoveryContext* context = nullptr;
    if (discovery_open(DISCOVERY_GROUP, DISCOVERY_PORT, DISCOVERY_SEND_TIMEOUT_S, &context) != DISC_OK ||
        context == nullptr) {
        context = nullptr;
        if (discovery_open(DISCOVERY_GROUP, DISCOVERY_FALLBACK_PORT, DISCOVERY_SEND_TIMEOUT_S, &context) != DISC_OK ||
            context == nullptr) {
            return -1;
        }
    }
    m_context = context;
    if (discovery_set_device_handler(m_context, m_deviceHandler, m_handlerData) != DISC_OK) {
        return -1;
    }
    discovery_set_local_addresses(addresses, count);  // an empty list is found out at the first search
    return discovery_set_result_handler(m_context, m_resultHandler, m_handlerData) == DISC_OK ? 0 : -1;
}

int CDeviceFinder::Stop() {
    if (m_context != nullptr) {
        if (discovery_on_dispatch_thread(m_context)) {
            return -1;  // refused: the context and its threads stay as they are
        }
        discovery_close(m_context);
        m_context = nullptr;
    }
    m_probe.StopReceiving();
    return 0;
}

int CDeviceFinder::Search(char kind) {
    if (kind == 'M') {
        if (m_context != nullptr) {
            discovery_search(m_context);
        }
    } else if (kind == 'L') {
        m_probe.Search();
    }
    return 0;
}

int CDeviceFinder::SetNetwork(const CommandAuth& auth, const DeviceRecord& record) {
    if (m_context == nullptr) {
        return -1;
    }
    return discovery_command(m_context, &auth, CMD_NETCONF, &record);
}

int CDeviceFinder::SetHttpPort(const CommandAuth& auth, const char* port) {
    if (m_context == nullptr) {
        return -1;
    }
    return discovery_command(m_context, &auth, CMD_HTTPPORT, port);
}

int CDeviceFinder::SetBroadcastCallback(BroadcastCallback callback, void* data) {
    if (data == nullptr) {
        return -1;
    }
    m_broadcastCallback = callback;
    m_broadcastData = data;
    m_probe.SetCallback(callback, data);
    return 0;
}

int CDeviceFinder::SetBroadcastDevice(const BroadcastRecord& record, BroadcastResultFilter accept) {
    return m_probe.SetDevice(record, accept);
}
