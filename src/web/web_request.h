// web_request: the program's one HTTP routine. It sends one request and returns the response body,
// empty on any failure; it shows nothing and throws nothing.
//
//   Bytes answer = web_request(url, {1, "image=" + form_text});   // POST a form
//
//   std::string cookies, headers;
//   WebRequestOptions options;
//   options.cookies = &cookies;            // sent, and merged with what the answer sets
//   options.returned_headers = &headers;
//   Bytes page = web_request(url, options);
//
// Options left at their defaults are "left out". `cookies`, `header_lines` and `body_bytes` are in-out:
// they point at the caller's variables, which web_request writes back. Supplying `cookies` (even
// empty) switches the platform's own cookie store off for the call and lets the merge run.
#pragma once

#include <string>
#include <string_view>

#include "common/bytes.h"
#include "web/transport.h"

namespace qw {

constexpr std::string_view kDefaultUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

struct WebRequestOptions {
  int method = 0;  // 0 GET, 1 POST, 2 HEAD; anything else is GET
  std::string body_text;  // the body when body_bytes is empty
  std::string* cookies = nullptr;           // in-out; nullptr: not supplied
  std::string* returned_cookies = nullptr;  // out
  std::string* header_lines = nullptr;      // in-out: extra lines in, the whole block sent out
  std::string* returned_headers = nullptr;  // out: the response's raw header block
  bool no_redirect = false;
  Bytes* body_bytes = nullptr;  // in-out: takes precedence over body_text; the body sent out
  std::string proxy;            // empty: direct connection
  bool merge_cookies = true;
  TransportTimeouts timeouts;   // tests shorten them; callers keep the defaults
};

Bytes web_request(std::string_view url, WebRequestOptions options = {});

}  // namespace qw
