// The one platform-specific step of web_request: send a fully prepared request and hand back what
// came back. transport_wininet.cpp (Windows) and transport_curl.cpp (elsewhere) implement
// send_over_transport; everything that decides what is sent lives in the portable code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/bytes.h"

namespace qw {

struct TransportTimeouts {
  int connect_ms = 15000;  // giving up on a host that does not accept the connection
  int no_data_ms = 30000;  // giving up on a connection over which nothing arrives
};

struct TransportRequest {
  bool https = false;
  std::string host;  // lower-case, without the port
  int port = 80;
  std::string verb;    // "GET", "POST" or "HEAD"
  std::string object;  // path and query, beginning with "/"
  std::string agent;   // the User-Agent unless the header block holds its own
  // The platform's proxy-list syntax ("http=host:port", "host:port", ...); empty: direct connection,
  // whatever the environment says.
  std::string proxy_list;
  std::string header_block;  // lines joined by CR LF, none after the last
  Bytes body;                // never sent with GET
  bool no_cookies = false;   // the platform's cookie store is neither read nor written
  bool no_redirect = false;
  TransportTimeouts timeouts;
};

struct TransportResponse {
  // False when the request could not even be set up (no handle): nothing was sent.
  bool opened = false;
  // The body of the final response; empty when the request or the reading of the body failed.
  Bytes body;
  // The final response's status line and header lines, each ended by CR LF; absent when no response
  // arrived or the block was too long for the platform's buffer.
  std::optional<std::string> raw_headers;
};

TransportResponse send_over_transport(const TransportRequest& request);

// WinInet's request flags for this request.
constexpr std::uint32_t kFlagReload = 0x80000000;
constexpr std::uint32_t kFlagNeedFile = 0x10;
constexpr std::uint32_t kFlagNoCookies = 0x80000;
constexpr std::uint32_t kFlagNoAutoRedirect = 0x200000;
constexpr std::uint32_t kFlagSecure = 0x800000;
constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x4000;
std::uint32_t request_flag_word(const TransportRequest& request);

// The proxy a client without proxy lists uses for one scheme, as "http://host:port", chosen from a
// proxy list as WinInet reads it: entries separated by spaces or ";", each "scheme=server" for one
// scheme or "server" for all. Empty when no entry applies.
std::string proxy_for_scheme(std::string_view proxy_list, bool https);

}  // namespace qw
