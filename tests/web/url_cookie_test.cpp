#include <gtest/gtest.h>

#include "web/cookies.h"
#include "web/curl_support.h"
#include "web/http_exchange.h"
#include "web/url_parts.h"

namespace tfx {
namespace {

struct UrlCase {
  Text url;
  Text host;
  Text host_with_port;
  int port;
  Text path;
};

TEST(UrlParts, DissectsLikeThePlatformCall) {
  const UrlCase cases[] = {
      {"http://Host.EXAMPLE:8080/A/b?x=1", "host.example", "host.example:8080", 8080, "/A/b?x=1"},
      {"https://host.example", "host.example", "host.example", 443, "/"},
      {"HTTPS://HOST.EXAMPLE/P", "host.example", "host.example", 443, "/P"},
      {"host.example/x", "host.example", "host.example", 80, "/x"},
      {"http://host.example:/x", "host.example", "host.example:", 0, "/x"},
      {"http://host.example:81x/", "host.example", "host.example:81x", 81, "/"},
      {"http://host.example?q=1", "host.example?q=1", "host.example?q=1", 80, "/"},
      {"", "", "", 80, "/"},
      // The path keeps the URL's own case and everything after the host.
      {"http://h.example/Song%20A.mp3#Part", "h.example", "h.example", 80, "/Song%20A.mp3#Part"},
      // The host is searched ignoring case, so an upper-case host still finds its path.
      {"http://WWW.X.CN/Q?qq=123 ", "www.x.cn", "www.x.cn", 80, "/Q?qq=123 "},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(url_host(c.url), c.host);
    EXPECT_EQ(url_host(c.url, true), c.host_with_port);
    EXPECT_EQ(url_port(c.url), c.port);
    EXPECT_EQ(url_path(c.url), c.path);
  }
}

TEST(RequestAddress, CodesWhatMayNotStandInARequestLine) {
  struct Case {
    Text url;
    std::optional<std::string> address;
  };
  const Case cases[] = {
      {"http://127.0.0.1:8080/x?qq=123 ", "http://127.0.0.1:8080/x?qq=123%20"},
      {"http://h.example/a\r\nX-Evil: 1", "http://h.example:80/a%0D%0AX-Evil:%201"},
      {"http://h.example/\xB8\xE8\x7F\t", "http://h.example:80/%B8%E8%7F%09"},
      {"HTTPS://H.example/P", "https://h.example:443/P"},
      {"http://h.example/x?qq=12#3", "http://h.example:80/x?qq=12%233"},  // the fragment too
      {"http://h.example:/x", "http://h.example:80/x"},  // no digits: the default port
      {"http://h.example:70000/", std::nullopt},
      {"http://host.example?q=1", std::nullopt},  // not a host name
      {"http://user@h.example/", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(detail::request_address(c.url), c.address);
  }
}

TEST(ProxyList, NamesTheProxyForEachScheme) {
  struct Case {
    std::string list;
    bool secure;
    std::string proxy;
  };
  const Case cases[] = {
      {"http=p:8", false, "p:8"},  // how a plain URL's proxy is given
      {"http=p:8", true, ""},      // ...which leaves a redirect to https direct
      {"p:8", true, "p:8"},        // how a secure URL's proxy is given: every scheme
      {"p:8", false, "p:8"},
      {"https=s:1 http=h:2", false, "h:2"},
      {"HTTPS=s:1;http=h:2", true, "s:1"},
      {"http=", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_EQ(detail::proxy_for_scheme(c.list, c.secure), c.proxy);
  }
}

TEST(HeaderValue, TakesTheTrimmedTextAfterTheFirstColon) {
  const std::pair<Text, Text> cases[] = {
      {"User-Agent:  X ", "X"},
      {"a: b: c", "b: c"},
      {"no colon", ""},
      {"", ""},
      {"Accept: a\r\nUser-Agent: X", "a\r\nUser-Agent: X"},
  };
  for (const auto& [line, value] : cases) EXPECT_EQ(header_value(line), value) << line;
}

TEST(ExchangeAgent, FollowsTheUserAgentLineOrFallsBack) {
  const Text default_agent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
  const std::pair<Text, Text> cases[] = {
      {"", default_agent},
      {"Accept: text/html", default_agent},
      {"User-Agent: Tfx/1\r\nAccept: a", "Tfx/1"},
      {"user-agent: X", "X"},  // other case: the fallback, which reads the only line
      // The line last: no CR LF ends the marker, so the whole block after its first colon.
      {"Accept: a\r\nUser-Agent: X", "a\r\nUser-Agent: X"},
      {"Accept: a\r\nUser-Agent: \r\nB: c", "a\r\nUser-Agent: \r\nB: c"},  // blank value
  };
  for (const auto& [headers, agent] : cases) EXPECT_EQ(exchange_agent(headers), agent) << headers;
}

TEST(CookieName, IsTheTrimmedTextBeforeTheFirstEquals) {
  const std::pair<Text, Text> cases[] = {
      {"a=1", "a"}, {" sid =x=y", "sid"}, {"flag", "flag"}, {"", ""}, {"=v", ""},
  };
  for (const auto& [entry, name] : cases) EXPECT_EQ(cookie_name(entry), name) << entry;
  EXPECT_TRUE(has_cookie_named({"x=1", "b =2"}, "b"));
  EXPECT_FALSE(has_cookie_named({"x=1", "bb=2"}, "b"));
  EXPECT_FALSE(has_cookie_named({}, ""));
}

TEST(UniqueJoin, KeepsTheFirstOfEachElement) {
  EXPECT_EQ(unique_join("a; b; a; c; b", "; "), "a; b; c");
  EXPECT_EQ(unique_join("a;;b;;", ";"), "a;;b");  // the empty element is kept once
  EXPECT_EQ(unique_join("", "; "), "");
}

struct MergeCase {
  Text old_cookies;
  Text new_cookies;
  Text merged;
  Text new_after;
};

TEST(MergeCookies, NewerValuesWinAndDeletedCookiesVanish) {
  const MergeCase cases[] = {
      {"a=1; b=2; c=3", "b=9; d=4", "b=9; d=4; a=1; c=3", "b=9;d=4"},
      {"sid=abc; u=1", "sid=deleted", "u=1", "sid=deleted"},
      {"", "a=1; b=2", "a=1; b=2", "a=1;b=2"},
      {"a=1; b=2", "", "a=1; b=2", ""},
      {"", "a=1;a=1", "a=1", "a=1;a=1"},
      {"", "a=1;a=2", "a=1; a=2", "a=1;a=2"},
      {"a=1;a=5", "", "a=1", ""},
      {"a=1;;b=2", "", "a=1; ; b=2", ""},
      {"a=x y", "", "a=xy", ""},
      {"", "", "", ""},
      {"a=x\xA1\xA1y", "", "a=xy", ""},  // the full-width space goes as well
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.old_cookies + " | " + c.new_cookies);
    Text old_cookies = c.old_cookies;
    Text new_cookies = c.new_cookies;
    EXPECT_EQ(merge_cookies(old_cookies, new_cookies), c.merged);
    EXPECT_EQ(old_cookies, c.merged);
    EXPECT_EQ(new_cookies, c.new_after);
  }
}

}  // namespace
}  // namespace tfx
