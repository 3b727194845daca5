// web_request against the local test server, through whichever transport this build has (libcurl
// natively, WinInet under Wine): the same cases must hold for both.
#include "web/web_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <thread>

#include "common/text.h"
#include "support/test_server.h"
#include "web/web_text.h"

namespace qw {
namespace {

using testing::CannedAnswer;
using testing::RecordedRequest;
using testing::TestServer;

const std::string kAgent(kDefaultUserAgent);
const std::vector<std::string> kDefaultLines = {"Accept: */*", "Referer: {url}", "Accept-Language: zh-cn",
                                                "Content-Type: application/x-www-form-urlencoded"};
// Headers a transport adds of its own; anything else the server sees must come from the block.
const std::set<std::string> kTransportHeaders = {"host", "user-agent", "content-length", "connection",
                                                 "cache-control", "pragma"};

// Timeouts short enough for the cases about silence; generous for everything else.
TransportTimeouts short_timeouts() { return {2000, 1000}; }

const TestServer& server() {
  static const TestServer located = TestServer::locate();
  return located;
}

std::string text_of(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string joined(const std::vector<std::string>& lines, std::string_view url) {
  std::string block;
  for (const auto& line : lines) block += (block.empty() ? "" : "\r\n") + replace_all(line, "{url}", url);
  return block;
}

std::string lower_name(const std::string& line) { return to_lower_ascii(line.substr(0, line.find(':'))); }

// Everything a call hands back, with the options that point at it.
struct Call {
  std::string cookies, returned_cookies, header_lines, returned_headers;
  Bytes body_bytes;
  WebRequestOptions options;
  Bytes answer;

  void run(const std::string& url) { answer = web_request(url, options); }
};

// --- the request as sent --------------------------------------------------------------------

struct SendCase {
  const char* name;
  int method;
  std::string body_text;
  std::optional<std::string> body_bytes;
  std::optional<std::string> header_lines;
  std::optional<std::string> cookies;
  std::string verb;
  std::vector<std::string> block;  // the header block sent, line by line; {url} stands for the URL
  std::string agent;               // the User-Agent the server sees
  std::string body_sent;
  std::optional<std::string> body_bytes_after;  // when body_bytes was given
};

std::vector<std::string> with_defaults(std::vector<std::string> first, std::vector<std::string> last = {}) {
  first.insert(first.end(), kDefaultLines.begin(), kDefaultLines.end());
  first.insert(first.end(), last.begin(), last.end());
  return first;
}

const SendCase kSendCases[] = {
    {"default_block", 1, "image=abc", {}, {}, {}, "POST", kDefaultLines, kAgent, "image=abc", {}},
    {"header_lines_in_out", 1, "x=1", {}, std::string(), {}, "POST", kDefaultLines, kAgent, "x=1", {}},
    {"user_agent_line", 0, "", {}, std::string("User-Agent: X"), {}, "GET", with_defaults({"User-Agent: X"}), "X",
     "", {}},
    {"user_agent_lower_case", 0, "", {}, std::string("user-agent: X"), {}, "GET", with_defaults({"user-agent: X"}),
     "X", "", {}},
    {"own_lines_first", 1, "", std::string("--b--"),
     std::string("Accept: text/plain\r\nContent-Type: multipart/form-data; boundary=b\r\nX-Extra: 1"), {}, "POST",
     {"Accept: text/plain", "Content-Type: multipart/form-data; boundary=b", "X-Extra: 1", "Referer: {url}",
      "Accept-Language: zh-cn"},
     kAgent, "--b--", "--b--"},
    {"get_sends_no_body_and_leaves_body_bytes", 0, "text", std::string("bytes"), {}, {}, "GET", kDefaultLines, kAgent,
     "", "bytes"},
    {"method_3_is_get", 3, "text", {}, {}, {}, "GET", kDefaultLines, kAgent, "", {}},
    {"method_minus_1_is_get", -1, "text", {}, {}, {}, "GET", kDefaultLines, kAgent, "", {}},
    {"body_bytes_over_body_text", 1, "text", std::string("bytes"), {}, {}, "POST", kDefaultLines, kAgent, "bytes",
     "bytes"},
    {"empty_body_bytes_take_body_text", 1, "text", std::string(), {}, {}, "POST", kDefaultLines, kAgent, "text",
     "text"},
    {"post_with_no_body", 1, "", {}, {}, {}, "POST", kDefaultLines, kAgent, "", {}},
    {"binary_body", 1, "", std::string("a\0b\xFF\r\n", 6), {}, {}, "POST", kDefaultLines, kAgent,
     std::string("a\0b\xFF\r\n", 6), std::string("a\0b\xFF\r\n", 6)},
    {"cookie_text", 0, "", {}, {}, std::string("a=1; b=2"), "GET", with_defaults({}, {"Cookie: a=1; b=2"}), kAgent,
     "", {}},
    {"cookie_line", 0, "", {}, {}, std::string("Cookie: a=1"), "GET", with_defaults({}, {"Cookie: a=1"}), kAgent, "",
     {}},
    {"empty_cookies_add_no_line", 0, "", {}, {}, std::string(), "GET", kDefaultLines, kAgent, "", {}},
    {"head", 2, "", {}, {}, {}, "HEAD", kDefaultLines, kAgent, "", {}},
    // Large enough for a client to want "Expect: 100-continue"; it must arrive whole without one.
    {"large_body", 1, "image=" + std::string(3'000'000, 'A'), {}, {}, {}, "POST", kDefaultLines, kAgent,
     "image=" + std::string(3'000'000, 'A'), {}},
};

void PrintTo(const SendCase& c, std::ostream* out) { *out << c.name; }

class RequestSent : public ::testing::TestWithParam<std::tuple<SendCase, bool>> {};

TEST_P(RequestSent, AsBuilt) {
  const auto& [c, https] = GetParam();
  const std::string path = std::string("/echo/sent/") + (https ? "https/" : "http/") + c.name;
  const std::string url = (https ? server().https_url(path) : server().http_url(path)) + "?q=1&r=%41";
  server().forget(path);
  Call call;
  call.options.method = c.method;
  call.options.body_text = c.body_text;
  if (c.header_lines) {
    call.header_lines = *c.header_lines;
    call.options.header_lines = &call.header_lines;
  }
  if (c.cookies) {
    call.cookies = *c.cookies;
    call.options.cookies = &call.cookies;
  }
  if (c.body_bytes) {
    call.body_bytes = text_to_bytes(*c.body_bytes);
    call.options.body_bytes = &call.body_bytes;
  }
  call.options.returned_headers = &call.returned_headers;
  call.run(url);

  const bool head = c.verb == "HEAD";
  EXPECT_EQ(call.answer.empty(), head) << "an echo answers with the request; HEAD gets no body";
  const auto recorded = server().requests(path);
  ASSERT_EQ(recorded.size(), 1u);
  const RecordedRequest received = head ? recorded.front() : testing::parse_request_text(text_of(call.answer));
  EXPECT_EQ(received.method, c.verb);
  EXPECT_EQ(received.target, path + "?q=1&r=%41");

  // The block's lines arrive in order and the transport adds nothing but its own few headers.
  std::vector<std::string> from_block;
  std::set<std::string> extra_names;
  const std::string expected_block = joined(c.block, url);
  const auto expected_lines = split_text(expected_block, "\r\n");
  for (const auto& line : received.header_lines) {
    if (std::find(expected_lines.begin(), expected_lines.end(), line) != expected_lines.end()) {
      from_block.push_back(line);
    } else {
      extra_names.insert(lower_name(line));
    }
  }
  EXPECT_EQ(from_block, expected_lines);
  for (const auto& name : extra_names) EXPECT_EQ(kTransportHeaders.count(name), 1u) << "unexpected header " << name;
  EXPECT_EQ(received.header("User-Agent").value_or("(none)"), c.agent);
  EXPECT_EQ(received.header_count("User-Agent"), 1);
  EXPECT_EQ(received.header_count("Expect"), 0);
  EXPECT_EQ(received.header_count("Cookie"), c.cookies && !c.cookies->empty() ? 1 : 0);

  if (!head) {
    EXPECT_EQ(received.body, c.body_sent);  // curl sends HEAD without a body
  }
  if (c.header_lines) {
    EXPECT_EQ(call.header_lines, expected_block);
  }
  if (c.body_bytes_after) {
    EXPECT_EQ(text_of(call.body_bytes), *c.body_bytes_after);
  }

  EXPECT_TRUE(starts_with_text(call.returned_headers, "HTTP/1.1 200")) << call.returned_headers;
  EXPECT_EQ(right_text(call.returned_headers, 4), "\r\n\r\n") << call.returned_headers;
}

std::string send_case_name(const ::testing::TestParamInfo<RequestSent::ParamType>& info) {
  return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_https" : "_http");
}

INSTANTIATE_TEST_SUITE_P(WebRequest, RequestSent,
                         ::testing::Combine(::testing::ValuesIn(kSendCases), ::testing::Bool()), send_case_name);

// --- answers: redirects, cookies, header blocks, failures ---------------------------------------

struct AnswerCase {
  const char* name;
  std::string url;  // {http}, {https}, {untrusted}, {closed}, {blackhole} stand for the server's bases
  std::optional<CannedAnswer> scripted;  // for the URL's path
  int method = 0;
  std::optional<std::string> cookies;
  bool merge_cookies = true;
  bool no_redirect = false;
  // What comes back. An answer starting "echo:" is an echo of that method and target.
  std::string answer;
  std::string status_line;  // the start of returned_headers; "" for the 5,000 spaces
  std::string returned_cookies;
  std::optional<std::string> cookies_after;
  std::string header_sent;  // a line the server must have seen, if any
};

std::string expand(const std::string& text) {
  std::string result = text;
  const std::pair<const char*, std::string> bases[] = {
      {"{http}", server().http_url("")},           {"{https}", server().https_url("")},
      {"{untrusted}", server().untrusted_https_url("")}, {"{closed}", server().closed_port_url("")},
      {"{blackhole}", server().blackhole_url("")},
  };
  for (const auto& [marker, base] : bases) result = replace_all(result, marker, base);
  return result;
}

const AnswerCase kAnswerCases[] = {
    {"redirect_followed", "{http}/redirect?to=/echo/answer/after", {}, 1, {}, true, false, "echo:GET /echo/answer/after",
     "HTTP/1.1 200", "", {}, ""},
    {"redirect_not_followed", "{http}/redirect?to=/echo/answer/after2", {}, 0, {}, true, true, "redirecting",
     "HTTP/1.1 302", "", {}, ""},
    {"redirect_http_to_https", "{http}/redirect?to={https}/echo/answer/secure", {}, 0, {}, true, false,
     "echo:GET /echo/answer/secure", "HTTP/1.1 200", "", {}, ""},
    {"cookies_collected_any_case", "{https}/jar/collect",
     CannedAnswer{200, {{"set-cookie", "A=1; Path=/"}, {"Set-Cookie", "B=2"}}, "jar"}, 0, std::string(), true, false,
     "jar", "HTTP/1.1 200", "A=1; B=2", "A=1; B=2", ""},
    {"cookies_merged", "{http}/jar/merge",
     CannedAnswer{200, {{"Set-Cookie", "b=5"}, {"SET-COOKIE", "d=deleted; Path=/"}, {"Set-Cookie", "e=6"}}, "jar"}, 0,
     std::string("a=1; b=2; c=3; d=4"), true, false, "jar", "HTTP/1.1 200", "b=5; e=6; a=1; c=3",
     "b=5; e=6; a=1; c=3", "Cookie: a=1; b=2; c=3; d=4"},
    {"cookies_not_merged", "{http}/jar/no-merge", CannedAnswer{200, {{"Set-Cookie", "C=3"}}, "jar"}, 0,
     std::string("Cookie: a=1"), false, false, "jar", "HTTP/1.1 200", "C=3", "Cookie: a=1", "Cookie: a=1"},
    {"no_set_cookie", "{http}/echo/answer/plain", {}, 0, {}, true, false, "echo:GET /echo/answer/plain",
     "HTTP/1.1 200", "", {}, ""},
    {"error_status_body_returned", "{http}/jar/missing", CannedAnswer{404, {}, "not here"}, 1, {}, true, false,
     "not here", "HTTP/1.1 404", "", {}, ""},
    {"header_block_too_long", "{http}/big-headers?size=6000", {}, 0, std::string(), true, false, "big headers", "",
     "", "", ""},
    {"header_block_just_fits", "{http}/big-headers?size=3000", {}, 0, std::string(), true, false, "big headers",
     "HTTP/1.1 200", "big=1", "big=1", ""},
    {"untrusted_certificate", "{untrusted}/echo/answer/untrusted", {}, 0, {}, true, false, "", "", "", {}, ""},
    {"unreachable_host", "{closed}/echo/answer/closed", {}, 0, std::string("k=1"), true, false, "", "", "k=1", "k=1",
     ""},
    {"connect_never_completes", "{blackhole}/echo/answer/blackhole", {}, 0, {}, true, false, "", "", "", {}, ""},
    {"silent_server", "{http}/silent", {}, 1, {}, true, false, "", "", "", {}, ""},
    {"body_trickling_in", "{http}/trickle?chunks=5&gap_ms=300", {}, 0, {}, true, false,
     "piece 1\npiece 2\npiece 3\npiece 4\npiece 5\n", "HTTP/1.1 200", "", {}, ""},
};

void PrintTo(const AnswerCase& c, std::ostream* out) { *out << c.name; }

class Answer : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(Answer, AsReturned) {
  const AnswerCase& c = GetParam();
  const std::string url = expand(c.url);
  const std::string object = url_object(url);
  const std::string path = object.substr(0, object.find('?'));
  server().forget(path);
  if (c.scripted) server().set_answer(path, *c.scripted);
  Call call;
  call.options.method = c.method;
  call.options.no_redirect = c.no_redirect;
  call.options.merge_cookies = c.merge_cookies;
  call.options.returned_cookies = &call.returned_cookies;
  call.options.returned_headers = &call.returned_headers;
  call.options.header_lines = &call.header_lines;
  call.options.timeouts = short_timeouts();
  if (c.cookies) {
    call.cookies = *c.cookies;
    call.options.cookies = &call.cookies;
  }
  const auto started = std::chrono::steady_clock::now();
  call.run(url);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  if (starts_with_text(c.answer, "echo:")) {
    const RecordedRequest echoed = testing::parse_request_text(text_of(call.answer));
    EXPECT_EQ(echoed.method + " " + echoed.target, c.answer.substr(5));
  } else {
    EXPECT_EQ(text_of(call.answer), c.answer);
  }
  if (c.status_line.empty()) {
    EXPECT_EQ(call.returned_headers, std::string(5000, ' '));
  } else {
    EXPECT_TRUE(starts_with_text(call.returned_headers, c.status_line)) << call.returned_headers;
    // Only the final response's block: no status line of a redirect before it.
    EXPECT_EQ(find_last_text(call.returned_headers, "HTTP/1."), 1) << call.returned_headers;
    for (const auto& line : split_text(call.returned_headers, "\r\n")) {
      if (contains_text(line, "set-cookie", true)) {
        EXPECT_TRUE(starts_with_text(line, "Set-Cookie:")) << line;
      }
    }
  }
  EXPECT_EQ(call.returned_cookies, c.returned_cookies);
  if (c.cookies_after) {
    EXPECT_EQ(call.cookies, *c.cookies_after);
  }
  EXPECT_EQ(call.header_lines, joined(kDefaultLines, url) +
                                   (c.cookies && !c.cookies->empty()
                                        ? "\r\n" + (starts_with_text(*c.cookies, "Cookie:") ? *c.cookies
                                                                                            : "Cookie: " + *c.cookies)
                                        : ""));
  if (!c.header_sent.empty()) {
    const auto recorded = server().requests(path);
    ASSERT_FALSE(recorded.empty());
    const auto& lines = recorded.back().header_lines;
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.header_sent), lines.end()) << c.header_sent;
  }
  // Failures end within the shortened timeouts (2 s to connect, 1 s without data), not at the
  // defaults of 15 and 30 s; the bound is far above either so that a busy machine does not matter.
  EXPECT_LT(seconds, 12.0);
}

INSTANTIATE_TEST_SUITE_P(WebRequest, Answer, ::testing::ValuesIn(kAnswerCases),
                         [](const ::testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

// --- proxies ------------------------------------------------------------------------------------

// Sets an environment variable for this process until the end of the scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    set(value.c_str());
  }
  ~ScopedEnvironment() { set(old_ ? old_->c_str() : nullptr); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  void set(const char* value) {
#ifdef _WIN32
    _putenv_s(name_, value ? value : "");
#else
    value ? setenv(name_, value, 1) : unsetenv(name_);
#endif
  }
  const char* name_;
  std::optional<std::string> old_;
};

TEST(WebRequestProxy, DirectRequestIgnoresTheEnvironmentsProxies) {
  const std::string nowhere = server().closed_port_url("");
  std::vector<std::unique_ptr<ScopedEnvironment>> proxies;
  for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
    proxies.push_back(std::make_unique<ScopedEnvironment>(name, nowhere));
  }
  for (const auto& url : {server().http_url("/echo/proxy/env"), server().https_url("/echo/proxy/env")}) {
    const RecordedRequest echoed = testing::parse_request_text(text_of(web_request(url)));
    EXPECT_EQ(echoed.target, "/echo/proxy/env") << url;
  }
}

TEST(WebRequestProxy, HttpUrlGoesThroughTheGivenProxy) {
  // The test server answers as the proxy: it sees the absolute URL, which points at a port where
  // nothing listens, so only a request that really went through the proxy gets an answer.
  const std::string url = server().closed_port_url("/echo/proxy/through");
  WebRequestOptions options;
  options.proxy = "localhost:" + std::to_string(server().http_port());
  const RecordedRequest echoed = testing::parse_request_text(text_of(web_request(url, options)));
  EXPECT_EQ(echoed.target, url);
}

// --- concurrency --------------------------------------------------------------------------------

TEST(WebRequestThreads, CallsOverlapEachWithItsOwnHandles) {
  const std::string prefix = "/threads/";
  server().forget(prefix);
  server().set_answer(prefix + "slow", {200, {}, "done", 300});
  std::vector<std::string> answers(4);
  std::vector<std::thread> workers;
  for (std::size_t i = 0; i < answers.size(); ++i) {
    workers.emplace_back([&, i] {
      answers[i] = text_of(web_request(server().https_url(prefix + "slow"), {1, "n=" + std::to_string(i)}));
    });
  }
  for (auto& worker : workers) worker.join();
  for (const auto& answer : answers) EXPECT_EQ(answer, "done");
  const auto recorded = server().requests(prefix);
  ASSERT_EQ(recorded.size(), answers.size());
  std::set<std::string> bodies;
  for (const auto& request : recorded) bodies.insert(request.body);
  EXPECT_EQ(bodies, (std::set<std::string>{"n=0", "n=1", "n=2", "n=3"}));
  const int most = server().max_in_flight(prefix);
  EXPECT_GE(most, 1);
  EXPECT_LE(most, 4);
}

}  // namespace
}  // namespace qw
