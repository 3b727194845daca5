// The recognition platform as the program uses it: hosts, paths, the built-in credentials, and the
// access token a run sends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qw::service {

// Used when 配置.ini holds no usable token (fewer than 6 bytes).
inline constexpr char kBuiltinAccessToken[] =
    "25.c7e1d0f4a9b3c8e2d6f1a0b5c4e7d913.1728017.1609871234.731864-20231507";
inline constexpr char kBuiltinApiKey[] = "Qe7rTb2WkLpZ8sHd4MnYc3Fa";
inline constexpr char kBuiltinSecretKey[] = "Wq4eRz8uNm2kJd7sLa9fGh3pXc6vBn1T";
inline constexpr std::size_t kShortestUsableToken = 6;

inline constexpr char kDocumentationHost[] = "ai.baidu.com";
inline constexpr char kTokenPath[] = "/oauth/2.0/token?";
inline constexpr char kGeneralBasicPath[] = "/rest/2.0/ocr/v1/general_basic?access_token=";
inline constexpr char kAccurateBasicPath[] = "/rest/2.0/ocr/v1/accurate_basic?access_token=";
inline constexpr char kGeneralPath[] = "/rest/2.0/ocr/v1/general?access_token=";
inline constexpr char kTableRequestPath[] = "/rest/2.0/solution/v1/form_ocr/request?access_token=";
inline constexpr char kTableResultPath[] = "/rest/2.0/solution/v1/form_ocr/get_request_result?access_token=";

// "https://" + the API host of 配置.ini (or the default) + `path_and_query`.
std::string api_url(const std::filesystem::path& program_directory, std::string_view path_and_query);
// The stored access token, or the built-in one when the stored text is shorter than 6 bytes.
std::string access_token_for_run(const std::filesystem::path& program_directory);
// "http://" + the documentation host + `path`.
std::string documentation_url(std::string_view path);

}  // namespace qw::service
