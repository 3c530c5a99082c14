#pragma once

// The main window as designed, written down once for the tests: the 22
// controls in template order, which is also the tab order, with their
// captions and positions in dialog units. Copied from the written design,
// never from the program, so a wrong template fails against it.
namespace window_test {

struct WrittenControl {
    int id; // -1 for the labels
    const char* caption;
    int x, y, width, height;
    bool disabled;
};

inline constexpr int kWrittenWidth = 322;
inline constexpr int kWrittenHeight = 295;

inline constexpr WrittenControl kWrittenLayout[] = {
    { 1000, "", 5, 25, 210, 90, false }, // server log
    { 1001, "开始", 215, 5, 50, 14, false }, // server start
    { 1002, "结束", 265, 5, 50, 14, true }, // server stop
    { 1003, "发送", 265, 175, 50, 14, false }, // client send
    { 1004, "", 5, 175, 247, 14, false }, // client message
    { 1006, "", 49, 155, 85, 14, false }, // destination address
    { 1007, "", 170, 155, 25, 15, false }, // destination port
    { -1, "目的IP地址", 5, 157, 41, 8, false }, // label
    { -1, "目的端口", 136, 158, 33, 8, false }, // label
    { 1008, "", 55, 5, 80, 14, false }, // server address, read-only
    { 1009, "", 185, 5, 25, 15, false }, // server port
    { -1, "服务器IP地址", 5, 8, 49, 8, false }, // label
    { -1, "服务器端口", 140, 9, 41, 8, false }, // label
    { 1010, "回送", 287, 122, 32, 10, false }, // echo
    { 1012, "", 5, 195, 310, 90, false }, // client log
    { 1013, "开始", 215, 155, 50, 14, false }, // client start
    { 1014, "结束", 265, 155, 50, 14, true }, // client stop
    { 1016, "发送", 220, 120, 50, 14, false }, // reply send
    { 1017, "", 5, 120, 210, 14, false }, // reply text
    { 1018, "", 220, 25, 95, 75, false }, // peer list
    { 1020, "删除一项", 220, 102, 45, 14, false }, // delete one
    { 1021, "删除全部", 270, 102, 45, 14, false }, // delete all
};

} // namespace window_test
