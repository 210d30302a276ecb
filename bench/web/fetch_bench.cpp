// Page fetch throughput against a loopback server, for scripts/bench-fetch.sh.
//
//   web_fetch_bench serve BYTES   serves BYTES of text at /body on 127.0.0.1, prints its URL,
//                                 and runs until stopped
//   web_fetch_bench fetch URL     fetches URL once with fetch_text and prints the byte count
#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "web/http_exchange.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "serve") {
    std::string body(std::strtoull(argv[2], nullptr, 10), '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
    httplib::Server server;
    server.Get("/body", [&body](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(
          body.size(), "application/octet-stream",
          [&body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            return sink.write(body.data() + offset, std::min<std::size_t>(length, 1 << 20));
          });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::printf("http://127.0.0.1:%d/body\n", port);
    std::fflush(stdout);
    server.listen_after_bind();
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "fetch") {
    const tfx::Text page = tfx::fetch_text(argv[2]);
    std::printf("%zu\n", page.size());
    return page.empty() ? 1 : 0;
  }
  std::fprintf(stderr, "usage: %s serve BYTES | fetch URL\n", argv[0]);
  return 2;
}
