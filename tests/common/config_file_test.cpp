#include "common/config_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "common/file_io.h"
#include "support/temp_dir.h"

namespace qw {
namespace {

std::string file_text(const std::filesystem::path& file) { return bytes_to_text(read_file_bytes(file)); }

class ConfigFile : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::filesystem::path ini = dir.path() / "settings.ini";
  void set_content(std::string_view content) { ASSERT_TRUE(replace_file_atomically(ini, content)); }
};

TEST_F(ConfigFile, MissingFileSectionOrKeyReadsEmptyAndCreatesNothing) {
  EXPECT_EQ(read_config_key(ini, "配置项", "热键"), "");
  EXPECT_FALSE(std::filesystem::exists(ini));
  set_content("[other]\r\nkey=1\r\n");
  EXPECT_EQ(read_config_key(ini, "配置项", "key"), "");
  EXPECT_EQ(read_config_key(ini, "other", "missing"), "");
}

TEST_F(ConfigFile, ReadsLikeTheProfileFunctions) {
  set_content(
      "; comment=1\r\n"
      "[Top]\r\n"
      "  Name  =  spaced value  \r\n"
      "quoted=\"  kept inside  \"\r\n"
      "single='x'\r\n"
      "half=\"x\r\n"
      "empty=\r\n"
      "novalue\r\n"
      "dup=first\r\n"
      "dup=second\r\n"
      "[配置项]\r\n"
      "热键=F2\r\n"
      "识别完复制=复制\n");
  struct Case { std::string section, key, expected; };
  const Case cases[] = {
      {"top", "NAME", "spaced value"},
      {"  Top", "\t name", "spaced value"},
      {"Top", "quoted", "  kept inside  "},
      {"Top", "single", "x"},
      {"Top", "half", "\"x"},
      {"Top", "empty", ""},
      {"Top", "novalue", ""},
      {"Top", "dup", "first"},
      {"Top", "; comment", ""},
      {"配置项", "热键", "F2"},
      {"配置项", "识别完复制", "复制"},
      {"", "热键", ""},
      {"配置项", " \t", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(read_config_key(ini, c.section, c.key), c.expected) << c.section << "/" << c.key;
}

TEST_F(ConfigFile, LongValuesComeBackCutToTheBuffer) {
  const std::string long_value(20000, 'v');
  ASSERT_TRUE(write_config_key(ini, "s", "k", long_value));
  EXPECT_EQ(read_config_key(ini, "s", "k"), std::string(kConfigReadBufferSize - 1, 'v'));
  // A cut never splits a double-byte character.
  std::string chinese;
  while (chinese.size() < 12000) chinese += "中";
  ASSERT_TRUE(write_config_key(ini, "s", "k", chinese));
  const std::string read = read_config_key(ini, "s", "k");
  EXPECT_EQ(read.size(), kConfigReadBufferSize - 2);
  EXPECT_TRUE(read == chinese.substr(0, kConfigReadBufferSize - 2));
  ASSERT_TRUE(write_config_key(ini, "s", "k", "a" + chinese));
  EXPECT_EQ(read_config_key(ini, "s", "k").size(), kConfigReadBufferSize - 1);
}

TEST_F(ConfigFile, WriteCreatesFileAndSection) {
  ASSERT_TRUE(write_config_key(ini, "配置项", "热键", "F3"));
  EXPECT_EQ(file_text(ini), "[配置项]\r\n热键=F3\r\n");
  ASSERT_TRUE(write_config_key(ini, "配置项", "识别完复制", "复制"));
  EXPECT_EQ(file_text(ini), "[配置项]\r\n热键=F3\r\n识别完复制=复制\r\n");
  ASSERT_TRUE(write_config_key(ini, "other", "a", "1"));
  EXPECT_EQ(file_text(ini), "[配置项]\r\n热键=F3\r\n识别完复制=复制\r\n[other]\r\na=1\r\n");
}

TEST_F(ConfigFile, WriteKeepsEveryOtherLine) {
  set_content("; keep me\r\n[A]\r\nx = 1 \r\n\r\n[配置项]\r\n  热键 = F1\r\n# hash\r\n\r\n[B]\r\ny=2");
  ASSERT_TRUE(write_config_key(ini, "配置项", "热键", "F5"));
  ASSERT_TRUE(write_config_key(ini, "配置项", "new", "v"));
  ASSERT_TRUE(write_config_key(ini, "B", "z", "3"));
  EXPECT_EQ(file_text(ini),
            "; keep me\r\n[A]\r\nx = 1 \r\n\r\n[配置项]\r\n热键=F5\r\n# hash\r\nnew=v\r\n\r\n[B]\r\ny=2\r\nz=3\r\n");
  EXPECT_EQ(read_config_key(ini, "A", "x"), "1");
}

TEST_F(ConfigFile, EmptyNamesLeaveTheFileUntouched) {
  EXPECT_FALSE(write_config_key(ini, " ", "k", "v"));
  EXPECT_FALSE(write_config_key(ini, "s", "\x01\x02", "v"));
  EXPECT_FALSE(std::filesystem::exists(ini));
}

TEST_F(ConfigFile, UnwritableFolderFailsAndLeavesNothing) {
  const auto missing = dir.path() / "no-such-folder" / "a.ini";
  EXPECT_FALSE(write_config_key(missing, "s", "k", "v"));
  EXPECT_EQ(read_config_key(missing, "s", "k"), "");
}

// A reader on another thread sees the old value or the new, never a missing or half-written one.
TEST_F(ConfigFile, ConcurrentReadersNeverSeeAPartialFile) {
  const std::string filler(4000, 'f');
  ASSERT_TRUE(write_config_key(ini, "s", "filler", filler));
  ASSERT_TRUE(write_config_key(ini, "s", "k", "old"));
  std::atomic<bool> done{false};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!done) {
      const std::string v = read_config_key(ini, "s", "k");
      if (v != "old" && v != "new") ++bad;
      std::this_thread::yield();
    }
  });
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(write_config_key(ini, "s", "k", i % 2 ? "old" : "new"));
  done = true;
  reader.join();
  EXPECT_EQ(bad.load(), 0);
  std::size_t leftovers = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) leftovers += entry.path() != ini;
  EXPECT_EQ(leftovers, 0u);
}

}  // namespace
}  // namespace qw
