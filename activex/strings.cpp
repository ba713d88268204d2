// The module's string table. The English module carries the English texts
// under the same ids.
#include <cstring>

#include "activex/identity.h"
#include "platform/resources.h"

namespace activex {
namespace {

struct StringRow {
    unsigned id;
    const char* text;
};

#ifdef KEPLIN_OCX_ENGLISH
const StringRow kStrings[] = {
    {IDS_KEPLINACTIVEX, "KeplinActiveX_en Control"},
    {IDS_KEPLINACTIVEX_PPG, "KeplinActiveX_en Property Page"},
    {IDS_ASK_CAPTION, "Ask"},
    {IDS_NO_SELECTION, "Please select one device from list."},
    {IDS_ASK_UPDATE, "Are you sure to update the selected device?"},
    {IDS_BAD_IP, "Entered the wrong IP address."},
    {IDS_BAD_MASK, "Entered the wrong subnet mask."},
    {IDS_BAD_GATEWAY, "Entered the wrong gateway."},
    {IDS_LOCAL_IP, "The same as one IP among of this local PC."},
    {IDS_BROADCAST_REFUSED, "The account or password for watching is wrong!"},
    {IDS_RESTARTING, "Device is restarting...,Please try again later."},
    {IDS_BROADCAST_OK, "Successful! Please waitting ....!"},
    {IDS_BROADCAST_FAILED, "Failed!"},
    {IDS_TIPS_CAPTION, "Tips"},
    {IDS_KEPLINACTIVEX_PPG_CAPTION, "General"},
};
#else
const StringRow kStrings[] = {
    {IDS_KEPLINACTIVEX, "KeplinActiveX Control"},
    {IDS_KEPLINACTIVEX_PPG, "KeplinActiveX Property Page"},
    {IDS_ASK_CAPTION, "询问"},
    {IDS_NO_SELECTION, "请从设备列表中选择一个设备！"},
    {IDS_ASK_UPDATE, "真的要用设置好的信息更新选中的设备吗？"},
    {IDS_BAD_IP, "IP地址输入错误。"},
    {IDS_BAD_MASK, "子网掩码输入错误。"},
    {IDS_BAD_GATEWAY, "网关输入错误。"},
    {IDS_LOCAL_IP, "与本机其中一个IP相同。"},
    {IDS_BROADCAST_REFUSED, "观看账号或密码错误!"},
    {IDS_RESTARTING, "设备重启中, 请稍候再试。"},
    {IDS_BROADCAST_OK, "设备更新成功！请等待...！"},
    {IDS_BROADCAST_FAILED, "设备更新失败！"},
    {IDS_TIPS_CAPTION, "提示"},
    {IDS_KEPLINACTIVEX_PPG_CAPTION, "General"},
};
#endif

constexpr std::size_t kCount = sizeof kStrings / sizeof kStrings[0];

struct StringTable {
    keplin::ResourceEntry entries[kCount];
    StringTable() {
        for (std::size_t i = 0; i < kCount; ++i)
            entries[i] = {keplin::kResourceString, kStrings[i].id,
                          reinterpret_cast<const unsigned char*>(kStrings[i].text), std::strlen(kStrings[i].text)};
    }
};

const StringTable kTable;
const keplin::ResourceModule kModule(kTable.entries, kCount);

}  // namespace

std::string LoadModuleString(unsigned id) { return keplin::LoadStringResource(&kTable, id); }

}  // namespace activex
