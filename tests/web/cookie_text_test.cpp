#include "web/cookie_text.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

TEST(CookieMerge, NewEntriesFirstThenOldOnesDeletionsDropped) {
  struct Case { std::string old_cookies, new_cookies, merged, new_after; };
  const Case cases[] = {
      {"a=1; b=2; c=3", "b=5; d=deleted; e=6", "b=5; e=6; a=1; c=3", "b=5;d=deleted;e=6"},
      {"d=7", "d=deleted", "", "d=deleted"},
      {"x=1; x=2", "", "x=1", ""},
      {"", "k=1; k=1", "k=1", "k=1;k=1"},
      {"", "k=1; k=2", "k=1; k=2", "k=1;k=2"},
      {"A=1", "a=2", "a=2; A=1", "a=2"},
      {"s=hello world", "", "s=helloworld", ""},
      {"a=1;;b=2", "", "a=1; ; b=2", ""},
      {"", "", "", ""},
      // The full-width space counts as a space; a trailing ";" adds no entry.
      {"a=1\xA1\xA1; b=2;", "", "a=1; b=2", ""},
      // A bare name is an entry whose name is all of it.
      {"flag; a=1", "flag=2", "flag=2; a=1", "flag=2"},
      {"a=1", "b=2; b=2", "b=2; a=1", "b=2;b=2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.old_cookies + " + " + c.new_cookies);
    std::string old_cookies = c.old_cookies;
    std::string new_cookies = c.new_cookies;
    EXPECT_EQ(merge_cookie_text(old_cookies, new_cookies), c.merged);
    EXPECT_EQ(old_cookies, c.merged);
    EXPECT_EQ(new_cookies, c.new_after);
  }
}

TEST(CookieMerge, Helpers) {
  EXPECT_EQ(cookie_name(" a =1"), "a");
  EXPECT_EQ(cookie_name("flag"), "flag");
  EXPECT_EQ(cookie_name("=v"), "");
  EXPECT_EQ(cookie_name("a=b=c"), "a");

  const std::vector<std::string> entries = {"a=1", "B=2", "flag"};
  EXPECT_TRUE(has_cookie_named(entries, "B"));
  EXPECT_FALSE(has_cookie_named(entries, "b"));
  EXPECT_TRUE(has_cookie_named(entries, "flag"));
  EXPECT_FALSE(has_cookie_named({}, ""));

  EXPECT_EQ(item_index(entries, "B=2"), 2);
  EXPECT_EQ(item_index(entries, "b=2"), -1);
  EXPECT_EQ(item_index({"x", "x"}, "x"), 1);

  EXPECT_EQ(remove_duplicate_items("a; b; a; c; b", "; "), "a; b; c");
  EXPECT_EQ(remove_duplicate_items("k=1; k=2", "; "), "k=1; k=2");
  EXPECT_EQ(remove_duplicate_items("a||a||", "||"), "a");
  EXPECT_EQ(remove_duplicate_items("", "; "), "");
}

TEST(CookiesFromHeaders, FirstPairOfEachSetCookieLine) {
  struct Case { std::string headers, cookies; };
  const Case cases[] = {
      {"HTTP/1.1 200 OK\r\nSet-Cookie: A=1; Path=/\r\nSet-Cookie: B=2\r\n\r\n", "A=1; B=2"},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: C=3\r\n", "C=3"},
      {"HTTP/1.1 200 OK\r\nSet-Cookie:D=4;HttpOnly\r\n", "D=4"},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
      {"", ""},
      // Only the normalised name counts; normalize_set_cookie_names runs first.
      {"HTTP/1.1 200 OK\r\nset-cookie: E=5\r\n", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(cookies_from_headers(c.headers), c.cookies) << c.headers;

  EXPECT_EQ(normalize_set_cookie_names("set-cookie: A=1; Path=/\r\nSET-COOKIE: B=2\r\nX-Set-cookie-Note: y\r\n"),
            "Set-Cookie: A=1; Path=/\r\nSet-Cookie: B=2\r\nX-Set-Cookie-Note: y\r\n");
  EXPECT_EQ(cookies_from_headers(normalize_set_cookie_names("HTTP/1.1 200 OK\r\nset-cookie: E=5\r\n")), "E=5");
}

}  // namespace
}  // namespace qw
