#include "web/web_request.h"

#include "web/cookie_text.h"
#include "web/request_builder.h"

namespace qw {
namespace {

constexpr int kHighestPort = 65535;

}  // namespace

Bytes web_request(std::string_view url, WebRequestOptions options) {
  TransportRequest request = build_transport_request(url, options);
  // A port that does not fit 16 bits would be cut to some other port by the platform.
  if (request.port < 1 || request.port > kHighestPort) return {};

  TransportResponse response = send_over_transport(request);
  if (!response.opened) return {};

  if (options.header_lines != nullptr) *options.header_lines = request.header_block;
  if (request.verb != "GET" && options.body_bytes != nullptr) *options.body_bytes = std::move(request.body);

  const std::string returned_headers = returned_header_text(response);
  std::string returned_cookies = cookies_from_headers(returned_headers);
  if (options.merge_cookies && options.cookies != nullptr) {
    returned_cookies = merge_cookie_text(*options.cookies, returned_cookies);
  }
  if (options.returned_headers != nullptr) *options.returned_headers = returned_headers;
  if (options.returned_cookies != nullptr) *options.returned_cookies = std::move(returned_cookies);
  return std::move(response.body);
}

}  // namespace qw
