// File paths are std::filesystem::path everywhere; GBK text meets a path only through these.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qw {

std::filesystem::path path_from_text(std::string_view gbk);
std::string text_from_path(const std::filesystem::path& path);

// The folder that holds the running executable.
std::filesystem::path executable_path();
std::filesystem::path program_directory();

}  // namespace qw
