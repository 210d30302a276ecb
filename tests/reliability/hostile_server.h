// A server on 127.0.0.1 that misbehaves on purpose: it answers each connection from a script
// that may send any bytes, pause, stall until the server stops, or reset the connection.
// Connections are served at once, each on its own thread, so redirect chains and overlapping
// requests work.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace tfx::testing {

class HostileServer;

class Exchange {
 public:
  Exchange(int fd, std::string request, HostileServer& server)
      : fd_(fd), request_(std::move(request)), server_(server) {}

  // The request head as received.
  const std::string& request() const { return request_; }
  // The request target of the request line ("/?search=...").
  std::string target() const {
    const std::size_t from = request_.find(' ');
    const std::size_t to = request_.find(' ', from + 1);
    if (from == std::string::npos || to == std::string::npos) return {};
    return request_.substr(from + 1, to - from - 1);
  }

  // False once the client has gone away.
  bool send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
  // Ends the connection with a reset instead of an orderly close.
  void reset() {
    linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd_);
    fd_ = -1;
  }
  void pause(std::chrono::milliseconds time);
  // Says nothing more until the server stops.
  void stall();

  int fd() const { return fd_; }

 private:
  int fd_;
  std::string request_;
  HostileServer& server_;
};

class HostileServer {
 public:
  using Script = std::function<void(Exchange&)>;

  explicit HostileServer(Script script) : script_(std::move(script)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 128) != 0) {
      std::abort();
    }
    socklen_t len = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { accept_loop(); });
  }
  ~HostileServer() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    stopped_.notify_all();
    acceptor_.join();
    for (std::thread& t : connections_) t.join();
    ::close(listener_);
  }
  HostileServer(const HostileServer&) = delete;
  HostileServer& operator=(const HostileServer&) = delete;

  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
  int requests() const { return requests_; }

 private:
  friend class Exchange;

  bool stopping() {
    std::lock_guard lock(mutex_);
    return stopping_;
  }

  void accept_loop() {
    while (!stopping()) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      connections_.emplace_back([this, fd] { serve(fd); });
    }
  }

  void serve(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    ++requests_;
    Exchange exchange(fd, std::move(request), *this);
    script_(exchange);
    if (exchange.fd() >= 0) {
      ::shutdown(exchange.fd(), SHUT_RDWR);
      ::close(exchange.fd());
    }
  }

  Script script_;
  int listener_ = -1;
  int port_ = 0;
  std::thread acceptor_;
  std::list<std::thread> connections_;  // touched by the acceptor only, then by the destructor
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::atomic<int> requests_{0};
};

inline void Exchange::pause(std::chrono::milliseconds time) {
  std::unique_lock lock(server_.mutex_);
  server_.stopped_.wait_for(lock, time, [this] { return server_.stopping_; });
}

inline void Exchange::stall() {
  std::unique_lock lock(server_.mutex_);
  server_.stopped_.wait(lock, [this] { return server_.stopping_; });
}

// A port nothing listens on: bound once, then released.
inline int refusing_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

}  // namespace tfx::testing
