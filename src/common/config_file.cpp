#include "common/config_file.h"

#include <mutex>
#include <optional>
#include <vector>

#include "common/file_io.h"
#include "common/text.h"

namespace qw {
namespace {

std::string_view skip_leading_controls(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
  return text.substr(i);
}

std::optional<std::filesystem::path> usable_path(const std::filesystem::path& file) {
  const auto& native = file.native();
  std::size_t i = 0;
  while (i < native.size() && static_cast<unsigned>(native[i]) <= 32) ++i;
  if (i == native.size()) return std::nullopt;
  return std::filesystem::path(native.substr(i));
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && (is_blank(text.back()) || text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
  return text;
}

// One line of the file, with what it means to the profile functions.
struct IniLine {
  enum class Kind { other, section, key };
  Kind kind = Kind::other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
};

IniLine classify(std::string_view raw_line) {
  const std::string_view line = trim_blanks(raw_line);
  IniLine result;
  if (line.empty() || line.front() == ';') return result;
  if (line.front() == '[') {
    const std::size_t close = line.rfind(']');
    result.kind = IniLine::Kind::section;
    result.name = trim_blanks(close == std::string_view::npos ? line.substr(1) : line.substr(1, close - 1));
    return result;
  }
  const std::size_t equals = line.find('=');
  result.kind = IniLine::Kind::key;
  result.name = trim_blanks(line.substr(0, equals));
  if (equals != std::string_view::npos) result.value = trim_blanks(line.substr(equals + 1));
  return result;
}

// Lines with their terminators, so that a rewrite keeps every byte of the untouched ones.
std::vector<std::string_view> split_lines(std::string_view content) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t newline = content.find('\n', start);
    const std::size_t end = newline == std::string_view::npos ? content.size() : newline + 1;
    lines.push_back(content.substr(start, end - start));
    start = end;
  }
  return lines;
}

std::string_view unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The longest prefix that fits the read buffer without splitting a double-byte character.
std::string cut_to_read_buffer(std::string_view value) {
  const std::size_t limit = kConfigReadBufferSize - 1;
  if (value.size() <= limit) return std::string(value);
  std::size_t end = 0;
  while (end < value.size()) {
    const std::size_t next = end + character_length(value, end);
    if (next > limit) break;
    end = next;
  }
  return std::string(value.substr(0, end));
}

// Writers in this process take turns, so two writes never lose each other's key.
std::mutex& write_mutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

std::string read_config_key(const std::filesystem::path& file, std::string_view section, std::string_view key) {
  section = skip_leading_controls(section);
  key = skip_leading_controls(key);
  const auto path = usable_path(file);
  if (section.empty() || key.empty() || !path) return {};
  const auto bytes = try_read_file(*path);
  if (!bytes) return {};
  const std::string_view content = as_text_view(*bytes);
  const std::string_view wanted_section = trim_blanks(section);
  const std::string_view wanted_key = trim_blanks(key);
  bool in_section = false;
  for (const std::string_view raw : split_lines(content)) {
    const IniLine line = classify(raw);
    if (line.kind == IniLine::Kind::section) {
      in_section = equals_ignore_case(line.name, wanted_section);
    } else if (in_section && line.kind == IniLine::Kind::key && equals_ignore_case(line.name, wanted_key)) {
      return cut_to_read_buffer(unquote(line.value));
    }
  }
  return {};
}

bool write_config_key(const std::filesystem::path& file, std::string_view section, std::string_view key,
                      std::string_view value) {
  section = trim_blanks(skip_leading_controls(section));
  key = trim_blanks(skip_leading_controls(key));
  const auto path = usable_path(file);
  if (section.empty() || key.empty() || !path) return false;

  std::lock_guard lock(write_mutex());
  const Bytes bytes = read_file_bytes(*path);
  const std::string_view content = as_text_view(bytes);
  const std::vector<std::string_view> lines = split_lines(content);
  const std::string newline = content.find("\r\n") != std::string_view::npos || content.empty() ? "\r\n" : "\n";

  // Where the key's line is, or where a new one goes: after the last non-blank line of the section.
  std::optional<std::size_t> key_line, insert_after;
  bool in_section = false;
  for (std::size_t i = 0; i < lines.size() && !key_line; ++i) {
    const IniLine line = classify(lines[i]);
    if (line.kind == IniLine::Kind::section) {
      if (in_section) break;
      in_section = equals_ignore_case(line.name, section);
      if (in_section) insert_after = i;
    } else if (in_section) {
      if (line.kind == IniLine::Kind::key && equals_ignore_case(line.name, key)) key_line = i;
      if (!trim_blanks(lines[i]).empty()) insert_after = i;
    }
  }

  const auto terminated = [&](std::string_view line) {
    std::string text(line);
    if (text.empty() || text.back() != '\n') text += newline;
    return text;
  };
  std::string result;
  result.reserve(content.size() + key.size() + value.size() + section.size() + 8);
  if (key_line) {
    const IniLine old = classify(lines[*key_line]);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i == *key_line) {
        result.append(old.name).append("=").append(value).append(newline);
      } else {
        result.append(lines[i]);
      }
    }
  } else if (insert_after) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      result.append(i == *insert_after ? terminated(lines[i]) : std::string(lines[i]));
      if (i == *insert_after) result.append(key).append("=").append(value).append(newline);
    }
  } else {
    result.append(content);
    if (!result.empty() && result.back() != '\n') result.append(newline);
    result.append("[").append(section).append("]").append(newline);
    result.append(key).append("=").append(value).append(newline);
  }
  return replace_file_atomically(*path, result);
}

}  // namespace qw
