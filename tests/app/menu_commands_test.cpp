// The five menu commands hand fixed addresses to the system or to the hidden browser box.
#include <gtest/gtest.h>

#include <functional>

#include "app/menu_commands.h"
#include "tests/mock/fake_window.h"
#include "text/url_coding.h"

namespace tfx::testing {
namespace {

MakerConfig maker() {
  return MakerConfig{"http://maker.example/",
                     "maker.example",
                     "10001",
                     "moshi.example",
                     "http://qun.example",
                     "3f9a0c1e5b7d2468ace0bd13579f2e4c6a8b0d1f3e5c7a9b2d4f6e8a0c1b3d5f"};
}

struct CommandCase {
  const char* name;
  std::function<void(MenuCommands&)> run;
  const char* call;  // the one window operation the command makes
  Text address;
};

TEST(MenuCommandsTest, EachCommandMakesItsOneCall) {
  const CommandCase cases[] = {
      {"官网", &MenuCommands::official_site, "open_in_default_browser", "http://maker.example/"},
      {"粉丝群", &MenuCommands::fan_group, "open_in_default_browser",
       "http://qun.example/wpa/qunwpa?idkey="
       "3f9a0c1e5b7d2468ace0bd13579f2e4c6a8b0d1f3e5c7a9b2d4f6e8a0c1b3d5f"},
      {"联系我", &MenuCommands::contact_me, "open_in_default_browser",
       "tencent://Message/?Uin=10001&websiteName=moshi.example&Menu=yes"},
      {"取消试听", &MenuCommands::cancel_preview, "browser_navigate", "maker.example"},
      {"检查更新", &MenuCommands::check_update, "open_in_default_browser", "http://maker.example/"},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWindow window;
    MenuCommands commands(window, maker());
    c.run(commands);
    EXPECT_EQ(window.calls(), std::vector<std::string>{c.call});
    const auto& got =
        std::string(c.call) == "browser_navigate" ? window.navigations() : window.opened();
    EXPECT_EQ(got, std::vector<Text>{c.address});
    EXPECT_TRUE(window.messages().empty());
  }
}

}  // namespace
}  // namespace tfx::testing
