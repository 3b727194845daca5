// The transport on systems without WinInet: libcurl, set up to give WinInet's effects. No cached
// copies (curl keeps none), no headers of curl's own beyond Host, User-Agent and Content-Length,
// redirects followed unless told not to, the body read to its end, and the final response's raw
// header block in WinInet's form. Each call has its own handle; no connection is reused.
#include <curl/curl.h>

#include <cstdlib>
#include <memory>

#include "common/text.h"
#include "web/transport.h"

namespace qw {
namespace {

constexpr long kMostRedirects = 10;

struct CurlEasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;

struct CurlListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListCleanup>;

// curl_global_init is not thread-safe; a function-local static runs it once, before the first
// worker's handle, whichever thread gets there first.
bool curl_ready() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

struct Received {
  Bytes body;
  std::string header_block;  // of the response being read; starts over at every status line
  bool has_status_line = false;
};

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
  auto& received = *static_cast<Received*>(user);
  received.body.insert(received.body.end(), data, data + size * count);
  return size * count;
}

// curl hands over the headers of every response, intermediate 100 and redirect answers included;
// only the last one's block is kept. Lines are ended by CR LF whatever the server wrote.
std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
  auto& received = *static_cast<Received*>(user);
  std::string_view line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (starts_with_text(line, "HTTP/")) {
    received.header_block.clear();
    received.has_status_line = true;
  }
  received.header_block.append(line);
  received.header_block.append("\r\n");
  return size * count;
}

// One curl header entry per line of the block, sent as written. An empty "Expect:" keeps curl from
// adding "Expect: 100-continue" to large bodies unless the caller asked for an Expect line.
CurlList header_list(std::string_view header_block) {
  curl_slist* list = nullptr;
  bool has_expect = false;
  for (const auto& line : split_text(header_block, "\r\n")) {
    if (line.empty()) continue;
    if (starts_with_text(line, "Expect:", true)) has_expect = true;
    curl_slist* longer = curl_slist_append(list, line.c_str());
    if (longer == nullptr) break;
    list = longer;
  }
  if (!has_expect) {
    if (curl_slist* longer = curl_slist_append(list, "Expect:")) list = longer;
  }
  return CurlList(list);
}

std::string request_url(const TransportRequest& request) {
  // WinInet escapes spaces in the object and nothing else; curl refuses a URL with raw spaces.
  return std::string(request.https ? "https://" : "http://") + request.host + ":" + std::to_string(request.port) +
         replace_all(request.object, " ", "%20");
}

long seconds_rounded_up(int milliseconds) { return milliseconds <= 0 ? 1 : (milliseconds + 999) / 1000; }

}  // namespace

TransportResponse send_over_transport(const TransportRequest& request) {
  TransportResponse response;
  if (!curl_ready()) return response;
  CurlEasy easy(curl_easy_init());
  if (!easy) return response;
  CURL* handle = easy.get();
  Received received;
  const std::string url = request_url(request);
  const CurlList headers = header_list(request.header_block);

  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, request.agent.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, on_body);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, on_header);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &received);

  if (request.verb == "POST") {
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    // Never null: curl would read the body from stdin instead.
    const char* body = request.body.empty() ? "" : reinterpret_cast<const char*>(request.body.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body);
  } else if (request.verb == "HEAD") {
    // curl cannot send a body with HEAD; an answer to HEAD has none either.
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
  }

  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, request.no_redirect ? 0L : 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMostRedirects);
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");

  // An empty proxy means a direct connection: "" also keeps curl from taking http_proxy,
  // https_proxy or no_proxy from the environment.
  const std::string proxy = proxy_for_scheme(request.proxy_list, request.https);
  curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(handle, CURLOPT_NOPROXY, "");

  // A host that never accepts, or a connection that goes quiet, must not hold a worker forever.
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.timeouts.connect_ms));
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, seconds_rounded_up(request.timeouts.no_data_ms));

  // Certificates are always checked against the host name and a trusted chain. SSL_CERT_FILE names
  // the bundle to trust, as it does for OpenSSL's own tools (curl would otherwise use its built-in one).
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  if (const char* bundle = std::getenv("SSL_CERT_FILE"); bundle != nullptr && *bundle != '\0') {
    curl_easy_setopt(handle, CURLOPT_CAINFO, bundle);
  }

  response.opened = true;
  const CURLcode result = curl_easy_perform(handle);
  // A body cut short (timeout, connection lost) is no answer: callers would take it for a whole one.
  if (result == CURLE_OK) response.body = std::move(received.body);
  if (received.has_status_line) response.raw_headers = std::move(received.header_block);
  return response;
}

}  // namespace qw
