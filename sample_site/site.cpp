#include "sample_site/site.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "sample_site/media.h"
#include "text/url_coding.h"

namespace tfx::sample_site {

namespace {

struct Song {
  std::string_view uid;
  std::string_view title;
  std::string_view size;  // empty: the site prints no size for the song
  std::string_view date;
};

constexpr std::array kCatalogue{
    Song{"1001", "正义之道", "3.62 MB", "2024年03月15日"},
    Song{"1002", "正义之道 (伴奏)", "3.41 MB", "2024年03月16日"},
    Song{"1003", "听风的歌", "", "2023年11月02日"},
    Song{"1004", "晴天", "4.05 MB", "2022年07月09日"},
    Song{"1005", "夜空中最亮的星", "5.10 MB", "2021年12月24日"},
    Song{"1006", "Hello World", "2.20 MB", "2020年01月01日"},
    Song{"1007", "风吹麦浪", "", "2019年05月20日"},
};

struct SpaceSong {
  std::string_view name;
  std::string_view uid;  // the address points at this song's file on the site itself
};

struct Space {
  std::string_view qq;
  std::array<SpaceSong, 3> songs;
  size_t count;
};

constexpr std::array kSpaces{
    Space{"10001", {{{"正义之道", "1001"}, {"晴天", "1004"}, {"风吹麦浪", "1007"}}}, 3},
    Space{"123456", {{{"夜空中最亮的星", "1005"}, {"Hello World", "1006"}, {}}}, 2},
};

std::string html_escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

const Song* find_song(std::string_view uid) {
  auto it = std::find_if(kCatalogue.begin(), kCatalogue.end(),
                         [&](const Song& s) { return s.uid == uid; });
  return it == kCatalogue.end() ? nullptr : &*it;
}

// ASCII letters fold; everything else must match byte for byte.
bool contains_folded(std::string_view hay, std::string_view needle) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != hay.end();
}

std::string page_head(std::string_view title) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + html_escape(title) +
         "</title>\n<style>body{font-size:100%;margin:0 auto;width:80%}"
         ".list{width:100%}</style></head>\n<body>\n";
}

std::string search_form(std::string_view query) {
  return "<form action=\"/\" method=\"get\"><input name=\"search\" value=\"" + html_escape(query) +
         "\"><button>搜索</button></form>\n";
}

// One song block as the real site prints it: the play link with its title, the size when the
// site knows it, and the upload date, whose closing "日</span>" ends the block.
std::string song_block(size_t number, const Song& s) {
  std::string b = "<div class=\"text\"><span class=\"num\">" + std::to_string(number) +
                  "</span><a href=\"/play/" + std::string(s.uid) + ".html\" title=\"" +
                  html_escape(s.title) + "\" target=\"_blank\">" + html_escape(s.title) + "</a>";
  if (!s.size.empty()) b += "<span class=\"size\">" + std::string(s.size) + "</span>";
  b += "<span class=\"date\">" + std::string(s.date) + "</span></div>\n";
  return b;
}

void music_home(const httplib::Request& req, httplib::Response& res) {
  if (!req.has_param("search")) {
    std::string page = page_head("示例音乐站") + "<h1>示例音乐站</h1>\n" + search_form("") +
                       "<p>输入歌名搜索，歌曲可试听和下载。</p>\n</body></html>\n";
    res.set_content(page, "text/html; charset=utf-8");
    return;
  }
  const std::string query = req.get_param_value("search");
  std::string page = page_head("搜索 " + query + " - 示例音乐站") + search_form(query) +
                     "<div class=\"list\" style=\"width:100%\">\n";
  size_t hits = 0;
  for (const Song& s : kCatalogue) {
    if (query.empty() || contains_folded(s.title, query)) page += song_block(++hits, s);
  }
  if (hits == 0) page += "<p class=\"none\">没有找到相关歌曲</p>\n";
  page += "</div>\n<p class=\"foot\">共 " + std::to_string(hits) + " 首</p>\n</body></html>\n";
  res.set_content(page, "text/html; charset=utf-8");
}

