// The site's MP3 files, built into the program from media/.
#pragma once

#include <cstddef>
#include <string_view>

namespace tfx::sample_site {

// The bytes of media/<uid>.mp3; empty when there is no such file.
std::string_view media_file(std::string_view uid);

}  // namespace tfx::sample_site
