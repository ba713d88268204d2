// The rules of editing a camera's settings, kept apart from the window: which
// typed addresses are refused, when the HTTP port needs a command of its own,
// how the port text steps, how typed values go into a camera's record, and the
// restart wait.
#pragma once

#include "engine/discovery.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace searchui {

// What the address controls show ("0.0.0.0" for a blank control).
struct AddressFields {
    bool automatic = false;
    std::string ip, mask, gateway, dns1, dns2;
};

// The language-file key of the first refused value (IP, mask, gateway, then an
// address of this PC), or null when the values may be sent. Nothing is refused
// while the address is taken automatically.
const char* AddressProblem(const AddressFields& fields, const std::vector<std::string>& local_addresses);

// Whether a text-protocol camera needs the HTTP-port command after the network
// command: the typed port differs (ignoring case) from the camera's and is
// neither "8002" nor "55555".
bool PortCommandNeeded(const std::string& port_text, const DeviceRecord& record);

// A decimal integer at the start of `text` (after blanks, with an optional
// sign), as "%d" reads it; nullopt when there is none. Clamped to int.
std::optional<int> LeadingInt(const std::string& text);

// The port text after one step of the up-down control (+1 or -1), or nullopt
// when it stays: up stops at 65535, down at 1, and a text without a number
// counts as 0.
std::optional<std::string> StepPortText(const std::string& text, int delta);

// Writes the typed addresses into a text-protocol record (a blank control
// gives an empty field; texts are cut to their field) and sets dhcp and
// dns_state to the automatic box. False when the IP address or the mask is
// then empty: such a record must not be sent.
bool FillNetworkRecord(DeviceRecord& record, const AddressFields& fields);

// The HTTP port of a broadcast set request: the number the text starts with,
// 80 when it has none or when it is not a port number (above 65535 or negative).
uint16_t BroadcastPortFromText(const std::string& text);

// Writes the typed values into a broadcast record. Automatic: IP "0.0.0.0"
// and address mode 1, the camera's other addresses kept; fixed: mode 0 and the
// IP, mask, gateway and DNS texts. Then the port and the viewing account and
// password, each cut to its field with room for the terminating NUL.
void FillBroadcastRecord(BroadcastRecord& record, const AddressFields& fields,
                         const std::string& port_text, const std::string& account,
                         const std::string& password);

// Copies `text` into a fixed field of `size` bytes, cut at a UTF-8 character
// boundary so that the NUL fits; the rest of the field is zeroed.
void CopyField(char* field, std::size_t size, const std::string& text);
template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text) { CopyField(field, N, text); }

// The wait while an updated camera restarts: 45 ticks of one second, shown on
// a progress bar from 1 to 47 stepped once per tick.
class RestartWait {
public:
    static constexpr int kTicks = 45;
    static constexpr int kTimerId = 51;
    static constexpr int kPeriodMs = 1000;
    static constexpr int kRangeLow = 1;
    static constexpr int kRangeHigh = 47;

    void Begin() { m_ticks = 0; m_active = true; }
    // One tick; true when this tick ends the wait.
    bool Tick();
    bool Active() const { return m_active; }
    int Ticks() const { return m_ticks; }
    int Position() const { return kRangeLow + m_ticks; }

private:
    int m_ticks = 0;
    bool m_active = false;
};

}  // namespace searchui
