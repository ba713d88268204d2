// The search dialog's layouts (templates 234 and 12001) and control ids.
#pragma once

#include "platform/dlgtemplate.h"

namespace searchui {

constexpr int TEMPLATE_CHINESE = 234;
constexpr int TEMPLATE_ENGLISH = 12001;

// Control ids of both layouts.
enum SearchDlgId : int {
    IDC_DEVICE_COUNT = 202,
    IDC_DEVICE_LIST = 203,
    IDC_SEARCH = 204,
    IDC_ADAPTER = 205,
    IDC_PC_IP = 206,
    IDC_PC_MASK = 207,
    IDC_PC_GATEWAY = 208,
    IDC_PC_DNS1 = 209,
    IDC_PC_DNS2 = 210,
    IDC_DEVICE_NAME = 211,
    IDC_SYSTEM_VERSION = 212,
    IDC_APP_VERSION = 213,
    IDC_DHCP = 214,
    IDC_IP = 215,
    IDC_MASK = 216,
    IDC_GATEWAY = 217,
    IDC_DNS1 = 218,
    IDC_DNS2 = 219,
    IDC_HTTP_PORT = 220,
    IDC_ACCOUNT = 221,
    IDC_PASSWORD = 222,
    IDC_FACTORY_DEFAULT = 223,
    IDC_UPDATE = 224,
    IDC_RESTART_PROGRESS = 225,
    IDC_LAN_ADDRESS = 226,
    IDC_WAN_ADDRESS = 227,
    IDC_OPEN_LAN = 228,
    IDC_OPEN_WAN = 229,
    IDC_RESTART_LABEL = 230,
    IDC_DNS2_LABEL = 231,
    IDC_PORT_SPIN = 233,
    IDC_TIP_FIRST = 243,
    IDC_TIP_LAST = 250,
};

// Makes both layouts known to platform::FindDialogTemplate.
void RegisterSearchTemplates();

}  // namespace searchui
