// The start-with-Windows entry: the value "ocr" under the current user's Run key, holding the
// executable's full path (REG_SZ, no quotes, no arguments).
#pragma once

#include <filesystem>

namespace qw::config {

inline constexpr wchar_t kRunKeyPath[] = L"software\\microsoft\\windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"ocr";

// Each returns whether the registry call succeeded; the settings window does not look.
bool write_start_entry(const std::filesystem::path& executable);
bool delete_start_entry();
// True when the value exists; its data is not compared with the current executable's path.
bool start_entry_exists();

}  // namespace qw::config
