#include "config/config_keys.h"

#include <gtest/gtest.h>

#include "common/file_io.h"
#include "support/temp_dir.h"

namespace qw::config {
namespace {

TEST(ConfigKeys, StoredTextsAreReadExactly) {
  struct Case { std::string stored; int virtual_key; int position; bool tips; bool copies; };
  const Case cases[] = {
      {"F1", 112, 0, true, false}, {"F3", 114, 2, true, false}, {"F5", 116, 4, true, false},
      {"f2", 112, -1, true, false}, {"F6", 112, -1, true, false}, {"", 112, -1, true, false},
      {" F2", 112, -1, true, false}, {"不显示", 112, -1, false, false}, {"显示", 112, -1, true, false},
      {"复制", 112, -1, true, true}, {"不复制", 112, -1, true, false}, {"复制 ", 112, -1, true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hotkey_virtual_key(c.stored), c.virtual_key) << c.stored;
    EXPECT_EQ(hotkey_position(c.stored), c.position) << c.stored;
    EXPECT_EQ(shows_tips(c.stored), c.tips) << c.stored;
    EXPECT_EQ(copies_result(c.stored), c.copies) << c.stored;
  }
  EXPECT_EQ(hotkey_name_for_position(0), "F1");
  EXPECT_EQ(hotkey_name_for_position(4), "F5");
  EXPECT_EQ(hotkey_name_for_position(-1), "");
  EXPECT_EQ(hotkey_name_for_position(5), "");
}

TEST(ConfigKeys, FileBesideTheProgramInItsOneSection) {
  testing::TempDir dir;
  EXPECT_EQ(read_key(dir.path(), kHotkey), "");
  EXPECT_EQ(api_host(dir.path()), "aip.baidubce.com");
  EXPECT_EQ(sogou_host(dir.path()), "ocr.shouji.sogou.com");
  EXPECT_FALSE(std::filesystem::exists(config_file_path(dir.path())));  // reads create nothing

  ASSERT_TRUE(write_key(dir.path(), kHotkey, "F2"));
  ASSERT_TRUE(write_key(dir.path(), kApiHost, "localhost:8443"));
  EXPECT_EQ(config_file_path(dir.path()).filename().u16string(), u"\u914D\u7F6E.ini");
  EXPECT_EQ(bytes_to_text(read_file_bytes(config_file_path(dir.path()))),
            "[配置项]\r\n热键=F2\r\napi_host=localhost:8443\r\n");
  EXPECT_EQ(read_key(dir.path(), kHotkey), "F2");
  EXPECT_EQ(api_host(dir.path()), "localhost:8443");
  ASSERT_TRUE(write_key(dir.path(), kApiHost, " "));
  EXPECT_EQ(api_host(dir.path()), "aip.baidubce.com");
}

}  // namespace
}  // namespace qw::config
