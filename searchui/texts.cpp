#include "searchui/texts.h"

#include <iterator>

namespace searchui {

const ControlTextKey kControlTextKeys[] = {
    {243, "#0052"}, {244, "#0053"}, {245, "#0054"}, {246, "#0055"}, {247, "#0056"},
    {248, "#0057"}, {249, "#0058"}, {250, "#0059"}, {251, "#0064"}, {252, "#0065"},
    {253, "#0066"}, {254, "#0067"}, {255, "#0068"}, {256, "#0069"}, {257, "#0070"},
    {258, "#0071"}, {202, "#0072"}, {204, "#0073"}, {259, "#0074"}, {260, "#0075"},
    {214, "#0076"}, {261, "#0077"}, {262, "#0078"}, {263, "#0079"}, {264, "#0080"},
    {231, "#0081"}, {265, "#0082"}, {232, "#0083"}, {266, "#0084"}, {267, "#0085"},
    {268, "#0086"}, {269, "#0087"}, {270, "#0088"}, {223, "#0089"}, {224, "#0090"},
    {230, "#0091"}, {271, "#0092"}, {228, "#0093"},
};
const std::size_t kControlTextKeyCount = std::size(kControlTextKeys);

const BuiltinTexts& BuiltinTextsFor(Language language) {
    static const BuiltinTexts chinese{
        "提示", "设备信息更新成功!", "观看账号或密码错误!", "请从设备列表中选择一个设备！",
        "请输入外网访问地址！", "Http 端口必须是 1 到 65535 之间的数字。",
        "观看帐号和密码不能包含换行符或其他控制字符。",
        "收到的应答超过 %d 个，只列出了前 %d 个。"};
    static const BuiltinTexts english{
        "Tips", "Device information successfully updated!",
        "The account or password for watching is wrong!", "Please select one device from list.",
        "Please input wan address.", "The Http port must be a number from 1 to 65535.",
        "The viewing account and password must not contain line breaks or other control characters.",
        "More than %d answers; the first %d are listed."};
    return language == Language::Chinese ? chinese : english;
}

}  // namespace searchui
