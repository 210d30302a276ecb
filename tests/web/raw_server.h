// A bare TCP server on 127.0.0.1 for tests where the exact request bytes matter, or where the
// answer has to misbehave (cut short, stalled). One connection at a time: it reads one request
// (head and announced body), records its bytes, hands it to the script and closes.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tfx::testing {

class RawServer;

class RawConnection {
 public:
  RawConnection(int fd, std::string request, RawServer& server)
      : fd_(fd), request_(std::move(request)), server_(server) {}

  const std::string& request() const { return request_; }
  void send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return;  // the client went away; the test sees that on its side
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  // Says nothing more until the server is stopped.
  void stall();

 private:
  int fd_;
  std::string request_;
  RawServer& server_;
};

class RawServer {
 public:
  using Script = std::function<void(RawConnection&)>;

  explicit RawServer(Script script) : script_(std::move(script)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 16) != 0) {
      std::abort();
    }
    socklen_t len = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~RawServer() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    stopped_.notify_all();
    thread_.join();
    ::close(listener_);
  }
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int port() const { return port_; }
  std::string authority() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string url(std::string_view path = "/") const {
    return "http://" + authority() + std::string(path);
  }
  std::vector<std::string> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  // The only request received; empty when there were none.
  std::string request() const {
    std::lock_guard lock(mutex_);
    return requests_.empty() ? std::string() : requests_.front();
  }

 private:
  friend class RawConnection;

  bool stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
  }

  void serve() {
    while (!stopping()) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) continue;
      std::string request = read_request(fd);
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
      }
      RawConnection connection(fd, std::move(request), *this);
      script_(connection);
      ::shutdown(fd, SHUT_RDWR);
      ::close(fd);
    }
  }

  // The head up to the blank line, then as many body bytes as Content-Length announces.
  static std::string read_request(int fd) {
    std::string data;
    std::size_t wanted = std::string::npos;
    char buffer[4096];
    while (data.size() < wanted) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      data.append(buffer, static_cast<std::size_t>(n));
      const std::size_t end = data.find("\r\n\r\n");
      if (wanted == std::string::npos && end != std::string::npos) {
        wanted = end + 4 + content_length(data.substr(0, end));
      }
    }
    return data;
  }

  static std::size_t content_length(std::string head) {
    for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t at = head.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return std::strtoul(head.c_str() + at + 17, nullptr, 10);
  }

  Script script_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::vector<std::string> requests_;
};

inline void RawConnection::stall() {
  std::unique_lock lock(server_.mutex_);
  server_.stopped_.wait(lock, [this] { return server_.stopping_; });
}

// A port nothing listens on: bound once, then released.
inline int closed_port() {
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
