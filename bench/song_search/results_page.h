// A music-site answer listing many songs, in the site's own markup, for the search benchmarks.
#pragma once

#include <string>

namespace tfx::bench {

inline constexpr int kSongs = 2000;

inline std::string results_page(int songs = kSongs) {
  std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><ul>\n";
  for (int i = 0; i < songs; ++i) {
    const std::string uid = std::to_string(100000 + i);
    page += "<li><div class=\"text\"><a href=\"/play/" + uid + ".html\" title=\"正义之道 第" +
            std::to_string(i) + "版\" target=\"_blank\">正义之道 第" + std::to_string(i) +
            "版</a><span class=\"singer\">群星</span><span class=\"size\">3.52M</span>" +
            "<span class=\"date\">2019年05月12日</span></div></li>\n";
  }
  return page + "</ul></body></html>\n";
}

}  // namespace tfx::bench
