// The URL, text and cookie helpers and the request builder on any texts a caller or a server hands
// them: URLs from settings, header lines, cookie texts and response header blocks.
//
// Input fields: url, header lines, kept cookies, response header block, start marker, end marker,
// separator, proxy list, body; then a byte choosing the method and the options.
// Properties: nothing crashes, hangs or leaks, and each result has the shape its header promises.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "fuzz_input.h"
#include "web/cookie_text.h"
#include "web/request_builder.h"
#include "web/transport.h"
#include "web/web_text.h"

namespace {

using qw::fuzz::FuzzInput;
using qw::fuzz::shown;

constexpr std::size_t kHeaderBufferBytes = 5000;

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool has_upper_case_letter(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); i += qw::character_length(text, i)) {
    if (qw::character_length(text, i) == 1 && text[i] >= 'A' && text[i] <= 'Z') return true;
  }
  return false;
}

bool contains(const std::vector<std::string>& items, std::string_view item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

void check_url(std::string_view url) {
  const std::string host = qw::url_host(url);
  const std::string host_and_port = qw::url_host(url, true);
  const std::string detail = "url " + shown(url) + "\nhost " + shown(host) + "\nhost:port " + shown(host_and_port);
  QW_FUZZ_CHECK(!has_upper_case_letter(host) && !has_upper_case_letter(host_and_port), detail);
  QW_FUZZ_CHECK(!qw::contains_text(host_and_port, "/"), detail);
  QW_FUZZ_CHECK(!qw::contains_text(host, ":"), detail);
  QW_FUZZ_CHECK(host_and_port.compare(0, host.size(), host) == 0, detail);
  QW_FUZZ_CHECK(qw::url_port(url) >= 0, detail);
  const std::string object = qw::url_object(url);
  QW_FUZZ_CHECK(!object.empty() && object.front() == '/', detail + "\nobject " + shown(object));
  QW_FUZZ_CHECK(qw::is_https_url(url) == (qw::to_lower_ascii(qw::left_text(url, 8)) == "https://"), detail);
}

void check_extractions(std::string_view text, std::string_view start_marker, std::string_view end_marker,
                       std::string_view separator) {
  const std::string between = qw::text_between(text, start_marker, end_marker);
  if (!between.empty()) {
    const std::string framed = std::string(start_marker) + between + std::string(end_marker);
    QW_FUZZ_CHECK(text.find(framed) != std::string_view::npos, "between " + shown(between) + " in " + shown(text));
  }
  const std::string after_colon = qw::value_after_colon(text);
  QW_FUZZ_CHECK(after_colon == qw::trim_spaces(after_colon), "untrimmed " + shown(after_colon));
  if (!qw::contains_text(text, ":")) QW_FUZZ_CHECK(after_colon.empty(), "no colon in " + shown(text));

  const std::string unique = qw::remove_duplicate_items(text, separator);
  QW_FUZZ_CHECK(unique.size() <= text.size(), shown(text) + " -> " + shown(unique));
  if (!qw::contains_text(text, separator)) QW_FUZZ_CHECK(unique == text, shown(text) + " -> " + shown(unique));
}

bool is_deletion_entry(std::string_view entry) { return qw::right_text(entry, 8) == "=deleted"; }

// The merge on ASCII texts, where splitting its result again is exact: only entries that came in,
// each once, the new ones kept, none deleted, and no old one whose name a new one took.
void check_cookie_merge(std::string_view kept_cookies, std::string_view set_cookies) {
  std::string old_cookies(kept_cookies), new_cookies(set_cookies);
  const std::string merged = qw::merge_cookie_text(old_cookies, new_cookies);
  QW_FUZZ_CHECK(merged == old_cookies, "returned " + shown(merged) + " kept " + shown(old_cookies));
  QW_FUZZ_CHECK(!qw::contains_text(new_cookies, " "), "spaces left in " + shown(new_cookies));
  if (!is_ascii(kept_cookies) || !is_ascii(set_cookies)) return;

  const auto new_entries = qw::split_text(qw::remove_spaces(set_cookies), ";");
  const auto old_entries = qw::split_text(qw::remove_spaces(kept_cookies), ";");
  const auto entries = qw::split_text(merged, "; ");
  const std::string detail = "old " + shown(kept_cookies) + "\nnew " + shown(set_cookies) + "\nmerged " + shown(merged);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& entry = entries[i];
    QW_FUZZ_CHECK(!is_deletion_entry(entry), detail);
    QW_FUZZ_CHECK(std::find(entries.begin(), entries.begin() + i, entry) == entries.begin() + i, detail);
    QW_FUZZ_CHECK(contains(new_entries, entry) || contains(old_entries, entry), detail);
    if (!contains(new_entries, entry)) {
      QW_FUZZ_CHECK(!qw::has_cookie_named(new_entries, qw::cookie_name(entry)), detail);
    }
  }
  for (const auto& entry : new_entries) {
    if (!entry.empty() && !is_deletion_entry(entry)) QW_FUZZ_CHECK(contains(entries, entry), detail);
  }
}

