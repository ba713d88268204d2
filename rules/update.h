// The rules of changing a camera's settings, the same in the search window and
// in `keplin set`: which typed values are refused, when the HTTP port needs a
// command of its own, and how typed values go into a camera's record. Nothing
// typed may change the shape of a command: texts that would are refused, and
// fixed fields are filled within their bounds.
#pragma once

#include "engine/discovery.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rules {

// The address texts of an update. A blank address control reads "0.0.0.0";
// an empty text counts the same.
struct AddressFields {
    bool automatic = false;
    std::string ip, mask, gateway, dns1, dns2;
};

enum class AddressFault { None, Ip, Mask, Gateway, LocalAddress };

// The first refused value with fixed addressing: a zero IP address, mask or
// gateway, then an IP address of this PC. Nothing is refused while the address
// is taken automatically.
AddressFault CheckAddresses(const AddressFields& fields, const std::vector<std::string>& local_addresses);

// The viewing account and password go on a header line of the text protocol:
// a control character (a line break above all) would add lines of its own.
enum class CredentialFault { None, Account, Password };
CredentialFault CheckCredentials(const std::string& account, const std::string& password);

// An HTTP port as typed for a text-protocol camera: digits only (blanks
// around them allowed), 1 to 65535. nullopt for anything else.
std::optional<uint16_t> ParsePort(const std::string& text);

// The typed port equals, ignoring letter case, the camera's own port text.
bool SamePort(const std::string& port_text, const DeviceRecord& record);
// "8002" and "55555", the ports of the discovery protocol, are never sent.
bool ReservedPort(const std::string& port_text);
// Whether a text-protocol camera needs the HTTP-port command after the network
// command: the port changed and is not reserved.
bool PortCommandNeeded(const std::string& port_text, const DeviceRecord& record);

// A decimal integer at the start of `text` (after blanks, with an optional
// sign), as "%d" reads it; nullopt when there is none. Clamped to int.
std::optional<int> LeadingInt(const std::string& text);

// The port text after one step of the up-down control (+1 or -1), or nullopt
// when it stays: up stops at 65535, down at 1, and a text without a number
// counts as 0.
std::optional<std::string> StepPortText(const std::string& text, int delta);

// Writes the addresses into a text-protocol record ("0.0.0.0" is sent as an
// empty field; texts are cut to their field) and sets dhcp and dns_state to
// the automatic flag. False when the IP address or the mask is then empty:
// such a record must not be sent.
bool FillNetworkRecord(DeviceRecord& record, const AddressFields& fields);

// The HTTP port of a broadcast set request: the number the text starts with;
// 80 when it has none or when it is not a port number (above 65535 or
// negative).
uint16_t BroadcastPortFromText(const std::string& text);

// Writes an update into a broadcast camera's own record. Automatic: IP
// "0.0.0.0" and address mode 1, the camera's other addresses kept; fixed: mode
// 0 and the IP, mask, gateway and DNS texts. Then the port and the viewing
// account and password, each cut to its field with room for the NUL. A field
// whose text is unchanged keeps the camera's bytes.
void FillBroadcastRecord(BroadcastRecord& record, const AddressFields& fields, const std::string& port_text,
                         const std::string& account, const std::string& password);

}  // namespace rules
