#include "searchui/backend.h"

#include <utility>

namespace searchui {
namespace {

class EngineBackend final : public ISearchBackend {
public:
    std::vector<AdapterInfo> LoadAdapters() override {
        // The table is process-wide and another dialog may load it again at
        // any time, so the dialog keeps a copy of its own.
        load_adapter_table();
        return adapter_table();
    }
    std::string ListAdapterAddresses(int* count) override { return list_adapter_addresses(count); }
    int Start(DeviceHandler device_handler, ResultHandler result_handler, void* data,
              const char (*addresses)[LOCAL_ADDRESS_ENTRY], int count) override {
        return m_finder.Start(device_handler, result_handler, data, addresses, count);
    }
    void Stop() override { m_finder.Stop(); }
    int Search(char kind) override { return m_finder.Search(kind); }
    int SetNetwork(const CommandAuth& auth, const DeviceRecord& record) override {
        return m_finder.SetNetwork(auth, record);
    }
    int SetHttpPort(const CommandAuth& auth, const char* port) override {
        return m_finder.SetHttpPort(auth, port);
    }
    int SetBroadcastCallback(BroadcastCallback callback, void* data) override {
        return m_finder.SetBroadcastCallback(callback, data);
    }
    int SetBroadcastDevice(const BroadcastRecord& record, BroadcastResultFilter accept) override {
        return m_finder.SetBroadcastDevice(record, accept);
    }

private:
    CDeviceFinder m_finder;
};

SearchBackendFactory& Factory() {
    static SearchBackendFactory factory;
    return factory;
}

}  // namespace

std::unique_ptr<ISearchBackend> MakeEngineBackend() { return std::make_unique<EngineBackend>(); }

SearchBackendFactory SetSearchBackendFactory(SearchBackendFactory factory) {
    return std::exchange(Factory(), std::move(factory));
}

std::unique_ptr<ISearchBackend> MakeSearchBackend() {
    if (Factory()) {
        if (auto backend = Factory()()) return backend;
    }
    return MakeEngineBackend();
}

}  // namespace searchui
