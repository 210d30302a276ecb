// What the test servers send when they do answer: a search results page of the music site, a
// QQ Space lookup page and a song file, each in the layout and code page its service uses.
#pragma once

#include <cstdint>
#include <string>

#include "text/url_coding.h"

namespace tfx::testing {

struct ServedSong {
  std::string uid;
  std::string title;  // UTF-8
};

// UTF-8, as the music site answers; `extra` goes into each title unchanged (bytes that are not
// UTF-8, for one).
inline std::string search_page(const std::string& extra = {}) {
  static const ServedSong songs[] = {{"1001", "正义之道"}, {"1004", "晴天"}};
  std::string page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>\n"
      "<div class=\"list\">\n";
  for (const ServedSong& s : songs) {
    page += "<div class=\"text\"><a href=\"/play/" + s.uid + ".html\" title=\"" + s.title + extra +
            "\" target=\"_blank\">" + s.title +
            "</a><span class=\"size\">3.62 MB</span>"
            "<span class=\"date\">2024年03月15日</span></div>\n";
  }
  return page + "</div>\n<p class=\"foot\">共 2 首</p>\n</body></html>\n";
}

// Code page 936 with CR LF line ends, as the lookup service answers.
inline std::string space_page(const std::string& extra = {}) {
  static const char* names[] = {"正义之道", "晴天"};
  std::string page =
      utf8_to_gbk("<html>\r\n<head><title>QQ空间背景音乐查询</title></head>\r\n<body>\r\n");
  for (const char* name : names) {
    page +=
        utf8_to_gbk(
            "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">\r\n"
            "<tr><td><font color=\"#999999\">歌曲名称：</font><a  style=\"COLOR: #65a156; "
            "TEXT-DECORATION: none \"><b>" +
            std::string(name)) +
        extra +
        utf8_to_gbk(
            "</b></a></td></tr>\r\n<tr><td><font color=\"#999999\">歌曲地址：</font><span "
            "id=\"tb1\" style=\"COLOR: #65a156; TEXT-DECORATION: none \" "
            ">http://127.0.0.1/down/1001.mp3</span></td>\r\n</tr>\r\n"
            "<tr><td colspan=\"2\" height=\"1\" bgcolor=\"#E7F4CC\"></td></tr>\r\n</table>\r\n");
  }
  return page + "</body>\r\n</html>\r\n";
}

// A song file: `size` bytes that differ from song to song and include zero bytes.
inline std::string song_file(std::size_t size, std::uint32_t seed = 1) {
  std::string data(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (char& c : data) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x & 0xFF);
  }
  return data;
}

}  // namespace tfx::testing
