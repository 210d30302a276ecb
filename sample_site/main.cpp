// The bundled sample site on 127.0.0.1; an optional argument gives another port.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sample_site/site.h"

int main(int argc, char* argv[]) {
  int port = TFX_SAMPLE_SITE_PORT;
  if (argc > 1) port = std::atoi(argv[1]);
  if (port <= 0 || port > 65535) {
    std::fprintf(stderr, "usage: sample_site [port]\n");
    return 2;
  }
  httplib::Server server;
  tfx::sample_site::install(server);
  std::printf("sample site on http://127.0.0.1:%d/\n", port);
  std::fflush(stdout);
  if (!server.listen("127.0.0.1", port)) {
    std::fprintf(stderr, "sample_site: cannot listen on 127.0.0.1:%d\n", port);
    return 1;
  }
  return 0;
}
