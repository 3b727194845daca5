#include "web/web_text.h"

#include <limits>

#include "common/text.h"

namespace qw {

std::string text_between(std::string_view text, std::string_view start_marker, std::string_view end_marker) {
  const int start = find_text(text, start_marker);
  if (start == -1) return {};
  const int value_start = start + static_cast<int>(start_marker.size());
  const int end = find_text(text, end_marker, value_start);
  if (end == -1) return {};
  return std::string(text.substr(value_start - 1, end - value_start));
}

std::string value_after_colon(std::string_view text) {
  const int colon = find_text(text, ":");
  if (colon == -1) return {};
  return trim_spaces(text.substr(colon));
}

bool is_https_url(std::string_view url) { return to_lower_ascii(left_text(url, 8)) == "https://"; }

std::string url_host(std::string_view url, bool keep_port) {
  std::string text = to_lower_ascii(url);
  if (right_text(text, 1) != "/") text += "/";
  std::string marker = "https://";
  if (!starts_with_text(text, marker)) {
    marker = "http://";
    if (!contains_text(text, marker)) text = marker + text;
  }
  std::string host = text_between(text, marker, "/");
  if (!keep_port) {
    const int colon = find_text(host, ":");
    if (colon != -1) host = left_text(host, colon - 1);
  }
  return host;
}

int url_port(std::string_view url) {
  const std::string host = url_host(url, true);
  const int colon = find_last_text(host, ":");
  if (colon == -1) return to_lower_ascii(left_text(url, 5)) == "https" ? 443 : 80;
  // Only leading digits count: no sign, no white space. A number too large for any port is kept
  // large (not wrapped) so that the caller sees it as invalid.
  const std::string digits = full_width_to_ascii(host.substr(colon));
  long long port = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') break;
    port = port * 10 + (c - '0');
    if (port > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  }
  return static_cast<int>(port);
}

std::string url_object(std::string_view url) {
  const std::string host = url_host(url, false);
  // The host is looked for after the scheme: a host such as "t" or "http" also occurs inside
  // "http://", and finding it there would make the object start at the scheme's "//".
  const int scheme_end = starts_with_text(url, "http", true) ? find_text(url, "://") : -1;
  const int search_start = scheme_end == -1 ? 1 : scheme_end + 3;
  const int host_position = find_text(url, host, search_start, true);
  const int slash = find_text(url, "/", host_position == -1 ? search_start : host_position);
  if (slash == -1) return "/";
  return std::string(url.substr(slash - 1));
}

}  // namespace qw
