// What the HTTP exchange and the song download share of libcurl: one-time set-up, the
// in-process cookie store, handle owners, the silence watch and the request address.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>

#include "text/text.h"
#include "web/http_exchange.h"

namespace tfx::detail {

// libcurl's global set-up, done once for the whole process before the first handle.
void ensure_curl_ready();

// The cookie store every exchange without explicit cookies reads and writes, shared by all
// threads (libcurl locks it through our callbacks).
CURLSH* shared_cookie_store();

// Receive buffer for every transfer: large reads keep a fast loopback or LAN transfer from
// being paced by the per-call overhead of small ones.
inline constexpr long kReceiveBufferBytes = 512L * 1024;
// A redirect chain longer than this is a loop; the last response then stands.
inline constexpr int kMaxRedirects = 30;

// Owns one easy handle; released on every path.
class EasyHandle {
 public:
  EasyHandle() : handle_(curl_easy_init()) {}
  ~EasyHandle() {
    if (handle_ != nullptr) curl_easy_cleanup(handle_);
  }
  EasyHandle(EasyHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  EasyHandle& operator=(EasyHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  EasyHandle(const EasyHandle&) = delete;
  EasyHandle& operator=(const EasyHandle&) = delete;

  CURL* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  CURL* handle_;
};

// Owns a header list; the strings are copied by libcurl on append.
class HeaderList {
 public:
  HeaderList() = default;
  ~HeaderList() { curl_slist_free_all(list_); }
  HeaderList(HeaderList&& other) noexcept : list_(std::exchange(other.list_, nullptr)) {}
  HeaderList& operator=(HeaderList&& other) noexcept {
    std::swap(list_, other.list_);
    return *this;
  }
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;

  // False when libcurl could not take the line (out of memory).
  bool append(const std::string& line) {
    curl_slist* grown = curl_slist_append(list_, line.c_str());
    if (grown == nullptr) return false;
    list_ = grown;
    return true;
  }
  curl_slist* get() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

// Ends a transfer once the server has been silent for the stall limit. The clock starts
// when the connection stands (reused or new), so a slow connect is left to the connect limit.
class SilenceWatch {
 public:
  explicit SilenceWatch(std::chrono::milliseconds limit) : limit_(limit) {}

  // Installs the callbacks on `handle`; the watch must outlive the transfer.
  void attach(CURL* handle);
  // Something arrived from the server (a header line or body bytes).
  void touch() { last_activity_ = Clock::now(); }
  bool tripped() const { return tripped_; }
  void reset() {
    connected_ = false;
    tripped_ = false;
    last_upload_ = 0;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static int on_prereq(void* self, char*, char*, int, int);
  static int on_progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow);

  std::chrono::milliseconds limit_;
  bool connected_ = false;
  bool tripped_ = false;
  curl_off_t last_upload_ = 0;
  Clock::time_point last_activity_{};
};

// The request address handed to libcurl for `target_url`: host and port from url_host and
// url_port, the object name from url_path with every byte that may not stand in a request line
// (space, control bytes, bytes of 0x80 and above) percent-coded, and '#' as well so that the
// fragment reaches the server with the rest. Nothing when the host or port cannot name a server.
std::optional<std::string> request_address(const Text& target_url);

// True when `url` begins with "https" in any letter case.
bool is_secure_url(const std::string& url);

// The proxy a WinInet-style proxy list names for a scheme: entries separated by spaces or
// semicolons, each either "scheme=address" (for that scheme only) or a bare address (for every
// scheme). Empty: connect directly.
std::string proxy_for_scheme(const std::string& proxy_list, bool secure);

// The cookies the Set-Cookie lines of a response head set, as "name=value; name=value". The
// head's header names are already in the one case "Set-Cookie".
Text returned_cookies_of(const Text& head);

// Replaces every CR and LF so a value can never end a header line early.
std::string without_line_breaks(std::string value);

// Asks the kernel to back a large fresh buffer with huge pages where it can: filling a
// body of tens of megabytes otherwise costs one page fault per 4 KiB, which on a virtual
// machine takes longer than the loopback transfer itself. Only a hint; nothing changes when
// the system says no.
void prefer_large_pages(void* buffer, std::size_t size);

// Sets the connect limit, the silence watch, the receive buffer and the protocol whitelist that
// every transfer of the program has.
void apply_common_options(CURL* handle, const TimeLimits& limits, SilenceWatch& watch);

}  // namespace tfx::detail
