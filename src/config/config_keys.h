// Every key of 配置.ini, its values and how a stored text is read. The file lives in the program
// directory, and every setting lives in its one section 配置项. Nothing is cached: each read opens the
// file, each write replaces it at once.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qw::config {

inline constexpr char kFileName[] = "配置.ini";
inline constexpr char kSection[] = "配置项";

// Keys.
inline constexpr char kAccessToken[] = "access_token";
inline constexpr char kApiKey[] = "API Key";
inline constexpr char kSecretKey[] = "Secret Key";
inline constexpr char kHotkey[] = "热键";
inline constexpr char kShowTips[] = "信息显示";
inline constexpr char kCopyResult[] = "识别完复制";
inline constexpr char kTrayIcon[] = "托盘显示";
// Where the recognition services are: host with an optional ":port". Missing gives the defaults.
inline constexpr char kApiHost[] = "api_host";
inline constexpr char kSogouHost[] = "sogou_host";

// Values.
inline constexpr char kShow[] = "显示";
inline constexpr char kHide[] = "不显示";
inline constexpr char kCopy[] = "复制";
inline constexpr char kNoCopy[] = "不复制";

inline constexpr char kDefaultApiHost[] = "aip.baidubce.com";
inline constexpr char kDefaultSogouHost[] = "ocr.shouji.sogou.com";

std::filesystem::path config_file_path(const std::filesystem::path& program_directory);
std::string read_key(const std::filesystem::path& program_directory, std::string_view key);
bool write_key(const std::filesystem::path& program_directory, std::string_view key, std::string_view value);

// How stored texts are understood. Comparisons are exact: case matters and no blanks are removed.
// "F1" to "F5" give virtual-key codes 112 to 116; anything else gives F1.
int hotkey_virtual_key(std::string_view stored);
// The tips show unless the text is exactly "不显示".
bool shows_tips(std::string_view stored);
// Only the exact text "复制" copies the result to the clipboard.
bool copies_result(std::string_view stored);
// The stored host, or the default when the key is missing or blank.
std::string api_host(const std::filesystem::path& program_directory);
std::string sogou_host(const std::filesystem::path& program_directory);

// Text for the hotkey list: "F1" .. "F5" for list positions 0 .. 4, empty for anything else.
std::string hotkey_name_for_position(int position);
// List position 0 .. 4 for "F1" .. "F5", -1 for any other text.
int hotkey_position(std::string_view stored);

}  // namespace qw::config
