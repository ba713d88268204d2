// libFuzzer target: a language file of any bytes (UTF-8, GBK or neither) read
// through the profile reader, and the text conversions on their own.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/keplin_profile_fuzz_" + std::to_string(getpid()) + ".ini";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    for (const char* key : {"#0007", "#0015", "#00491", "x"}) {
        const std::string value = platform::ReadProfileString("config", key, "", path);
        if (value.size() > 255 || !platform::IsValidUtf8(value)) __builtin_trap();
    }
    const std::string text = platform::ToUtf8(bytes);
    if (!platform::IsValidUtf8(text)) __builtin_trap();
    const std::string cut = platform::CutUtf8(text, size % 64);
    if (cut.size() > size % 64 || !platform::IsValidUtf8(cut)) __builtin_trap();
    return 0;
}
