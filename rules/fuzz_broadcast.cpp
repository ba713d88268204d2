// libFuzzer target: broadcast answers and set results as they arrive from the
// network, through the record reader, the device list and the set-result
// check.
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/discovery.h"
#include "rules/devices.h"
#include "rules/fields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The probe hands over the first BROADCAST_REPLY_SIZE bytes, zero-filled.
    std::vector<uint8_t> reply(BROADCAST_REPLY_SIZE, 0);
    std::memcpy(reply.data(), data, size < reply.size() ? size : reply.size());
    const BroadcastRecord record = broadcast_record_from_reply(reply.data());
    if (rules::FieldText(record.device_name).size() > 3 * sizeof record.device_name) __builtin_trap();
    (void)broadcast_http_port(record);

    rules::DeviceList list(4);
    list.AddBroadcast(reply.data());
    list.AddBroadcast(reply.data());
    if (list.Count() != 1) __builtin_trap();
    rules::FoundDevice device;
    list.Get(0, &device);
    (void)device.Name();
    (void)device.Address();
    (void)rules::BroadcastCameraId(device.broadcast);

    // A set result of any length against a request built from the record.
    (void)rules::ResultFromCamera(record, data, size);
    return 0;
}
