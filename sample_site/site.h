// A small stand-in for the services 听风匣 talks to, for development and tests on loopback:
// the music site (search, play pages, MP3 files), the QQ Space music lookup service, and the
// maker's pages (start page, site, fan-group join page).
#pragma once

#include <httplib.h>

namespace tfx::sample_site {

// Installs every page of the site on the server.
void install(httplib::Server& server);

}  // namespace tfx::sample_site