void play_page(const httplib::Request& req, httplib::Response& res) {
  const Song* s = find_song(req.matches[1].str());
  if (s == nullptr) {
    res.status = 404;
    res.set_content(page_head("没有这首歌") + "<p>没有这首歌</p></body></html>\n",
                    "text/html; charset=utf-8");
    return;
  }
  res.set_content(page_head(std::string(s->title) + " - 试听") + "<h1>" + html_escape(s->title) +
                      "</h1>\n<audio src=\"/down/" + std::string(s->uid) +
                      ".mp3\" autoplay loop controls></audio>\n</body></html>\n",
                  "text/html; charset=utf-8");
}

void song_file(const httplib::Request& req, httplib::Response& res) {
  const std::string_view data = media_file(req.matches[1].str());
  if (data.empty()) {
    res.status = 404;
    res.set_content("no such song\n", "text/plain");
    return;
  }
  res.set_content(std::string(data), "audio/mpeg");
}

// The lookup service answers in code page 936 with CR LF line ends; the song blocks and their
// fields are cut out by fixed markers that include those line ends.
void space_lookup(const httplib::Request& req, httplib::Response& res) {
  const std::string qq = req.get_param_value("qq");
  const std::string host = req.has_header("Host") ? req.get_header_value("Host") : "127.0.0.1";
  std::string page =
      "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=gb2312\">\r\n<title>QQ空间背景音乐查询</title>\r\n</head>\r\n<body>\r\n"
      "<p>QQ：" +
      html_escape(qq) + "</p>\r\n";
  auto space =
      std::find_if(kSpaces.begin(), kSpaces.end(), [&](const Space& s) { return s.qq == qq; });
  if (space == kSpaces.end()) {
    page += "<p>没有找到该空间的背景音乐</p>\r\n";
  } else {
    for (size_t i = 0; i < space->count; ++i) {
      const SpaceSong& s = space->songs[i];
      page +=
          "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\">\r\n"
          "  <tr>\r\n"
          "    <td width=\"30\" height=\"25\"><font color=\"#999999\">" +
          std::to_string(i + 1) +
          ".</font></td>\r\n"
          "    <td><font color=\"#999999\">歌曲名称：</font><a  style=\"COLOR: #65a156; "
          "TEXT-DECORATION: none \"><b>" +
          std::string(s.name) +
          "</b></a></td>\r\n"
          "  </tr>\r\n"
          "  <tr>\r\n"
          "    <td></td>\r\n"
          "    <td><font color=\"#999999\">歌曲地址：</font><span id=\"tb1\" style=\"COLOR: "
          "#65a156; TEXT-DECORATION: none \" >http://" +
          host + "/down/" + std::string(s.uid) +
          ".mp3</span></td>\r\n"
          "  </tr>\r\n"
          "<tr><td colspan=\"2\" height=\"1\" bgcolor=\"#E7F4CC\"></td></tr>\r\n"
          "</table>\r\n";
    }
  }
  page += "</body>\r\n</html>\r\n";
  res.set_content(utf8_to_gbk(page), "text/html; charset=gb2312");
}

void simple_page(httplib::Response& res, std::string_view title, const std::string& body) {
  res.set_content(page_head(title) + body + "</body></html>\n", "text/html; charset=utf-8");
}

}  // namespace

void install(httplib::Server& server) {
  server.Get("/", music_home);
  server.Get(R"(/play/([^/]*)\.html)", play_page);
  server.Get(R"(/down/([^/]*)\.mp3)", song_file);
  server.Get("/qzone/", space_lookup);
  server.Get("/start.html", [](const httplib::Request&, httplib::Response& res) {
    simple_page(res, "听风匣", "<p>听风匣 v1.1 已启动。</p>\n");
  });
  server.Get("/maker/", [](const httplib::Request&, httplib::Response& res) {
    simple_page(res, "墨石软件站", "<h1>墨石软件站</h1>\n<p>听风匣 v1.1 是最新版本。</p>\n");
  });
  server.Get("/wpa/qunwpa", [](const httplib::Request& req, httplib::Response& res) {
    simple_page(res, "加入QQ群",
                "<p>加入粉丝群，群钥匙：" + html_escape(req.get_param_value("idkey")) + "</p>\n");
  });
}

}  // namespace tfx::sample_site
