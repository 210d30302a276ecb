// An HTTP server on 127.0.0.1 for tests, on a port the system picks; stopped on destruction.
#pragma once

#include <httplib.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace tfx::testing {

class LoopbackServer {
 public:
  LoopbackServer() : server_(std::make_unique<httplib::Server>()) {}
  ~LoopbackServer() { stop(); }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  httplib::Server& server() { return *server_; }

  // Call after the handlers are registered.
  void start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void stop() {
    if (thread_.joinable()) {
      server_->stop();
      thread_.join();
    }
  }
  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace tfx::testing