void check_header_block(std::string_view header_block, bool arrived) {
  const std::string normalized = qw::normalize_set_cookie_names(header_block);
  QW_FUZZ_CHECK(qw::equals_ignore_case(normalized, header_block), shown(header_block) + " -> " + shown(normalized));
  (void)qw::cookies_from_headers(normalized);

  qw::TransportResponse response;
  if (arrived) response.raw_headers = std::string(header_block);
  const std::string returned = qw::returned_header_text(response);
  if (!arrived || header_block.size() >= kHeaderBufferBytes) {
    QW_FUZZ_CHECK(returned == std::string(kHeaderBufferBytes, ' '), "long block not blanked");
  } else {
    QW_FUZZ_CHECK(returned == normalized, "returned block differs");
  }
}

void check_request(std::string_view url, std::string header_lines, std::optional<std::string> cookies,
                   std::string_view proxy, std::string_view body, std::uint8_t choice) {
  qw::WebRequestOptions options;
  options.method = choice % 4;  // 3 is no method at all, which means GET
  options.body_text = std::string(body);
  if (choice & 4) options.header_lines = &header_lines;
  if (cookies) options.cookies = &*cookies;
  options.proxy = std::string(proxy);
  options.no_redirect = (choice & 8) != 0;
  qw::Bytes body_bytes = qw::text_to_bytes(body);
  if (choice & 16) options.body_bytes = &body_bytes;

  const qw::TransportRequest request = qw::build_transport_request(url, options);
  const std::string detail = "url " + shown(url) + "\nheaders " + shown(header_lines);
  QW_FUZZ_CHECK(request.verb == "GET" || request.verb == "POST" || request.verb == "HEAD", detail);
  if (request.verb == "GET") QW_FUZZ_CHECK(request.body.empty(), detail);
  if (request.verb != "GET") QW_FUZZ_CHECK(request.body == qw::text_to_bytes(body), detail);
  QW_FUZZ_CHECK(request.port > 0, detail + "\nport " + std::to_string(request.port));
  QW_FUZZ_CHECK(request.host == qw::url_host(url), detail);
  QW_FUZZ_CHECK(!request.object.empty() && request.object.front() == '/', detail);
  QW_FUZZ_CHECK(request.https == qw::is_https_url(url), detail);
  QW_FUZZ_CHECK(!request.agent.empty() || qw::contains_text(header_lines, "User-Agent:", true), detail);
  const std::string given = options.header_lines ? header_lines : std::string();
  QW_FUZZ_CHECK(request.header_block.compare(0, given.size(), given) == 0, detail);
  QW_FUZZ_CHECK(qw::contains_text(request.header_block, "Referer:"), detail);
  if (cookies && !cookies->empty()) QW_FUZZ_CHECK(qw::contains_text(request.header_block, "Cookie:"), detail);
  QW_FUZZ_CHECK(request.no_cookies == cookies.has_value(), detail);
  if (!request.proxy_list.empty()) {
    QW_FUZZ_CHECK(request.proxy_list == proxy || request.proxy_list == "http=" + std::string(proxy), detail);
  }
  (void)qw::request_flag_word(request);
  for (const bool https : {false, true}) {
    const std::string proxy_server = qw::proxy_for_scheme(proxy, https);
    QW_FUZZ_CHECK(proxy_server.empty() || proxy_server.find("://") != std::string::npos, shown(proxy_server));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string_view url = input.text();
  const std::string_view header_lines = input.text();
  const std::string_view kept_cookies = input.text();
  const std::string_view header_block = input.text();
  const std::string_view start_marker = input.text();
  const std::string_view end_marker = input.text();
  const std::string_view separator = input.text();
  const std::string_view proxy = input.text();
  const std::string_view body = input.text();
  const std::uint8_t choice = input.byte();

  check_url(url);
  check_url(header_lines);  // a seed that is one long text still reaches the URL pieces
  check_extractions(header_lines, start_marker.empty() ? "User-Agent:" : start_marker,
                    end_marker.empty() ? "\r\n" : end_marker, separator.empty() ? ";" : separator);
  check_extractions(url, start_marker, end_marker, separator);
  check_cookie_merge(kept_cookies, qw::cookies_from_headers(qw::normalize_set_cookie_names(header_block)));
  check_cookie_merge(kept_cookies, header_lines);
  check_header_block(header_block, (choice & 64) == 0);
  (void)qw::user_agent_for(header_lines);
  (void)qw::complete_header_block(header_lines, url, nullptr);

  std::optional<std::string> cookies;
  if (choice & 32) cookies = std::string(kept_cookies);
  check_request(url, std::string(header_lines), cookies, proxy, body, choice);
  return 0;
}
