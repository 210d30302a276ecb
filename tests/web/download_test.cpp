#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/web/raw_server.h"
#include "web/http_exchange.h"

namespace tfx {
namespace {

using ::testing::HasSubstr;
using testing::RawConnection;
using testing::RawServer;

struct Collected {
  std::string data;
  ByteSink sink() {
    return [this](const char* bytes, std::size_t size) {
      data.append(bytes, size);
      return true;
    };
  }
};

TEST(DownloadStream, SendsTheDownloadRequest) {
  RawServer server([](RawConnection& c) { c.send("HTTP/1.0 200 OK\r\n\r\nmp3"); });
  Collected got;
  const DownloadOutcome outcome = download_stream(server.url("/down/7 a.mp3"), got.sink());
  EXPECT_EQ(server.request(), "GET /down/7%20a.mp3 HTTP/1.0\r\nHost: " + server.authority() +
                                  "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT "
                                  "5.0)\r\nAccept: */*\r\n\r\n");
  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ(got.data, "mp3");
}

TEST(DownloadStream, UsesTheEnvironmentsProxy) {
  RawServer proxy([](RawConnection& c) { c.send("HTTP/1.0 200 OK\r\n\r\nproxied"); });
  ::setenv("http_proxy", ("http://" + proxy.authority()).c_str(), 1);
  ::unsetenv("no_proxy");
  ::unsetenv("NO_PROXY");
  Collected got;
  const DownloadOutcome outcome = download_stream("http://tfx.invalid/s.mp3", got.sink());
  ::unsetenv("http_proxy");
  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ(got.data, "proxied");
  EXPECT_THAT(proxy.request(), ::testing::StartsWith("GET http://tfx.invalid/s.mp3 HTTP/1.0\r\n"));
  EXPECT_THAT(proxy.request(), ::testing::Not(HasSubstr("Proxy-Connection")));
}

struct OutcomeCase {
  const char* name;
  std::string response;  // sent as is, then the connection closes
  bool complete;
  long status;
  std::string body;
};

TEST(DownloadStream, ReportsHowTheTransferEnded) {
  const std::string body(300000, 'm');
  const OutcomeCase cases[] = {
      {"announced length", "HTTP/1.0 200 OK\r\nContent-Length: 300000\r\n\r\n" + body, true, 200,
       body},
      {"ended by close", "HTTP/1.0 200 OK\r\n\r\n" + body, true, 200, body},
      {"cut short", "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(400, 'c'),
       false, 200, std::string(400, 'c')},
      {"error page", "HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\ngone", true, 404, "gone"},
      {"nothing at all", "", false, 0, ""},
  };
  for (const OutcomeCase& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server([&c](RawConnection& connection) { connection.send(c.response); });
    Collected got;
    const DownloadOutcome outcome = download_stream(server.url("/s.mp3"), got.sink());
    EXPECT_EQ(outcome.complete, c.complete);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.bytes, c.body.size());
    EXPECT_EQ(got.data, c.body);
    EXPECT_FALSE(outcome.sink_failed);
    EXPECT_EQ(outcome.error.empty(), c.complete) << outcome.error;
  }
}

TEST(DownloadStream, FollowsRedirects) {
  RawServer target([](RawConnection& c) { c.send("HTTP/1.0 200 OK\r\n\r\nthere"); });
  RawServer first([&target](RawConnection& c) {
    c.send("HTTP/1.0 302 Found\r\nLocation: " + target.url("/t.mp3") + "\r\n\r\n");
  });
  Collected got;
  const DownloadOutcome outcome = download_stream(first.url("/s.mp3"), got.sink());
  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ(outcome.status, 200);
  EXPECT_EQ(got.data, "there");
}

TEST(DownloadStream, StopsWhenTheSinkRefuses) {
  RawServer server([](RawConnection& c) {
    c.send("HTTP/1.0 200 OK\r\nContent-Length: 8000000\r\n\r\n");
    c.send(std::string(8000000, 'x'));
  });
  int calls = 0;
  const DownloadOutcome outcome =
      download_stream(server.url("/s.mp3"), [&calls](const char*, std::size_t) {
        ++calls;
        return false;
      });
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(outcome.sink_failed);
  EXPECT_FALSE(outcome.complete);
  EXPECT_EQ(outcome.bytes, 0u);
  EXPECT_FALSE(outcome.error.empty());
}

TEST(DownloadStream, EndsWhenTheServerFallsSilent) {
  RawServer server([](RawConnection& c) {
    c.send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nhalf");
    c.stall();
  });
  Collected got;
  const DownloadOutcome outcome =
      download_stream(server.url("/s.mp3"), got.sink(),
                      TimeLimits{std::chrono::seconds(5), std::chrono::milliseconds(300)});
  EXPECT_FALSE(outcome.complete);
  EXPECT_EQ(got.data, "half");
  EXPECT_THAT(outcome.error, HasSubstr("no data"));
}

TEST(DownloadBytes, HoldsWhateverWasRead) {
  RawServer server([](RawConnection& c) {
    c.send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n");
    c.send(std::string("ab\0cd", 5));
  });
  const Bytes data = download_bytes(server.url("/s.mp3"));
  EXPECT_EQ(std::string(data.begin(), data.end()), std::string("ab\0cd", 5));
  EXPECT_TRUE(
      download_bytes("http://127.0.0.1:" + std::to_string(testing::closed_port()) + "/").empty());
}

}  // namespace
}  // namespace tfx
