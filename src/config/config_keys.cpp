#include "config/config_keys.h"

#include "common/config_file.h"
#include "common/paths.h"
#include "common/text.h"

namespace qw::config {
namespace {

constexpr int kVirtualKeyF1 = 112;
constexpr const char* kHotkeyNames[] = {"F1", "F2", "F3", "F4", "F5"};

std::string host_or_default(const std::filesystem::path& program_directory, std::string_view key,
                            std::string_view fallback) {
  const std::string stored = trim_spaces(read_key(program_directory, key));
  return stored.empty() ? std::string(fallback) : stored;
}

}  // namespace

std::filesystem::path config_file_path(const std::filesystem::path& program_directory) {
  return program_directory / path_from_text(kFileName);
}

std::string read_key(const std::filesystem::path& program_directory, std::string_view key) {
  return read_config_key(config_file_path(program_directory), kSection, key);
}

bool write_key(const std::filesystem::path& program_directory, std::string_view key, std::string_view value) {
  return write_config_key(config_file_path(program_directory), kSection, key, value);
}

int hotkey_position(std::string_view stored) {
  for (int i = 0; i < 5; ++i) {
    if (stored == kHotkeyNames[i]) return i;
  }
  return -1;
}

int hotkey_virtual_key(std::string_view stored) {
  const int position = hotkey_position(stored);
  return kVirtualKeyF1 + (position < 0 ? 0 : position);
}

std::string hotkey_name_for_position(int position) {
  return position >= 0 && position < 5 ? kHotkeyNames[position] : "";
}

bool shows_tips(std::string_view stored) { return stored != kHide; }

bool copies_result(std::string_view stored) { return stored == kCopy; }

std::string api_host(const std::filesystem::path& program_directory) {
  return host_or_default(program_directory, kApiHost, kDefaultApiHost);
}

std::string sogou_host(const std::filesystem::path& program_directory) {
  return host_or_default(program_directory, kSogouHost, kDefaultSogouHost);
}

}  // namespace qw::config
