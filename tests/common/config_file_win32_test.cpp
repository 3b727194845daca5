// Our INI code against the real profile functions: what one writes, the other reads.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/config_file.h"
#include "common/file_io.h"
#include "support/temp_dir.h"

namespace qw {
namespace {

// The A functions take the file name in the ANSI code page, which the tests run with as 936.
std::string ansi_path(const std::filesystem::path& path) {
  const std::wstring wide = path.wstring();
  char buffer[MAX_PATH * 2] = {};
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
  return buffer;
}

std::string profile_read(const std::filesystem::path& file, const char* section, const char* key) {
  char buffer[10240] = {};
  GetPrivateProfileStringA(section, key, nullptr, buffer, sizeof buffer, ansi_path(file).c_str());
  return buffer;
}

TEST(ConfigFileInterop, TheTestsRunInCodePage936) { EXPECT_EQ(GetACP(), 936u); }

TEST(ConfigFileInterop, ProfileFunctionWritesAreReadByOurCode) {
  testing::TempDir dir;
  const auto ini = dir.path() / L"\u914D\u7F6E.ini";  // 配置.ini
  const std::string path = ansi_path(ini);
  ASSERT_TRUE(WritePrivateProfileStringA("配置项", "热键", "F4", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("配置项", "API Key", "键 值", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("其他", "识别完复制", "复制", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("配置项", "热键", "F2", path.c_str()));
  EXPECT_EQ(read_config_key(ini, "配置项", "热键"), "F2");
  EXPECT_EQ(read_config_key(ini, "配置项", "api key"), "键 值");
  EXPECT_EQ(read_config_key(ini, "其他", "识别完复制"), "复制");
  EXPECT_EQ(read_config_key(ini, "配置项", "识别完复制"), "");
}

TEST(ConfigFileInterop, OurWritesAreReadByTheProfileFunctions) {
  testing::TempDir dir;
  const auto ini = dir.path() / L"\u914D\u7F6E.ini";
  ASSERT_TRUE(write_config_key(ini, "配置项", "信息显示", "不显示"));
  ASSERT_TRUE(write_config_key(ini, "配置项", "access_token", "25.abc"));
  ASSERT_TRUE(write_config_key(ini, "第二节", "托盘显示", "显示"));
  ASSERT_TRUE(write_config_key(ini, "配置项", "信息显示", "显示"));
  EXPECT_EQ(profile_read(ini, "配置项", "信息显示"), "显示");
  EXPECT_EQ(profile_read(ini, "配置项", "ACCESS_TOKEN"), "25.abc");
  EXPECT_EQ(profile_read(ini, "第二节", "托盘显示"), "显示");
  // And the mixture: the profile functions add to a file we wrote, we read it back.
  ASSERT_TRUE(WritePrivateProfileStringA("配置项", "热键", "F3", ansi_path(ini).c_str()));
  EXPECT_EQ(read_config_key(ini, "配置项", "热键"), "F3");
  EXPECT_EQ(read_config_key(ini, "配置项", "access_token"), "25.abc");
}

}  // namespace
}  // namespace qw
