// Which language-file key feeds which control, the keys of the message boxes,
// and the texts built into each language of the search dialog.
#pragma once

#include <cstddef>

namespace searchui {

struct ControlTextKey {
    int id;
    const char* key;
};

// In the order ApplyTexts sets them.
extern const ControlTextKey kControlTextKeys[];
extern const std::size_t kControlTextKeyCount;

// Message texts, looked up when their box is shown.
constexpr const char* kKeyAskCaption = "#0095";
constexpr const char* kKeyNoSelection = "#0096";
constexpr const char* kKeyAskUpdate = "#0097";
constexpr const char* kKeyBadIp = "#0098";
constexpr const char* kKeyBadMask = "#0099";
constexpr const char* kKeyBadGateway = "#0100";
constexpr const char* kKeyLocalIp = "#0101";
constexpr const char* kKeyBroadcastRefused = "#0105";
constexpr const char* kKeyRestarting = "#0106";
constexpr const char* kKeyBroadcastOk = "#0107";
constexpr const char* kKeyBroadcastFailed = "#0108";
constexpr const char* kKeyTipsCaption = "#0109";

// The boxes reporting a broadcast-device update carry this caption in every
// language.
constexpr const char* kBroadcastResultCaption = "Tips";
constexpr const char* kCountFormat = "%d pcs";
constexpr const char* kColumnNumber = "No.";
constexpr const char* kColumnName = "DeviceName";
constexpr const char* kColumnIp = "IP";

enum class Language { Chinese, English };

struct BuiltinTexts {
    const char* caption;
    const char* settings_updated;   // text-protocol camera answered "200"
    const char* wrong_credentials;  // text-protocol camera answered "401"
    const char* empty_lan_address;
    const char* empty_wan_address;
    // Refused before anything is sent: they would change a command's shape.
    const char* bad_port;            // a text-protocol camera's port is not 1 to 65535
    const char* control_characters;  // a line break or other control character in the credentials
    // More answers than the list holds: printf format with the capacity twice.
    const char* list_full;
};

const BuiltinTexts& BuiltinTextsFor(Language language);

}  // namespace searchui
