#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "tests/support/loopback_server.h"
#include "tests/web/raw_server.h"
#include "web/http_exchange.h"

namespace tfx {
namespace {

using testing::closed_port;
using ::testing::HasSubstr;
using testing::LoopbackServer;
using ::testing::Not;
using testing::RawConnection;
using testing::RawServer;
using ::testing::StartsWith;

const std::string kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const std::string kDefaultLines =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n";

Text text_of(const Bytes& b) {
  return Text(b.begin(), b.end());
}

// An ordinary answer that ends the connection, so every request arrives on its own.
std::string answer(std::string_view body, std::string_view status = "200 OK",
                   std::string_view extra_lines = "") {
  return "HTTP/1.1 " + std::string(status) + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n" + std::string(extra_lines) + "\r\n" + std::string(body);
}

RawServer::Script replying(std::string response) {
  return [response](RawConnection& c) { c.send(response); };
}

// The site most tests fetch from, started once for the whole run.
class Site : public ::testing::Environment {
 public:
  static LoopbackServer& server() { return *server_; }
  static std::string url(const std::string& path) { return server_->base() + path.substr(1); }

  void SetUp() override {
    server_ = new LoopbackServer;
    httplib::Server& s = server_->server();
    s.Get("/bytes/2500", [](const httplib::Request&, httplib::Response& res) {
      std::string body(2500, '\0');
      for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
      res.set_content(body, "application/octet-stream");
    });
    s.Get("/zero", [](const httplib::Request&, httplib::Response& res) {
      std::string body(200, 'z');
      body[99] = '\0';
      res.set_content(body, "text/plain");
    });
    s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content("no such page", "text/html");
    });
    const auto moved = [](int status, std::string location) {
      return [status, location](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        res.set_header("Location", location.starts_with("/") ? url(location) : location);
        res.set_content("moved", "text/plain");
      };
    };
    for (const char* path : {"/hop", "/hop307"}) {
      const int status = std::string(path) == "/hop" ? 302 : 307;
      s.Get(path, moved(status, "/final"));
      s.Post(path, moved(status, "/final"));
    }
    const auto final_page = [](const httplib::Request& req, httplib::Response& res) {
      res.set_header("X-Final", "yes");
      res.set_content(req.method + ":" + req.body, "text/plain");
    };
    s.Get("/final", final_page);
    s.Post("/final", final_page);
    s.Get("/near", moved(302, "/cookie-echo"));
    s.Get("/away", [](const httplib::Request&, httplib::Response& res) {
      res.status = 302;
      res.set_header("Location",
                     "http://localhost:" + std::to_string(server_->port()) + "/cookie-echo");
    });
    s.Get("/cookie-echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.get_header_value("Cookie"), "text/plain");
    });
    s.Get("/store/set", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "tfxstore=1; Path=/store");
      res.set_content("set", "text/plain");
    });
    s.Get("/store/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.get_header_value("Cookie"), "text/plain");
    });
    // One byte over the limit, announced up front or only noticed while streaming.
    static const std::string block(1 << 16, 'h');
    const std::size_t huge = kMaxBodyBytes + 1;
    s.Get("/huge/announced", [huge](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(huge, "application/octet-stream",
                               [](std::size_t, std::size_t length, httplib::DataSink& sink) {
                                 return sink.write(block.data(), std::min(block.size(), length));
                               });
    });
    s.Get("/huge/chunked", [huge](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider(
          "application/octet-stream", [huge](std::size_t offset, httplib::DataSink& sink) {
            const std::size_t n = std::min(block.size(), huge - offset);
            if (!sink.write(block.data(), n)) return false;
            if (offset + n == huge) sink.done();
            return true;
          });
    });
    server_->start();
  }
  void TearDown() override {
    delete server_;
    server_ = nullptr;
  }

 private:
  static inline LoopbackServer* server_ = nullptr;
};

[[maybe_unused]] const auto* const site_environment = ::testing::AddGlobalTestEnvironment(new Site);

