#pragma once
// A program on virtual time with a temporary program folder: the common
// ground of the in-process tests.
#include <filesystem>
#include <memory>
#include <string>

#include "app/program.h"
#include "core/virtual_loop.h"

namespace kp::test {

// A fresh temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // As UTF-8, the way the program takes paths.
  std::string str() const;
  std::string file(const std::string& name) const;
  // Writes bytes as they are (no encoding applied).
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

struct Rig {
  Rig();
  // Replaces config.ini with the given UTF-8 lines (written as ASCII/GBK-free text).
  void config(const std::string& bytes) { folder.write("config.ini", bytes); }

  TempDir folder;
  VirtualLoop loop;
  VirtualSerialPort port{loop};
  RecordingDialogs dialogs;
  RecordingDesktop desktop;
  Platform platform{port, loop, loop, dialogs, desktop};
  std::unique_ptr<Program> program;

  // Builds the program (after the folder has been prepared).
  Program& make();
};

// How often the panel wrote exactly this frame since the log was cleared.
inline int countFrames(const VirtualSerialPort& port, const Bytes& frame) {
  int n = 0;
  for (const auto& w : port.writes) n += w == frame;
  return n;
}

}  // namespace kp::test
