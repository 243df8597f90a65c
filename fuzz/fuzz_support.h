#pragma once
// Common ground of the fuzz targets: a program on bounded virtual time in a
// scratch program folder, and checks that stop the run with a message.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "app/program.h"
#include "core/virtual_loop.h"

// A broken property is a crash for libFuzzer: it saves the input.
#define FUZZ_CHECK(cond, ...)                                                                \
  do {                                                                                       \
    if (!(cond)) {                                                                           \
      std::fprintf(stderr, "FUZZ_CHECK failed at %s:%d: %s\n  ", __FILE__, __LINE__, #cond); \
      std::fprintf(stderr, __VA_ARGS__);                                                     \
      std::fprintf(stderr, "\n");                                                            \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

namespace kp::fuzz {

// Virtual time with a ceiling: a wait that never ends would otherwise look
// like a slow input to libFuzzer, not like the hang it is.
class BoundedLoop : public VirtualLoop {
 public:
  static constexpr std::int64_t kMaxVirtualMs = 6LL * 3600 * 1000;
  static constexpr std::uint64_t kMaxPumps = 2'000'000;

  BoundedLoop() : start_(nowMs()) {}
  void runOnce(std::int64_t deadlineMs) override;
  void sleepMs(int ms) override;
  std::int64_t elapsedMs() const { return nowMs() - start_; }
  void check() const;

 private:
  std::int64_t start_;
};

// A scratch folder made once per process, on tmpfs when there is one so that
// the atomic writes' fsync costs nothing; the program's files are put back
// before each input.
class Scratch {
 public:
  static Scratch& get();
  const std::string& folder() const { return folder_; }
  std::string file(const std::string& name) const { return folder_ + "/" + name; }
  // config.ini as shipped and nothing else in the folder but Pro.dat: as
  // shipped, or only its [config] section, which loads far faster and is
  // all the link needs.
  void reset(bool wholePreset = false) const;
  // Removes a file of the folder, whoever wrote it.
  void remove(const std::string& name) const;
  // Writes the file to the folder and keeps its bytes for heldRead().
  void write(const std::string& name, const std::string& bytes) const;
  // Keeps the bytes for heldRead() only: the program reads the file as if it
  // were there, and a write of the program would show as a file that is.
  void hold(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  // Read_Ini's hook while a program runs: the files written here answer
  // from memory, each key worked out once per content by Read_Ini's own
  // parser (the program never writes them); other files go to the disk.
  static std::optional<std::string> heldRead(const std::string& section, const std::string& key,
                                             const std::string& path);
  // Names in the folder other than config.ini, Pro.dat and those given.
  std::string strayFiles(std::initializer_list<const char*> expected = {}) const;
  const std::string& shippedConfig() const { return config_; }
  const std::string& shippedPreset() const { return preset_; }

 private:
  Scratch();
  ~Scratch();
  std::string folder_, config_, preset_, presetConfig_;
  struct Held {
    std::string bytes;
    bool onDisk = false;
    // By section, then key: a read that was answered before allocates nothing.
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> answers;
  };
  mutable std::unordered_map<std::string, Held> held_;  // by path
};

// The program on virtual time, as tests/support/rig.h builds it.
struct FuzzRig {
  explicit FuzzRig(bool wholePreset = false);
  ~FuzzRig();
  BoundedLoop loop;
  VirtualSerialPort port{loop};
  RecordingDialogs dialogs;
  RecordingDesktop desktop;
  Platform platform{port, loop, loop, dialogs, desktop};
  // In place: a heap block this size would be mapped afresh for every input.
  std::optional<Program> program;
  Program& p() { return *program; }

  // Lets a message box run events for a while, as a modal box does,
  // nesting at most depth boxes.
  void modalBoxesRunEvents(int ms, int depth);

  // The operator connects with the given entry of the model list.
  void clickConnect(int model);
  // Sliders hold values of their design range.
  void checkSliders();

 private:
  int nesting_ = 0;
};

// A lone AA or a whole six-byte frame with its complements; a FuzzRig stops
// at the first write of the panel that is not one.
bool wellFormedWrite(const Bytes& w);

// A unit's answer to a connect and its whole dump, as the virtual unit sends
// them (short or long dump), each message a six-byte frame.
const Bytes& dumpStream(bool longDump);
// Number of frames in dumpStream(longDump), the answer included.
std::size_t dumpFrames(bool longDump);
// The answer and the dump's last frame alone: the shortest dump that links.
const Bytes& shortestDumpStream(bool longDump);

}  // namespace kp::fuzz
