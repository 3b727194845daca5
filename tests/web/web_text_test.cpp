#include "web/web_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace qw {
namespace {

TEST(UrlParts, HostPortAndObject) {
  struct Case { std::string url; bool https; std::string host, host_with_port; int port; std::string object; };
  const Case cases[] = {
      {"HTTPS://Host.A:8443/Path/B?x=1", true, "host.a", "host.a:8443", 8443, "/Path/B?x=1"},
      {"host.a/find?q=1", false, "host.a", "host.a", 80, "/find?q=1"},
      {"https://host.a", true, "host.a", "host.a", 443, "/"},
      {"http://host.a:81", false, "host.a", "host.a:81", 81, "/"},
      {"Http://Mixed.Case/A/b", false, "mixed.case", "mixed.case", 80, "/A/b"},
      // Full-width digits count as digits; what follows the digits does not.
      {"http://host.a:\xA3\xB8\xA3\xB1/x", false, "host.a", "host.a:\xA3\xB8\xA3\xB1", 81, "/x"},
      {"http://host.a:81x/x", false, "host.a", "host.a:81x", 81, "/x"},
      // No digits after the colon: port 0 (the request then uses the scheme's own port).
      {"http://host.a:-5/x", false, "host.a", "host.a:-5", 0, "/x"},
      {"http://host.a:/x", false, "host.a", "host.a:", 0, "/x"},
      // The host ends at the first "/" after the first marker.
      {"http://host.a/go?to=http://other.b/", false, "host.a", "host.a", 80, "/go?to=http://other.b/"},
      {"https://host.a/p?u=https://z/", true, "host.a", "host.a", 443, "/p?u=https://z/"},
      // A host that also occurs in the scheme.
      {"http://t/x", false, "t", "t", 80, "/x"},
      {"https://ps:444/a", true, "ps", "ps:444", 444, "/a"},
      {"http://localhost:39731/echo/a?b=c", false, "localhost", "localhost:39731", 39731, "/echo/a?b=c"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(is_https_url(c.url), c.https);
    EXPECT_EQ(url_host(c.url), c.host);
    EXPECT_EQ(url_host(c.url, true), c.host_with_port);
    EXPECT_EQ(url_port(c.url), c.port);
    EXPECT_EQ(url_object(c.url), c.object);
  }
}

TEST(UrlParts, PortTooLargeStaysTooLarge) {
  // Not wrapped into some other port that might be open.
  EXPECT_EQ(url_port("http://host.a:70000/"), 70000);
  EXPECT_EQ(url_port("http://host.a:99999999999999999999/"), std::numeric_limits<int>::max());
}

TEST(TextExtraction, TextBetweenAndValueAfterColon) {
  struct Case { std::string text, start, end, expected; };
  const Case between[] = {
      {"a[b]c", "[", "]", "b"},
      {"a[]c", "[", "]", ""},
      {"]x[y]", "[", "]", "y"},  // the end marker is looked for after the start marker
      {"a[b", "[", "]", ""},
      {"ab]", "[", "]", ""},
      {"User-Agent: X\r\n", "user-agent:", "\r\n", ""},  // case-sensitive
      {"User-Agent: X\r\nUser-Agent: Y\r\n", "User-Agent:", "\r\n", " X"},
      // A marker byte inside a double-byte character is no marker: 81 5B holds "[".
      {"\x81[x[y]", "[", "]", "y"},
  };
  for (const auto& c : between) EXPECT_EQ(text_between(c.text, c.start, c.end), c.expected) << c.text;

  EXPECT_EQ(value_after_colon("user-agent: X"), "X");
  EXPECT_EQ(value_after_colon("a:b:c"), "b:c");
  EXPECT_EQ(value_after_colon("k: \xA1\xA1v \xA1\xA1"), "v");
  EXPECT_EQ(value_after_colon("no colon"), "");
  EXPECT_EQ(value_after_colon("k:"), "");
}

}  // namespace
}  // namespace qw
