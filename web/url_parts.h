// Cutting an absolute http:// or https:// URL into host, port and request path.
#pragma once

#include "text/text.h"

namespace tfx {

// Lower-cased host; with keep_port an explicit ":port" stays on it.
Text url_host(const Text& target_url, bool keep_port = false);
// Explicit port, else 443 for https and 80 for everything else.
int url_port(const Text& target_url);
// Object name for the request line, always beginning with "/", in the URL's own case.
Text url_path(const Text& target_url);

}  // namespace tfx
