// One HTTP request over libcurl, and the page fetch the program's pages are built on.
//
// Transport failures are values: the result is then empty and nothing is thrown or logged.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "text/text.h"

namespace tfx {

// Every argument after the URL is either given or absent. Pointers are the in/out and out
// arguments: nullptr means absent, and a given pointer is written back as documented even
// when it points to an empty text.
struct ExchangeOptions {
  std::optional<int> verb_code;      // 1: POST, else GET; non-zero: a body is sent
  std::optional<Text> body_text;     // used when body_bytes is empty
  Text* cookies = nullptr;           // given: sent as the Cookie line, the shared store is
                                     // bypassed, and returned cookies are merged in
  Text* returned_cookies = nullptr;  // out: name=value pairs of the Set-Cookie lines
  Text* extra_headers = nullptr;     // in/out: completed with the default lines
  Text* response_head = nullptr;     // out: status line and headers, CR LF separated
  bool no_redirect = false;
  Bytes* body_bytes = nullptr;       // in/out: filled from body_text when a body is sent
  std::optional<Text> proxy_server;  // given: the request goes through this host:port
};

// Time limits the program keeps, as the platform client would: nothing waits forever.
inline constexpr long kConnectTimeoutSeconds = 60;
inline constexpr long kStallTimeoutSeconds = 30;  // no byte for this long ends a read
// A larger body ends the exchange as a failure, so a hostile server cannot exhaust memory.
inline constexpr std::size_t kMaxBodyBytes = std::size_t{64} << 20;

// The limits a transfer runs under; tests shorten them so a stalled server costs seconds.
struct TimeLimits {
  std::chrono::milliseconds connect{kConnectTimeoutSeconds * 1000};
  std::chrono::milliseconds stall{kStallTimeoutSeconds * 1000};
};

// The limits of every transfer that is not given its own: those above unless changed. Only
// tests change them, so that a page or download from a stalled server costs them seconds.
TimeLimits default_time_limits();
void set_default_time_limits(const TimeLimits& limits);

Bytes http_exchange(const Text& target_url, const ExchangeOptions& options = {});
Bytes http_exchange(const Text& target_url, const ExchangeOptions& options,
                    const TimeLimits& limits);

// The trimmed text after the first ":", or empty when there is none.
Text header_value(const Text& header_line);

// The agent string an exchange opens with for these extra header lines: the value of a
// "User-Agent:" line ended by CR LF, else the value of the first header line, else the default.
Text exchange_agent(const Text& extra_headers);

// A GET with every option absent; the body up to its first zero byte, empty on any failure.
Text fetch_text(const Text& target_url);

// ---- Song file downloads ----------------------------------------------------------------

// Receives the body as it arrives; returning false aborts the transfer (e.g. the disk is full).
using ByteSink = std::function<bool(const char* data, std::size_t size)>;

struct DownloadOutcome {
  bool complete = false;     // the server signalled the end of the body and the sink took it all
  long status = 0;           // status of the final response; 0 when no response arrived
  bool sink_failed = false;  // the sink refused bytes
  std::string error;         // what went wrong in transport, in the client's own words (ASCII)
  std::uint64_t bytes = 0;   // body bytes handed to the sink
};

// GET over HTTP/1.0 with the download profile: its own user agent, "Accept: */*" and no other
// header of its own, redirects followed, the system's proxy settings, no cache, the same time
// limits as http_exchange. The body streams into `sink`; memory stays flat.
DownloadOutcome download_stream(const Text& url, const ByteSink& sink);
DownloadOutcome download_stream(const Text& url, const ByteSink& sink, const TimeLimits& limits);

// The same request with the body held in memory; empty when nothing could be read.
Bytes download_bytes(const Text& url);

}  // namespace tfx
