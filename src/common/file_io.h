// Whole-file reads and atomic whole-file replacement.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "common/bytes.h"

namespace qw {

// The file's bytes, or nothing when it cannot be read. Readers never block a concurrent replacement.
std::optional<Bytes> try_read_file(const std::filesystem::path& file);
// The file's bytes; empty when it cannot be read.
Bytes read_file_bytes(const std::filesystem::path& file);

// Writes `content` to a new file beside `file`, flushes it and renames it over `file`, so a reader
// sees the old content or the new, never a part, and a crash never leaves a truncated file.
// Returns false (and leaves `file` as it was) when any step fails.
bool replace_file_atomically(const std::filesystem::path& file, std::string_view content);

}  // namespace qw
