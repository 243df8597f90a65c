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

namespace fs = std::filesystem;

class LookHelp : public ::testing::Test {
 protected:
  void withChm() { folder.write("help.chm", "ITSF"); }
  void withHtml() {
    fs::create_directory(folder.path() / "help");
    folder.write("help/index.html", "<html></html>");
  }
  fs::path opened() const {
    EXPECT_EQ(desktop.opened.size(), 1u);
    return desktop.opened.empty() ? fs::path() : fs::path(desktop.opened[0]);
  }
  TempDir folder;
  RecordingDesktop desktop;
};

TEST_F(LookHelp, TheCompiledHelpWinsWhenItIsThere) {
  withChm();
  withHtml();
  EXPECT_TRUE(look_help(folder.str(), desktop));
  EXPECT_EQ(opened(), folder.path() / "help.chm");
}

TEST_F(LookHelp, OtherwiseTheShippedHtmlHelpOpens) {
  fs::create_directory(folder.path() / "help.chm");  // a folder is no document
  withHtml();
  EXPECT_TRUE(look_help(folder.str(), desktop));
  EXPECT_EQ(opened(), folder.path() / "help" / "index.html");
}

TEST_F(LookHelp, WithNeitherNothingIsHandedOver) {
  EXPECT_FALSE(look_help(folder.str(), desktop));
  EXPECT_TRUE(desktop.opened.empty());
}

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(ShippedHelp, LiesBesideTheBuiltProgramAndExplainsEveryMessage) {
  const fs::path source = fs::path(KP_SOURCE_DIR) / "resources" / "help" / "index.html";
  const fs::path built = fs::path(KP_BIN_DIR) / "help" / "index.html";
  const std::string html = read(source);
  ASSERT_FALSE(html.empty());
  EXPECT_EQ(read(built), html);
  EXPECT_TRUE(fs::is_regular_file(built.parent_path() / "help.css"));
  for (const char* text :
       {kConnectTimeoutMessage, kDumpTimeoutMessage, kLinkTimeoutMessage, kErrorPrefix, "出错",
        kPasswordMismatch, kPasswordUnchanged, kPasswordWrongOld, kPasswordChanged,
        kPasswordNotFourDigits, kPasswordFailed, "karaoke-unit-sim", "dialout", "ports/com",
        "Pro.dat", "RAM3", "config.ini"})
    EXPECT_NE(html.find(text), std::string::npos) << text;
  // Each in-page link names an anchor the page has.
  for (auto at = html.find("href=\"#"); at != std::string::npos;
       at = html.find("href=\"#", at + 1)) {
    const std::string id = html.substr(at + 7, html.find('"', at + 7) - at - 7);
    EXPECT_NE(html.find("id=\"" + id + "\""), std::string::npos) << id;
  }
}

}  // namespace
}  // namespace kp::test
