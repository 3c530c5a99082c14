#include "ui/MainWindowTemplate.h"

#include "net/ControlId.h"

namespace {

using K = MainWindowTemplate::Kind;

const MainWindowTemplate::Control kControls[] = {
    { IDC_SERVER_LOG, K::MultiLineEdit, "", 5, 25, 210, 90, false, 0, "服务器 日志" },
    { IDC_SERVER_START, K::PushButton, "开始", 215, 5, 50, 14, false, 0, "服务器 开始" },
    { IDC_SERVER_STOP, K::PushButton, "结束", 265, 5, 50, 14, true, 0, "服务器 结束" },
    { IDC_CLIENT_SEND, K::PushButton, "发送", 265, 175, 50, 14, false, 0, "客户端 发送" },
    { IDC_CLIENT_MESSAGE, K::LineEdit, "", 5, 175, 247, 14, false, 0, "客户端 消息" },
    { IDC_DEST_IP, K::LineEdit, "", 49, 155, 85, 14, false, 0, "" },
    { IDC_DEST_PORT, K::LineEdit, "", 170, 155, 25, 15, false, 0, "" },
    { -1, K::Label, "目的IP地址", 5, 157, 41, 8, false, IDC_DEST_IP, "" },
    { -1, K::Label, "目的端口", 136, 158, 33, 8, false, IDC_DEST_PORT, "" },
    { IDC_SERVER_IP, K::ReadOnlyLineEdit, "", 55, 5, 80, 14, false, 0, "" },
    { IDC_SERVER_PORT, K::LineEdit, "", 185, 5, 25, 15, false, 0, "" },
    { -1, K::Label, "服务器IP地址", 5, 8, 49, 8, false, IDC_SERVER_IP, "" },
    { -1, K::Label, "服务器端口", 140, 9, 41, 8, false, IDC_SERVER_PORT, "" },
    { IDC_ECHO, K::CheckBox, "回送", 287, 122, 32, 10, false, 0, "" },
    { IDC_CLIENT_LOG, K::MultiLineEdit, "", 5, 195, 310, 90, false, 0, "客户端 日志" },
    { IDC_CLIENT_START, K::PushButton, "开始", 215, 155, 50, 14, false, 0, "客户端 开始" },
    { IDC_CLIENT_STOP, K::PushButton, "结束", 265, 155, 50, 14, true, 0, "客户端 结束" },
    { IDC_REPLY_SEND, K::PushButton, "发送", 220, 120, 50, 14, false, 0, "服务器 发送" },
    { IDC_REPLY_MESSAGE, K::LineEdit, "", 5, 120, 210, 14, false, 0, "服务器 回复" },
    { IDC_PEER_LIST, K::ListBox, "", 220, 25, 95, 75, false, 0, "服务器 发送者列表" },
    { IDC_PEER_DELETE, K::PushButton, "删除一项", 220, 102, 45, 14, false, 0, "" },
    { IDC_PEER_DELETE_ALL, K::PushButton, "删除全部", 270, 102, 45, 14, false, 0, "" },
};

} // namespace

const MainWindowTemplate::Control* MainWindowTemplate::begin()
{
    return kControls;
}

const MainWindowTemplate::Control* MainWindowTemplate::end()
{
    return kControls + size();
}

std::size_t MainWindowTemplate::size()
{
    return sizeof kControls / sizeof kControls[0];
}