TEST(FetchText, SendsTheFixedRequestAndNothingElse) {
  struct Case {
    std::string path;
    std::string request_line;
  };
  const Case cases[] = {
      {"/page?qq=123 ", "GET /page?qq=123%20 HTTP/1.1"},
      {"/A/../b", "GET /A/../b HTTP/1.1"},
      // A line break in the address must not split the request.
      {"/a\r\nX-Evil: 1", "GET /a%0D%0AX-Evil:%201 HTTP/1.1"},
      {"/\xB8\xE8", "GET /%B8%E8 HTTP/1.1"},
      // The fragment is part of the object name: a QQ box holding "12#3" asks for all of it.
      {"/page?qq=12#3", "GET /page?qq=12%233 HTTP/1.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    RawServer server(replying(answer("hello")));
    EXPECT_EQ(fetch_text(server.url(c.path)), "hello");
    EXPECT_EQ(server.request(), c.request_line + "\r\nHost: " + server.authority() +
                                    "\r\nUser-Agent: " + kDefaultAgent + "\r\n" + kDefaultLines +
                                    "\r\n");
  }
}

TEST(FetchText, ReturnsTheBodyAsText) {
  std::string expected(2500, '\0');
  for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<char>('a' + i % 26);
  EXPECT_EQ(fetch_text(Site::url("/bytes/2500")), expected);
  EXPECT_EQ(fetch_text(Site::url("/zero")), std::string(99, 'z'));
  EXPECT_EQ(http_exchange(Site::url("/zero")).size(), 200u);  // only the text stops there
  // The status is never looked at: an error page is a page.
  EXPECT_EQ(fetch_text(Site::url("/missing")), "no such page");
}

TEST(FetchText, IsEmptyWhenNoServerAnswers) {
  EXPECT_EQ(fetch_text("http://127.0.0.1:" + std::to_string(closed_port()) + "/"), "");
  EXPECT_EQ(fetch_text("http://bad host/"), "");
  EXPECT_EQ(fetch_text(""), "");
}

TEST(FetchText, KeepsCookiesInOneStoreForAllRequestsAndThreads) {
  EXPECT_EQ(fetch_text(Site::url("/store/set")), "set");
  Text seen_elsewhere;
  std::thread([&] { seen_elsewhere = fetch_text(Site::url("/store/echo")); }).join();
  EXPECT_EQ(seen_elsewhere, "tfxstore=1");
  // The cookie is kept for its path only.
  EXPECT_EQ(fetch_text(Site::url("/cookie-echo")), "");
}

TEST(HttpExchange, FollowsRedirectsAndShowsTheFinalHead) {
  Text head;
  ExchangeOptions options;
  options.response_head = &head;
  EXPECT_EQ(text_of(http_exchange(Site::url("/hop"), options)), "GET:");
  EXPECT_THAT(head, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(head, HasSubstr("X-Final: yes\r\n"));
  EXPECT_THAT(head, Not(HasSubstr("Location")));

  options.no_redirect = true;
  EXPECT_EQ(text_of(http_exchange(Site::url("/hop"), options)), "moved");
  EXPECT_THAT(head, StartsWith("HTTP/1.1 302 Found\r\n"));
}

TEST(HttpExchange, RedirectedRequestsKeepOrDropTheirBody) {
  struct Case {
    std::string path;
    int verb_code;
    std::string final_body;
  };
  const Case cases[] = {
      {"/hop", 1, "GET:"},         // a POST answered with 302 goes on as a plain GET
      {"/hop307", 1, "POST:a=1"},  // 307 repeats the request as it was
      {"/hop", 0, "GET:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " " + std::to_string(c.verb_code));
    ExchangeOptions options;
    options.verb_code = c.verb_code;
    options.body_text = "a=1";
    EXPECT_EQ(text_of(http_exchange(Site::url(c.path), options)), c.final_body);
  }
}

TEST(HttpExchange, GivenCookiesStayWithTheHostTheyWereGivenFor) {
  const std::pair<std::string, std::string> cases[] = {{"/near", "k=1"}, {"/away", ""}};
  for (const auto& [path, seen] : cases) {
    SCOPED_TRACE(path);
    Text cookies = "k=1";
    ExchangeOptions options;
    options.cookies = &cookies;
    EXPECT_EQ(text_of(http_exchange(Site::url(path), options)), seen);
  }
}

// Through a proxy any host name can be asked for, so a redirect can name the first host with
// its port left implicit, as a real site's Location usually does.
TEST(HttpExchange, CredentialsFollowARedirectOnlyToTheSameHost) {
  struct Case {
    Text target;
    std::string location;
    bool kept;
  };
  const Case cases[] = {
      {"http://tfx.invalid/a", "http://tfx.invalid/b", true},
      {"http://tfx.invalid:80/a", "http://TFX.invalid/b", true},
      {"http://tfx.invalid/a", "/b", true},
      {"http://tfx.invalid:8080/a", "http://tfx.invalid:8080/b", true},
      {"http://tfx.invalid/a", "http://tfx.invalid:8080/b", false},
      {"http://tfx.invalid/a", "http://other.invalid/b", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target + " -> " + c.location);
    RawServer proxy([&c](RawConnection& connection) {
      if (connection.request().find("/a HTTP/") != std::string::npos) {
        connection.send(answer("moved", "302 Found", "Location: " + c.location + "\r\n"));
      } else {
        connection.send(answer("there"));
      }
    });
    Text cookies = "k=1";
    Text extra = "Authorization: Basic eDp5";
    ExchangeOptions options;
    options.proxy_server = proxy.authority();
    options.cookies = &cookies;
    options.extra_headers = &extra;
    EXPECT_EQ(text_of(http_exchange(c.target, options)), "there");
    const std::vector<std::string> requests = proxy.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const char* line : {"\r\nCookie: k=1\r\n", "\r\nAuthorization: Basic eDp5\r\n"}) {
      EXPECT_THAT(requests[0], HasSubstr(line));
      if (c.kept) {
        EXPECT_THAT(requests[1], HasSubstr(line));
      } else {
        EXPECT_THAT(requests[1], Not(HasSubstr(line)));
      }
    }
  }
}

TEST(HttpExchange, BodiesBeyondTheLimitEndAsFailures) {
  for (const char* path : {"/huge/announced", "/huge/chunked"}) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(http_exchange(Site::url(path)).empty());
  }
}

TEST(HttpExchange, CompletesTheCallersHeaderLines) {
  struct Case {
    Text extra;
    std::string wire;  // the lines after Host, as the server receives them
    Text block;        // what the caller's variable holds afterwards
  };
  const Case cases[] = {
      // The exact-case test does not see a lower-case accept line: both go out.
      {"accept: text/html",
       "User-Agent: " + kDefaultAgent + "\r\naccept: text/html\r\n" + kDefaultLines,
       "accept: text/html\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      // The caller's agent line is the one agent line sent.
      {"user-agent: X", "user-agent: X\r\n" + kDefaultLines,
       "user-agent: X\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      {"Accept: a\r\nUser-Agent: X",
       "Accept: a\r\nUser-Agent: X\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded\r\n",
       "Accept: a\r\nUser-Agent: X\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      // A header with nothing after its colon is sent as written, not dropped.
      {"X-Blank:", "User-Agent: " + kDefaultAgent + "\r\nX-Blank:\r\n" + kDefaultLines,
       "X-Blank:\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      // A header name inside another line's value is no header: libcurl adds no Accept line.
      {"X-Note: Accept: none",
       "User-Agent: " + kDefaultAgent +
           "\r\nX-Note: Accept: none\r\nAccept-Language: zh-cn\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\n",
       "X-Note: Accept: none\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      // A lone line feed inside a line never starts a header of its own.
      {"X-A: 1\nX-B: 2", "User-Agent: " + kDefaultAgent + "\r\nX-A: 1 X-B: 2\r\n" + kDefaultLines,
       "X-A: 1\nX-B: 2\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extra);
    RawServer server(replying(answer("ok")));
    Text extra = c.extra;
    ExchangeOptions options;
    options.extra_headers = &extra;
    EXPECT_EQ(text_of(http_exchange(server.url("/"), options)), "ok");
    EXPECT_EQ(server.request(),
              "GET / HTTP/1.1\r\nHost: " + server.authority() + "\r\n" + c.wire + "\r\n");
    EXPECT_EQ(extra, c.block);
  }
}

TEST(HttpExchange, SendsABodyForEveryNonZeroVerbCode) {
  struct Case {
    int verb_code;
    Text body_text;
    Bytes body_bytes;
    std::string method;
    std::string sent_body;  // nullopt-like: empty with no Content-Length when nothing is sent
    bool has_length;
  };
  const Case cases[] = {
      {1, "a=1", {}, "POST", "a=1", true},
      {2, "a=1", {}, "GET", "a=1", true},
      {1, "ignored", {'x', 0, 'y'}, "POST", std::string("x\0y", 3), true},
      {0, "a=1", {}, "GET", "", false},
      {1, "", {}, "POST", "", true},
      // Large enough that libcurl would otherwise ask "Expect: 100-continue" and wait.
      {1, std::string(2 << 20, 'p'), {}, "POST", std::string(2 << 20, 'p'), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.verb_code) + " " + c.body_text.substr(0, 10));
    RawServer server(replying(answer("ok")));
    Bytes body_bytes = c.body_bytes;
    ExchangeOptions options;
    options.verb_code = c.verb_code;
    options.body_text = c.body_text;
    options.body_bytes = &body_bytes;
    EXPECT_EQ(text_of(http_exchange(server.url("/form"), options)), "ok");
    const std::string request = server.request();
    EXPECT_THAT(request, StartsWith(c.method + " /form HTTP/1.1\r\n"));
    EXPECT_THAT(request, Not(HasSubstr("Expect")));
    if (c.has_length) {
      EXPECT_THAT(request, HasSubstr("\r\nContent-Length: " + std::to_string(c.sent_body.size()) +
                                     "\r\n\r\n" + c.sent_body));
      EXPECT_EQ(text_of(body_bytes), c.sent_body);
    } else {
      EXPECT_THAT(request, Not(HasSubstr("Content-Length")));
      EXPECT_TRUE(body_bytes.empty());
    }
  }
}

// Whatever the caller's lines say, the request carries exactly those lines; of libcurl's own
// only Host, User-Agent and the body's Content-Length.
TEST(HttpExchange, SendsTheHeaderBlockAndNoLinesOfLibcurlsOwn) {
  struct Case {
    Text extra;
    int verb_code;
    std::size_t body_size;
  };
  const Case cases[] = {
      {"X-Note: Content-Type: none", 1, 3},
      {"X-Note: Content-Type: none", 2, 3},
      // Large enough that libcurl would otherwise ask "Expect: 100-continue".
      {"X-Note: Expect: no", 1, std::size_t{2} << 20},
      {"X-Note: Accept: none\r\nX-Other: Proxy-Connection: x", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extra + " " + std::to_string(c.verb_code));
    RawServer server(replying(answer("ok")));
    Text extra = c.extra;
    ExchangeOptions options;
    options.extra_headers = &extra;
    options.verb_code = c.verb_code;
    options.body_text = Text(c.body_size, 'p');
    EXPECT_EQ(text_of(http_exchange(server.url("/"), options)), "ok");
    const std::string request = server.request();
    const std::size_t end = request.find("\r\n\r\n");
    ASSERT_NE(end, std::string::npos);
    std::string wanted = "Host: " + server.authority() + "\r\nUser-Agent: " + kDefaultAgent +
                         "\r\n" + extra + "\r\n";
    if (c.verb_code != 0) wanted += "Content-Length: " + std::to_string(c.body_size) + "\r\n";
    EXPECT_EQ(request.substr(request.find("\r\n") + 2, end + 2 - request.find("\r\n") - 2), wanted);
  }
}

TEST(HttpExchange, PicksTheReturnedCookiesOutOfTheHead) {
  struct Case {
    std::string lines;
    Text returned;
    std::vector<std::string> head_lines;
  };
  const Case cases[] = {
      {"set-cookie: a=1; path=/setcookie\r\nSet-Cookie: b=2\r\n",
       "a=1; b=2",
       {"Set-Cookie: a=1; path=/setcookie\r\n", "Set-Cookie: b=2\r\n"}},
      {"SET-COOKIE:c=3\r\n", "c=3", {"Set-Cookie:c=3\r\n"}},
      {"X-Other: 1\r\n", "", {"X-Other: 1\r\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    RawServer server(replying(answer("ok", "200 OK", c.lines)));
    Text returned = "stale";
    Text head;
    ExchangeOptions options;
    options.returned_cookies = &returned;
    options.response_head = &head;
    http_exchange(server.url("/setcookie/x"), options);
    EXPECT_EQ(returned, c.returned);
    EXPECT_THAT(head, StartsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_THAT(head, Not(HasSubstr("\r\n\r\n")));
    for (const std::string& line : c.head_lines) EXPECT_THAT(head, HasSubstr(line));
  }
}

TEST(HttpExchange, GivenCookiesAreSentAndMergedWithoutTheSharedStore) {
  // Answers by path: /given/seed puts a cookie into the shared store, every other path sets
  // two cookies of its own.
  RawServer server([](RawConnection& c) {
    if (c.request().starts_with("GET /given/seed ")) {
      c.send(answer("seed", "200 OK", "Set-Cookie: s=1; Path=/given\r\n"));
    } else {
      c.send(answer("ok", "200 OK", "Set-Cookie: w=1; Path=/given\r\nSet-Cookie: b=2\r\n"));
    }
  });
  fetch_text(server.url("/given/seed"));

  struct Case {
    Text cookies;
    std::string cookie_line;  // empty: no Cookie line may be sent
    Text merged;
  };
  const Case cases[] = {
      {"", "", "w=1; b=2"},
      {"b=0; c=3", "Cookie: b=0; c=3\r\n", "w=1; b=2; c=3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cookies);
    Text cookies = c.cookies;
    Text returned;
    ExchangeOptions options;
    options.cookies = &cookies;
    options.returned_cookies = &returned;
    http_exchange(server.url("/given/x"), options);
    const std::string request = server.requests().back();
    if (c.cookie_line.empty()) {
      EXPECT_THAT(request, Not(HasSubstr("Cookie")));
    } else {
      EXPECT_THAT(request, HasSubstr("\r\n" + c.cookie_line));
      EXPECT_EQ(request.find("Cookie"), request.rfind("Cookie"));
    }
    EXPECT_EQ(cookies, c.merged);
    EXPECT_EQ(returned, "w=1;b=2");
  }
  // The store was neither read nor written by those exchanges.
  fetch_text(server.url("/given/x"));
  EXPECT_THAT(server.requests().back(), HasSubstr("\r\nCookie: s=1\r\n"));
}

TEST(HttpExchange, GoesThroughTheGivenProxyOnly) {
  RawServer proxy(replying(answer("via proxy")));
  Text head;
  ExchangeOptions options;
  options.proxy_server = proxy.authority();
  EXPECT_EQ(text_of(http_exchange("http://tfx.invalid:81/x?y", options)), "via proxy");
  EXPECT_EQ(proxy.request(),
            "GET http://tfx.invalid:81/x?y HTTP/1.1\r\nHost: tfx.invalid:81\r\n"
            "User-Agent: " +
                kDefaultAgent + "\r\n" + kDefaultLines + "\r\n");

  // The environment's proxy settings are not the program's.
  ::setenv("http_proxy", ("http://" + proxy.authority()).c_str(), 1);
  const Text page = fetch_text(Site::url("/missing"));
  ::unsetenv("http_proxy");
  EXPECT_EQ(page, "no such page");
  EXPECT_EQ(proxy.requests().size(), 1u);
}

TEST(HttpExchange, OpensASecureTunnelWithTheAgentItWorkedOut) {
  RawServer proxy(replying("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n"));
  Text extra = "Accept: a\r\nUser-Agent: X";
  ExchangeOptions options;
  options.proxy_server = proxy.authority();
  options.extra_headers = &extra;
  EXPECT_TRUE(http_exchange("https://tfx.invalid/x", options).empty());
  const std::string request = proxy.request();
  EXPECT_THAT(request, StartsWith("CONNECT tfx.invalid:443 HTTP/1.1\r\n"));
  // The fallback agent spans the block; its line break must not reach the wire as one.
  EXPECT_THAT(request, HasSubstr("\r\nUser-Agent: a  User-Agent: X\r\n"));
  // The tunnel request says what it must and no more.
  EXPECT_THAT(request, Not(HasSubstr("Proxy-Connection")));
}

TEST(HttpExchange, EndsWhenTheServerFallsSilent) {
  struct Case {
    const char* name;
    std::string sent;
    Text body;
  };
  const Case cases[] = {
      {"silent from the start", "", ""},
      {"silent after part of the body", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial",
       "partial"},
  };
  const TimeLimits limits{std::chrono::seconds(5), std::chrono::milliseconds(300)};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server([&c](RawConnection& connection) {
      connection.send(c.sent);
      connection.stall();
    });
    EXPECT_EQ(text_of(http_exchange(server.url("/"), {}, limits)), c.body);
  }
}

TEST(HttpExchange, AFailedConnectionLeavesTheOutputsConsistent) {
  Text extra;
  Text head = "old";
  Text returned = "old";
  Text cookies = "k=1";
  ExchangeOptions options;
  options.extra_headers = &extra;
  options.response_head = &head;
  options.returned_cookies = &returned;
  options.cookies = &cookies;
  EXPECT_TRUE(
      http_exchange("http://127.0.0.1:" + std::to_string(closed_port()) + "/", options).empty());
  EXPECT_EQ(extra,
            "Accept: */*\r\nAccept-Language: zh-cn\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\nCookie: k=1");
  EXPECT_EQ(head, "");
  EXPECT_EQ(returned, "");
  EXPECT_EQ(cookies, "k=1");
}

}  // namespace
}  // namespace tfx
