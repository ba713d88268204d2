#include "searchui/settings.h"

#include "searchui/texts.h"

namespace searchui {

const char* AddressProblemKey(rules::AddressFault fault) {
    switch (fault) {
        case rules::AddressFault::Ip: return kKeyBadIp;
        case rules::AddressFault::Mask: return kKeyBadMask;
        case rules::AddressFault::Gateway: return kKeyBadGateway;
        case rules::AddressFault::LocalAddress: return kKeyLocalIp;
        case rules::AddressFault::None: break;
    }
    return nullptr;
}

bool RestartWait::Tick() {
    if (!m_active) return false;
    ++m_ticks;
    if (m_ticks < kTicks) return false;
    m_active = false;
    return true;
}

}  // namespace searchui
