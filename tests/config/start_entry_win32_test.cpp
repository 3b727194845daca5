#include <windows.h>

#include <gtest/gtest.h>

#include "config/start_entry.h"

namespace qw::config {
namespace {

std::wstring stored_data() {
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  DWORD type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return type == REG_SZ ? std::wstring(data) : L"<wrong type>";
}

TEST(StartEntry, WrittenTestedAndDeletedInTheRunKey) {
  const std::filesystem::path exe = L"C:\\\u8F6F\u4EF6\\qingwu-ocr.exe";  // C:\软件\qingwu-ocr.exe
  ASSERT_TRUE(delete_start_entry() || !start_entry_exists());
  EXPECT_FALSE(start_entry_exists());

  EXPECT_TRUE(write_start_entry(exe));
  EXPECT_TRUE(start_entry_exists());
  EXPECT_EQ(stored_data(), exe.wstring());

  // Written again with another path: the value follows; only its existence is tested.
  EXPECT_TRUE(write_start_entry(L"D:\\qingwu-ocr.exe"));
  EXPECT_EQ(stored_data(), L"D:\\qingwu-ocr.exe");

  EXPECT_TRUE(delete_start_entry());
  EXPECT_FALSE(start_entry_exists());
  EXPECT_TRUE(delete_start_entry());  // a missing value is no error
}

}  // namespace
}  // namespace qw::config
