// What the search dialog needs from the engine, behind one small interface:
// the adapters of this PC and the device finder. The dialog uses the engine
// through it; tests put a recording stand-in in its place.
#pragma once

#include "engine/discovery.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace searchui {

class ISearchBackend {
public:
    virtual ~ISearchBackend() = default;

    // A copy of the PC's adapters, in kernel order.
    virtual std::vector<AdapterInfo> LoadAdapters() = 0;
    // The first address of every adapter joined by ","; *count adapters.
    virtual std::string ListAdapterAddresses(int* count) = 0;

    // The finder's operations (see CDeviceFinder).
    virtual int Start(DeviceHandler device_handler, ResultHandler result_handler, void* data,
                      const char (*addresses)[LOCAL_ADDRESS_ENTRY], int count) = 0;
    virtual void Stop() = 0;
    virtual int Search(char kind) = 0;
    virtual int SetNetwork(const CommandAuth& auth, const DeviceRecord& record) = 0;
    virtual int SetHttpPort(const CommandAuth& auth, const char* port) = 0;
    virtual int SetBroadcastCallback(BroadcastCallback callback, void* data) = 0;
    virtual int SetBroadcastDevice(const BroadcastRecord& record, BroadcastResultFilter accept) = 0;
};

// The engine itself: one CDeviceFinder and the process-wide adapter table.
std::unique_ptr<ISearchBackend> MakeEngineBackend();

using SearchBackendFactory = std::function<std::unique_ptr<ISearchBackend>()>;
// Dialogs made after this call get their backend from `factory` (an empty
// factory restores the engine). Returns the previous factory.
SearchBackendFactory SetSearchBackendFactory(SearchBackendFactory factory);
std::unique_ptr<ISearchBackend> MakeSearchBackend();

}  // namespace searchui
