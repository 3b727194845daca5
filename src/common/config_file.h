// Reading and writing one key of an INI file, behaving like the Windows profile functions
// (GetPrivateProfileStringA / WritePrivateProfileStringA) on GBK files, on every target.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qw {

// A read gives at most this many bytes less one (the profile functions' buffer with its zero).
constexpr std::size_t kConfigReadBufferSize = 10240;

// The value of `key` in `section`, or empty text when the file, the section or the key is missing.
// Section and key names match ignoring ASCII letter case; blanks around names and values are
// dropped, and one pair of quotes around a value is removed. Leading characters with codes up to 32
// are skipped in the path, section and key; when one of them is then empty the file is not read.
std::string read_config_key(const std::filesystem::path& file, std::string_view section, std::string_view key);

// Sets `key` in `section` to `value`, creating the file and the section when needed and keeping
// every other line of the file as it is. The file is replaced atomically. Returns false when the
// file could not be written (or a name is empty after skipping leading control characters).
bool write_config_key(const std::filesystem::path& file, std::string_view section, std::string_view key,
                      std::string_view value);

}  // namespace qw
