// libFuzzer target: camera records of any bytes printed as JSON, CSV and a
// table; the JSON must parse back and the table hold no control characters.
#include <cstdint>
#include <cstring>
#include <sstream>

#include "tools/keplin/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    keplin::cli::FoundDevice text_camera;
    text_camera.kind = 'M';
    std::memcpy(&text_camera.text, data, size < sizeof text_camera.text ? size : sizeof text_camera.text);
    keplin::cli::FoundDevice broadcast_camera;
    broadcast_camera.kind = 'L';
    std::memcpy(&broadcast_camera.broadcast, data,
                size < sizeof broadcast_camera.broadcast ? size : sizeof broadcast_camera.broadcast);
    const std::vector<keplin::cli::FoundDevice> devices{text_camera, broadcast_camera};

    const std::string json = keplin::cli::devices_json(devices);
    if (keplin::cli::Json::parse(json)["devices"].size() != 2) __builtin_trap();
    (void)keplin::cli::devices_csv(devices);
    const std::string table = keplin::cli::devices_table(devices);
    for (char c : table) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F) __builtin_trap();
    }
    return 0;
}
