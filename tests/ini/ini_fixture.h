#pragma once
// A folder of settings files for the INI tests, removed afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include "core/utf8_path.h"
#include "ini/ini.h"
#include "tests/support/rig.h"

namespace kp::test {

namespace fs = std::filesystem;
using kp::Read_Ini;
using kp::Write_Ini;

class IniFiles : public ::testing::Test {
 protected:
  std::string path(const std::string& name = "a.ini") const { return folder_.file(name); }
  static void put(const std::string& p, std::string_view bytes) {
    std::ofstream(kp::pathFromUtf8(p), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  static std::string slurp(const std::string& p) {
    std::ifstream in(kp::pathFromUtf8(p), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::set<std::string> listing() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
    return names;
  }
  // Writes original, applies one Write_Ini and returns the resulting bytes.
  std::string edit(std::string_view original, const std::string& sec, const std::string& key,
                   const std::string& value) {
    put(path(), original);
    EXPECT_TRUE(Write_Ini(sec, key, value, path()));
    return slurp(path());
  }

  kp::test::TempDir folder_;
  const fs::path& dir_ = folder_.path();
};

}  // namespace kp::test
