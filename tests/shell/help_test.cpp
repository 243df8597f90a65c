// The help command hands a document to the desktop, and the help the build
// ships answers the operator's messages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/virtual_loop.h"
#include "link/messages.h"
#include "shell/help.h"
#include "shell/password.h"
#include "tests/support/rig.h"

namespace kp::test {
namespace {

class LookHelp : public ::testing::Test {
 protected:
  void withChm() { folder.write("help.chm", "ITSF"); }
  void withHtml() {
    std::filesystem::create_directory(folder.path() / "help");
    folder.write("help/index.html", "<html></html>");
  }
  TempDir folder;
  RecordingDesktop desktop;
};

#ifndef _WIN32
TEST_F(LookHelp, TheCompiledHelpWinsWhenItIsThere) {
  withChm();
  withHtml();
  EXPECT_TRUE(look_help(folder.str(), desktop));
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_EQ(std::filesystem::path(desktop.opened[0]), folder.path() / "help.chm");
}

TEST_F(LookHelp, OtherwiseTheShippedHtmlHelpOpens) {
  withHtml();
  EXPECT_TRUE(look_help(folder.str(), desktop));
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_EQ(std::filesystem::path(desktop.opened[0]), folder.path() / "help" / "index.html");
}

TEST_F(LookHelp, WithNeitherNothingIsHandedOver) {
  EXPECT_FALSE(look_help(folder.str(), desktop));
  EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(LookHelp, AFolderNamedLikeTheHelpIsNotADocument) {
  std::filesystem::create_directory(folder.path() / "help.chm");
  withHtml();
  EXPECT_TRUE(look_help(folder.str(), desktop));
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_EQ(std::filesystem::path(desktop.opened[0]), folder.path() / "help" / "index.html");
}
#endif

TEST_F(LookHelp, ADesktopWithoutAHandlerIsReportedAndNothingElseHappens) {
  withChm();
  desktop.result = false;
  EXPECT_FALSE(look_help(folder.str(), desktop));
  EXPECT_EQ(desktop.opened.size(), 1u);
}

// The HTML help in the source tree and beside the built program.
class ShippedHelp : public ::testing::Test {
 protected:
  static std::string read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  const std::filesystem::path source =
      std::filesystem::path(KP_SOURCE_DIR) / "resources" / "help" / "index.html";
  const std::filesystem::path built = std::filesystem::path(KP_BIN_DIR) / "help" / "index.html";
};

TEST_F(ShippedHelp, TheBuildPutsItBesideTheProgram) {
  ASSERT_TRUE(std::filesystem::is_regular_file(source));
  ASSERT_TRUE(std::filesystem::is_regular_file(built));
  EXPECT_EQ(read(built), read(source));
  RecordingDesktop desktop;
  if (!std::filesystem::exists(std::filesystem::path(KP_BIN_DIR) / "help.chm")) {
    EXPECT_TRUE(look_help(KP_BIN_DIR, desktop));
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(std::filesystem::path(desktop.opened[0]), built);
  }
}

TEST_F(ShippedHelp, ExplainsEveryMessageTheOperatorCanSee) {
  const std::string html = read(source);
  ASSERT_FALSE(html.empty());
  for (const char* text :
       {kConnectTimeoutMessage, kDumpTimeoutMessage, kLinkTimeoutMessage, kErrorPrefix, "出错",
        kPasswordMismatch, kPasswordUnchanged, kPasswordWrongOld, kPasswordChanged,
        kPasswordNotFourDigits, kPasswordFailed})
    EXPECT_NE(html.find(text), std::string::npos) << text;
  for (const char* topic : {"karaoke-unit-sim", "dialout", "ports/com", "Pro.dat", "RAM1",
                            "RAM3", "config.ini", "28800"})
    EXPECT_NE(html.find(topic), std::string::npos) << topic;
}

TEST_F(ShippedHelp, EveryLocalLinkAndStyleSheetIsThere) {
  const std::string html = read(source);
  for (const std::string attr : {"href=\"", "src=\""}) {
    for (std::size_t at = html.find(attr); at != std::string::npos;
         at = html.find(attr, at + 1)) {
      const std::size_t start = at + attr.size();
      const std::string target = html.substr(start, html.find('"', start) - start);
      if (target.empty() || target[0] == '#' || target.find(':') != std::string::npos) continue;
      EXPECT_TRUE(std::filesystem::exists(source.parent_path() / target)) << target;
    }
  }
  // Each in-page link names an anchor the page has.
  for (std::size_t at = html.find("href=\"#"); at != std::string::npos;
       at = html.find("href=\"#", at + 1)) {
    const std::size_t start = at + 7;
    const std::string id = html.substr(start, html.find('"', start) - start);
    EXPECT_NE(html.find("id=\"" + id + "\""), std::string::npos) << id;
  }
}

}  // namespace
}  // namespace kp::test
