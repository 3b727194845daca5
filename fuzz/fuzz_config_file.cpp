// read_config_key / write_config_key on any file contents, section, key and value, in a folder of
// this process's own.
//
// Input fields: the file's bytes, section, key, value, another section, another key; then a byte of
// choices (a value long enough to be cut on reading, the file missing at first).
// Properties, beside never crashing, hanging or leaking:
//  - a write succeeds exactly when section and key are not empty after dropping leading control
//    characters and blanks around them, and a refused write leaves the file as it was;
//  - a write keeps every other line byte for byte: it replaces one line of the key, or adds the key
//    (and the section) line, giving an unterminated last line its line end first;
//  - a read gives back the value as the profile functions see it: blanks (and the line end) around
//    it dropped, one pair of quotes removed, cut to the read buffer without splitting a character;
//  - any other key reads as before.
// The last three hold when the written line stays one key line: no line feed in the section, key or
// value, and a key that neither holds "=" nor begins with "[" or ";" (those begin a section or a
// comment, as they would for the profile functions).

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "common/config_file.h"
#include "common/text.h"
#include "fuzz_input.h"
#include "support/temp_dir.h"

namespace {

using qw::fuzz::FuzzInput;
using qw::fuzz::shown;

// A folder of this process's own, removed at exit. It lives on tmpfs where there is one: every
// write flushes the file to disk, which on a real disk would cut the run to a few hundred inputs
// a second.
std::filesystem::path scratch_base() {
  std::error_code error;
  const std::filesystem::path shm("/dev/shm");
  return std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path();
}

const std::filesystem::path& config_path() {
  static const qw::testing::TempDir folder(scratch_base());
  static const std::filesystem::path file = folder.path() / "config.ini";
  return file;
}

void write_file(const std::filesystem::path& file, std::string_view content) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view skip_leading_controls(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  return text;
}

// Blanks at both ends, and line-end bytes at the end: what the profile functions drop.
std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && (is_blank(text.back()) || text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
  return text;
}

std::string_view name_as_written(std::string_view name) { return trimmed(skip_leading_controls(name)); }

std::string_view without_quotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::vector<std::string_view> lines_of(std::string_view content) {
  std::vector<std::string_view> lines;
  while (!content.empty()) {
    const std::size_t newline = content.find('\n');
    const std::size_t length = newline == std::string_view::npos ? content.size() : newline + 1;
    lines.push_back(content.substr(0, length));
    content.remove_prefix(length);
  }
  return lines;
}

// The key name of an INI line, when it is a key line.
std::optional<std::string_view> key_of_line(std::string_view line) {
  line = trimmed(line);
  if (line.empty() || line.front() == ';' || line.front() == '[') return std::nullopt;
  return trimmed(line.substr(0, line.find('=')));
}

bool is_line_of_key(std::string_view line, std::string_view key) {
  const auto name = key_of_line(line);
  return name && qw::equals_ignore_case(*name, key);
}

// The line the write puts in: the key's name (in the file's own letter case when it was there),
// "=", the value exactly as given, the file's line end.
bool is_written_key_line(std::string_view line, std::string_view key, std::string_view value, std::string_view newline) {
  const std::size_t equals = line.find('=');
  return equals != std::string_view::npos && qw::equals_ignore_case(line.substr(0, equals), key) &&
         line.substr(equals + 1) == std::string(value) + std::string(newline);
}

void check_other_lines_kept(std::string_view before, std::string_view after, std::string_view section,
                            std::string_view key, std::string_view value) {
  const std::string newline = before.empty() || before.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  const auto old_lines = lines_of(before);
  const auto new_lines = lines_of(after);
  std::size_t same_head = 0;
  while (same_head < old_lines.size() && same_head < new_lines.size() && old_lines[same_head] == new_lines[same_head]) {
    ++same_head;
  }
  std::size_t same_tail = 0;
  while (same_tail < old_lines.size() - same_head && same_tail < new_lines.size() - same_head &&
         old_lines[old_lines.size() - 1 - same_tail] == new_lines[new_lines.size() - 1 - same_tail]) {
    ++same_tail;
  }
  const std::vector<std::string_view> removed(old_lines.begin() + same_head, old_lines.end() - same_tail);
  const std::vector<std::string_view> added(new_lines.begin() + same_head, new_lines.end() - same_tail);
  const std::string detail = "before " + shown(before, 600) + "\nafter  " + shown(after, 600);

  QW_FUZZ_CHECK(removed.size() <= 1, detail);
  std::size_t next = 0;
  bool key_line_seen = false;
  if (removed.size() == 1) {
    const std::string_view line = removed.front();
    if (line.back() != '\n' && !added.empty() && added.front() == std::string(line) + newline) {
      next = 1;  // the last line only got its line end (it may be the key's own line, unchanged)
      key_line_seen = added.size() == 1 && is_written_key_line(added.front(), key, value, newline);
    } else {
      QW_FUZZ_CHECK(is_line_of_key(line, key), "lost line " + shown(line) + "\n" + detail);
    }
  }
  const std::string section_line = "[" + std::string(section) + "]" + newline;
  for (; next < added.size(); ++next) {
    if (!key_line_seen && is_written_key_line(added[next], key, value, newline)) {
      key_line_seen = true;
    } else {
      QW_FUZZ_CHECK(added[next] == section_line && next + 1 < added.size(), "stray line " + shown(added[next]) + "\n" + detail);
    }
  }
  QW_FUZZ_CHECK(key_line_seen || (removed.empty() && added.empty()), detail);
}

void check_read_back(const std::filesystem::path& file, std::string_view section, std::string_view key,
                     std::string_view value) {
  const std::string full(without_quotes(trimmed(value)));
  const std::string read = qw::read_config_key(file, section, key);
  const std::size_t limit = qw::kConfigReadBufferSize - 1;
  const std::string detail = "value " + shown(value) + "\nread  " + shown(read);
  QW_FUZZ_CHECK(full.compare(0, read.size(), read) == 0 && read.size() <= limit, detail);
  QW_FUZZ_CHECK(read.size() == std::min(full.size(), limit) || (full.size() > limit && read.size() == limit - 1), detail);
}

bool stays_one_key_line(std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view name = name_as_written(key);
  return section.find('\n') == std::string_view::npos && key.find('\n') == std::string_view::npos &&
         value.find('\n') == std::string_view::npos && name.find('=') == std::string_view::npos &&
         name.front() != '[' && name.front() != ';';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string_view content = input.text();
  const std::string_view section = input.text();
  const std::string_view key = input.text();
  std::string value(input.text());
  const std::string_view other_section = input.text();
  const std::string_view other_key = input.text();
  const std::uint8_t choice = input.byte();
  // Repeated past the read buffer, so that reading it back must cut it.
  if ((choice & 1) && !value.empty()) {
    const std::string unit = value;
    while (value.size() <= qw::kConfigReadBufferSize) value += unit;
  }

  const std::filesystem::path& file = config_path();
  std::error_code ignored;
  if (choice & 2) {
    std::filesystem::remove(file, ignored);
  } else {
    write_file(file, content);
  }
  const std::string before = read_file(file);
  const std::string other_before = qw::read_config_key(file, other_section, other_key);
  QW_FUZZ_CHECK(qw::read_config_key(" \t\x01" + file.native(), other_section, other_key) == other_before,
                "leading controls of the path were not skipped");

  const bool written = qw::write_config_key(file, section, key, value);
  const std::string after = read_file(file);
  const bool names_usable = !name_as_written(section).empty() && !name_as_written(key).empty();
  QW_FUZZ_CHECK(written == names_usable, "write gave " + std::to_string(written));
  if (!written) {
    QW_FUZZ_CHECK(after == before, "a refused write changed the file");
    return 0;
  }
  if (!stays_one_key_line(section, key, value)) return 0;

  const std::string_view written_section = name_as_written(section);
  const std::string_view written_key = name_as_written(key);
  check_other_lines_kept(before, after, written_section, written_key, value);
  check_read_back(file, section, key, value);
  const bool same_key = qw::equals_ignore_case(name_as_written(other_section), written_section) &&
                        qw::equals_ignore_case(name_as_written(other_key), written_key);
  if (!same_key) {
    QW_FUZZ_CHECK(qw::read_config_key(file, other_section, other_key) == other_before,
                  "other key " + shown(other_key) + " changed from " + shown(other_before));
  }
  return 0;
}
