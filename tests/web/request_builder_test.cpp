#include "web/request_builder.h"

#include <gtest/gtest.h>

#include <optional>

#include "common/text.h"
#include "web/web_text.h"

namespace qw {
namespace {

const std::string kDefaultLines =
    "Accept: */*\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";
const std::string kAgent(kDefaultUserAgent);

// A call's inputs as values, turned into options that point at copies of them.
struct CallInputs {
  int method = 0;
  std::string body_text;
  std::optional<std::string> body_bytes;
  std::optional<std::string> header_lines;
  std::optional<std::string> cookies;
  bool no_redirect = false;
  std::string proxy;
};

struct BoundOptions {
  explicit BoundOptions(const CallInputs& in)
      : header_lines(in.header_lines.value_or("")),
        cookies(in.cookies.value_or("")),
        body_bytes(text_to_bytes(in.body_bytes.value_or(""))) {
    options.method = in.method;
    options.body_text = in.body_text;
    if (in.header_lines) options.header_lines = &header_lines;
    if (in.cookies) options.cookies = &cookies;
    if (in.body_bytes) options.body_bytes = &body_bytes;
    options.no_redirect = in.no_redirect;
    options.proxy = in.proxy;
  }
  std::string header_lines, cookies;
  Bytes body_bytes;
  WebRequestOptions options;
};

TEST(RequestBuilder, WhatTheTransportIsGiven) {
  struct Case {
    const char* name;
    std::string url;
    CallInputs in;
    std::string verb, host;
    int port;
    std::string object, agent, proxy_list, header_block, body;
    std::uint32_t flags;
  };
  const std::string sogou_block =
      "User-Agent: " + kAgent +
      "\r\nAccept: */*\r\nReferer: http://s.example/\r\nAccept-Language: zh-cn\r\nContent-Type: multipart/form-data; "
      "boundary=b";
  const Case cases[] = {
      {"platform form POST", "https://aip.example/rest/2.0/ocr/v1/general_basic?access_token=t",
       {1, "image=abc"}, "POST", "aip.example", 443, "/rest/2.0/ocr/v1/general_basic?access_token=t", kAgent, "",
       kDefaultLines, "image=abc", 0x80800010},
      {"full header block from the caller", "http://s.example/v2/ocr/json",
       {1, "", std::string("--b--"), sogou_block}, "POST", "s.example", 80, "/v2/ocr/json", kAgent, "", sogou_block,
       "--b--", 0x80004010},
      {"User-Agent line", "http://h.a/", {0, "", {}, std::string("User-Agent: X")}, "GET", "h.a", 80, "/", "X", "",
       "User-Agent: X\r\n" + kDefaultLines, "", 0x80004010},
      {"user-agent in another case", "http://h.a/", {0, "", {}, std::string("user-agent: X")}, "GET", "h.a", 80, "/",
       "X", "", "user-agent: X\r\n" + kDefaultLines, "", 0x80004010},
      {"own Accept kept, lower-case accept is not Accept", "http://h.a/",
       {0, "", {}, std::string("Accept: text/html\r\naccept-language: en")}, "GET", "h.a", 80, "/", kAgent, "",
       "Accept: text/html\r\naccept-language: en\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded",
       "", 0x80004010},
      {"caller's trailing line end stays", "http://h.a/", {0, "", {}, std::string("X-A: 1\r\n")}, "GET", "h.a", 80,
       "/", kAgent, "", "X-A: 1\r\n\r\n" + kDefaultLines, "", 0x80004010},
      {"cookie text", "https://h.a/", {0, "", {}, {}, std::string("a=1")}, "GET", "h.a", 443, "/", kAgent, "",
       kDefaultLines + "\r\nCookie: a=1", "", 0x80880010},
      {"cookie line", "https://h.a/", {0, "", {}, {}, std::string("Cookie: a=1")}, "GET", "h.a", 443, "/", kAgent, "",
       kDefaultLines + "\r\nCookie: a=1", "", 0x80880010},
      {"empty cookies supplied", "https://h.a/", {0, "", {}, {}, std::string()}, "GET", "h.a", 443, "/", kAgent, "",
       kDefaultLines, "", 0x80880010},
      {"method 3 is GET without body", "http://h.a/", {3, "text"}, "GET", "h.a", 80, "/", kAgent, "", kDefaultLines,
       "", 0x80004010},
      {"method -1 is GET without body", "http://h.a/", {-1, "text", std::string("bytes")}, "GET", "h.a", 80, "/",
       kAgent, "", kDefaultLines, "", 0x80004010},
      {"HEAD sends the body too", "http://h.a/", {2, "text"}, "HEAD", "h.a", 80, "/", kAgent, "", kDefaultLines,
       "text", 0x80004010},
      {"body bytes over body text", "http://h.a/", {1, "text", std::string("bytes")}, "POST", "h.a", 80, "/", kAgent,
       "", kDefaultLines, "bytes", 0x80004010},
      {"empty body bytes give way to body text", "http://h.a/", {1, "text", std::string()}, "POST", "h.a", 80, "/",
       kAgent, "", kDefaultLines, "text", 0x80004010},
      {"POST with no body", "http://h.a/", {1}, "POST", "h.a", 80, "/", kAgent, "", kDefaultLines, "", 0x80004010},
      {"no redirect", "https://h.a/", {0, "", {}, {}, {}, true}, "GET", "h.a", 443, "/", kAgent, "", kDefaultLines,
       "", 0x80A00010},
      {"proxy for http", "http://h.a/", {0, "", {}, {}, {}, false, "127.0.0.1:8080"}, "GET", "h.a", 80, "/", kAgent,
       "http=127.0.0.1:8080", kDefaultLines, "", 0x80004010},
      {"proxy for https", "https://h.a/", {0, "", {}, {}, {}, false, "127.0.0.1:8080"}, "GET", "h.a", 443, "/",
       kAgent, "127.0.0.1:8080", kDefaultLines, "", 0x80800010},
      {"a colon without a port uses the scheme's", "https://h.a:/x", {}, "GET", "h.a", 443, "/x", kAgent, "",
       kDefaultLines, "", 0x80800010},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const BoundOptions bound(c.in);
    const TransportRequest request = build_transport_request(c.url, bound.options);
    EXPECT_EQ(request.verb, c.verb);
    EXPECT_EQ(request.https, is_https_url(c.url));
    EXPECT_EQ(request.host, c.host);
    EXPECT_EQ(request.port, c.port);
    EXPECT_EQ(request.object, c.object);
    EXPECT_EQ(request.agent, c.agent);
    EXPECT_EQ(request.proxy_list, c.proxy_list);
    EXPECT_EQ(request.header_block, replace_all(c.header_block, "{url}", c.url));
    EXPECT_EQ(std::string(request.body.begin(), request.body.end()), c.body);
    EXPECT_EQ(request.no_cookies, c.in.cookies.has_value());
    EXPECT_EQ(request.no_redirect, c.in.no_redirect);
    EXPECT_EQ(request_flag_word(request), c.flags);
    EXPECT_EQ(request.timeouts.connect_ms, 15000);
    EXPECT_EQ(request.timeouts.no_data_ms, 30000);
  }
}

TEST(RequestBuilder, ProxyListAsAClientWithoutListsReadsIt) {
  struct Case { std::string list; bool https; std::string proxy; };
  const Case cases[] = {
      {"", false, ""},
      {"http=127.0.0.1:8080", false, "http://127.0.0.1:8080"},
      {"http=127.0.0.1:8080", true, ""},
      {"127.0.0.1:8080", true, "http://127.0.0.1:8080"},
      {"127.0.0.1:8080", false, "http://127.0.0.1:8080"},
      {"http=a:1 https=b:2", true, "http://b:2"},
      {"a:1;https=b:2", true, "http://b:2"},
      {"a:1;https=b:2", false, "http://a:1"},
      {"HTTP=http://a:1", false, "http://a:1"},
      {"socks=s:1", false, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(proxy_for_scheme(c.list, c.https), c.proxy) << c.list << " " << c.https;
}

TEST(RequestBuilder, ReturnedHeaderText) {
  const std::string spaces(5000, ' ');
  TransportResponse response;
  EXPECT_EQ(returned_header_text(response), spaces);

  response.raw_headers = "HTTP/1.1 200 OK\r\nset-cookie: A=1; Path=/\r\nSET-cookie: B=2\r\n\r\n";
  EXPECT_EQ(returned_header_text(response), "HTTP/1.1 200 OK\r\nSet-Cookie: A=1; Path=/\r\nSet-Cookie: B=2\r\n\r\n");

  // 4,999 characters and the terminating zero fill the platform's buffer of 5,000 bytes.
  response.raw_headers = std::string(4999, 'h');
  EXPECT_EQ(returned_header_text(response), std::string(4999, 'h'));
  response.raw_headers = std::string(5000, 'h');
  EXPECT_EQ(returned_header_text(response), spaces);
}

}  // namespace
}  // namespace qw
