#include "web/request_builder.h"

#include "common/text.h"
#include "web/cookie_text.h"
#include "web/web_text.h"

namespace qw {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kHeaderBufferBytes = 5000;  // including the terminating zero

std::string verb_for(int method) {
  switch (method) {
    case 1: return "POST";
    case 2: return "HEAD";
    default: return "GET";
  }
}

std::string proxy_list_for(std::string_view proxy, bool https) {
  if (proxy.empty()) return {};
  // The plain-http proxy applies to http only; an https URL takes the list as given.
  return https ? std::string(proxy) : "http=" + std::string(proxy);
}

void append_line(std::string& block, std::string_view line) {
  block += kLineEnd;
  block += line;
}

}  // namespace

std::string user_agent_for(std::string_view header_lines) {
  if (!contains_text(header_lines, "User-Agent:", true)) return std::string(kDefaultUserAgent);
  const std::string agent = trim_spaces(text_between(std::string(header_lines) + "\r\n", "User-Agent:", kLineEnd));
  if (!agent.empty()) return agent;
  // The line is written in another letter case: take what follows the block's first colon.
  return value_after_colon(header_lines);
}

std::string complete_header_block(std::string_view header_lines, std::string_view url, const std::string* cookies) {
  std::string block(header_lines);
  if (block.empty()) {
    block = "Accept: */*";
  } else if (!contains_text(block, "Accept:")) {
    append_line(block, "Accept: */*");
  }
  if (!contains_text(block, "Referer:")) append_line(block, "Referer: " + std::string(url));
  if (!contains_text(block, "Accept-Language:")) append_line(block, "Accept-Language: zh-cn");
  if (!contains_text(block, "Content-Type:")) append_line(block, "Content-Type: application/x-www-form-urlencoded");
  if (cookies != nullptr && !cookies->empty()) {
    append_line(block, contains_text(*cookies, "Cookie:") ? *cookies : "Cookie: " + *cookies);
  }
  return block;
}

TransportRequest build_transport_request(std::string_view url, const WebRequestOptions& options) {
  const std::string header_lines = options.header_lines != nullptr ? *options.header_lines : std::string();
  TransportRequest request;
  request.verb = verb_for(options.method);
  request.https = is_https_url(url);
  request.host = url_host(url);
  request.port = url_port(url);
  // "host:" names no port: like WinInet, connect to the scheme's own.
  if (request.port == 0) request.port = request.https ? 443 : 80;
  request.object = url_object(url);
  request.agent = user_agent_for(header_lines);
  request.proxy_list = proxy_list_for(options.proxy, request.https);
  request.header_block = complete_header_block(header_lines, url, options.cookies);
  if (request.verb != "GET") {
    const bool has_bytes = options.body_bytes != nullptr && !options.body_bytes->empty();
    request.body = has_bytes ? *options.body_bytes : text_to_bytes(options.body_text);
  }
  request.no_cookies = options.cookies != nullptr;
  request.no_redirect = options.no_redirect;
  request.timeouts = options.timeouts;
  return request;
}

std::string returned_header_text(const TransportResponse& response) {
  if (!response.raw_headers || response.raw_headers->size() >= kHeaderBufferBytes) {
    return std::string(kHeaderBufferBytes, ' ');
  }
  return normalize_set_cookie_names(*response.raw_headers);
}

}  // namespace qw
