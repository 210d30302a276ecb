// A generated search results page like the music site's: UTF-8, mostly Chinese text, percent
// sequences and a bare '%' in its markup, about 2,000 song blocks per MiB. Deterministic, so
// that the C++ benchmark and the Python comparison work on the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tfx::bench {

class PageGenerator {
 public:
  std::string page(std::size_t size) {
    state_ = 0x9E3779B97F4A7C15ull;
    std::string out;
    out.reserve(size + 4096);
    out +=
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>搜索结果</title>"
        "<style>.bar{width:100%;height:2px}</style></head><body><ul class=\"list\">\n";
    int n = 0;
    while (out.size() < size) block(out, n++);
    out += "</ul></body></html>\n";
    return out;
  }

 private:
  std::uint64_t next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return state_ >> 33;
  }

  // Ideographs from U+4E00..U+9FA5: all of them are in code page 936.
  void hanzi(std::string& out, int count) {
    for (int i = 0; i < count; ++i) {
      const auto cp = static_cast<std::uint32_t>(0x4E00 + next() % (0x9FA6 - 0x4E00));
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  void block(std::string& out, int n) {
    char uid[16];
    std::snprintf(uid, sizeof uid, "%08x", static_cast<unsigned>(next()));
    std::string title;
    hanzi(title, 4 + static_cast<int>(next() % 6));
    out += "<li><div class=\"text\"><a href=\"/play/";
    out += uid;
    out += ".html\" title=\"";
    out += title;
    out += "\" target=\"_blank\">";
    out += title;
    out += "</a>\n<span class=\"singer\">";
    hanzi(out, 3);
    out += "</span><span class=\"size\">";
    out += std::to_string(2 + n % 7) + "." + std::to_string(n % 100) + " MB";
    out += "</span><span class=\"date\">2023年";
    out += std::to_string(1 + n % 12) + "月" + std::to_string(1 + n % 28) + "日</span></div>\n";
    out += "<p class=\"intro\">";
    hanzi(out, 40 + static_cast<int>(next() % 20));
    out += "<a href=\"/?search=%E6%AD%A3%E4%B9%89&amp;p=";
    out += std::to_string(n);
    out += "\">";
    hanzi(out, 4);
    out += "</a>，";
    hanzi(out, 12);
    out += "</p></li>\n";
  }

  std::uint64_t state_ = 0;
};

}  // namespace tfx::bench
