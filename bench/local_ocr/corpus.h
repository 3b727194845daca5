// The benchmark's lines: everyday Chinese and English as they appear in screenshots, with digits
// and punctuation. Each is rendered at a screen size between 14 and 28 pixels.
#pragma once

#include <string_view>

namespace qw::bench {

inline constexpr std::string_view kChineseLines[] = {
    u8"青梧图片文本识别工具可以离线使用",
    u8"请把需要识别的图片拖到主窗口中",
    u8"识别完成以后文字会自动复制到剪贴板",
    u8"今天的会议改到下午三点在二楼举行",
    u8"本次更新修复了截图时窗口闪烁的问题",
    u8"批量模式会为每张图片写一个文本文件",
    u8"请在设置窗口中填写自己的接口密钥",
    u8"网络连接失败，请检查代理设置后重试",
    u8"订单编号为二零二四零一一五零零八号",
    u8"天气预报说明天有小雨，气温十二度",
    u8"图书馆周一至周五上午九点开门",
    u8"这份报告需要在周末之前提交给经理",
    u8"系统检测到新的版本，是否立即更新",
    u8"表格识别的结果会保存为电子表格文件",
    u8"火车票已经售完，请选择其他车次",
    u8"欢迎使用本软件，祝您工作顺利",
    u8"文件保存在程序所在的文件夹里",
    u8"高精度识别比普通识别更慢但更准确",
    u8"春节期间客服电话照常接听",
    u8"请勿在驾驶时使用手机查看信息",
    u8"学校运动会将于下个月举行",
    u8"快递已到达小区门口的服务站",
};

inline constexpr std::string_view kEnglishLines[] = {
    "The quick brown fox jumps over the lazy dog.",
    "Please save your work before closing the window.",
    "Recognition finished in 2 seconds.",
    "Meeting moved to Thursday at 3:30 PM, room 204.",
    "Your order #58213 has been shipped today.",
    "Click Settings to enter your own API key.",
    "Network error: the server could not be reached.",
    "Total amount due: $1,249.50 by March 15.",
    "Drag a rectangle over the text you want to copy.",
    "Batch mode writes one text file per picture.",
    "The library opens at nine in the morning.",
    "Version 1.9 fixes a crash when capturing the screen.",
    "Press F1 to capture a part of the screen.",
    "Copy the result to the clipboard automatically.",
    "All tests passed on both targets last night.",
    "Weather today: sunny with a high of 24 degrees.",
    "Send the report to the manager by Friday.",
    "Table results are saved as a spreadsheet file.",
    "Remember to back up your files every week.",
    "Thank you for using this small OCR utility.",
    "Error code 216201 means the image format is wrong.",
    "Keep the window on top of other programs.",
};

inline constexpr int kFontSizes[] = {14, 16, 18, 20, 22, 24, 26, 28};

}  // namespace qw::bench
