#include "web/cookie_text.h"

#include "common/text.h"
#include "web/web_text.h"

namespace qw {
namespace {

constexpr std::string_view kEntrySeparator = "; ";

bool is_deletion_entry(std::string_view entry) { return right_text(entry, 8) == "=deleted"; }

// Joins with "; " the way the cookie texts are written: each entry followed by the separator, the
// last separator removed again.
std::string join_entries(const std::vector<std::string>& entries) {
  std::string joined;
  for (const auto& entry : entries) joined += entry + std::string(kEntrySeparator);
  return left_text(joined, static_cast<long long>(joined.size()) - static_cast<long long>(kEntrySeparator.size()));
}

}  // namespace

std::string cookie_name(std::string_view entry) {
  const int equals = find_text(entry, "=");
  return trim_spaces(equals == -1 ? entry : entry.substr(0, equals - 1));
}

bool has_cookie_named(const std::vector<std::string>& entries, std::string_view name) {
  for (const auto& entry : entries) {
    if (cookie_name(entry) == name) return true;
  }
  return false;
}

int item_index(const std::vector<std::string>& items, std::string_view text) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) return static_cast<int>(i + 1);
  }
  return -1;
}

std::string remove_duplicate_items(std::string_view text, std::string_view separator) {
  std::vector<std::string> seen;
  std::string result;
  for (auto& item : split_text(text, separator)) {
    if (item_index(seen, item) != -1) continue;
    result += item + std::string(separator);
    seen.push_back(std::move(item));
  }
  return left_text(result, static_cast<long long>(result.size()) - static_cast<long long>(separator.size()));
}

std::string merge_cookie_text(std::string& old_cookies, std::string& new_cookies) {
  old_cookies = remove_spaces(old_cookies);
  new_cookies = remove_spaces(new_cookies);
  std::vector<std::string> working = split_text(new_cookies, ";");
  // The list grows while it is checked, so of several old entries with one name only the first
  // one is taken.
  for (auto& old_entry : split_text(old_cookies, ";")) {
    if (!has_cookie_named(working, cookie_name(old_entry))) working.push_back(std::move(old_entry));
  }
  std::vector<std::string> kept;
  for (auto& entry : working) {
    if (!is_deletion_entry(entry)) kept.push_back(std::move(entry));
  }
  old_cookies = remove_duplicate_items(join_entries(kept), kEntrySeparator);
  return old_cookies;
}

std::string normalize_set_cookie_names(std::string_view header_block) {
  return replace_all(header_block, "Set-Cookie", "Set-Cookie", true);
}

std::string cookies_from_headers(std::string_view header_block) {
  std::vector<std::string> entries;
  for (const auto& line : split_text(header_block, "\r\n")) {
    if (!contains_text(line, "Set-Cookie")) continue;
    if (contains_text(line, ";")) {
      entries.push_back(trim_spaces(text_between(line, "Set-Cookie:", ";")));
    } else {
      entries.push_back(trim_spaces(replace_all(line, "Set-Cookie:", "", true)));
    }
  }
  return join_entries(entries);
}

}  // namespace qw
