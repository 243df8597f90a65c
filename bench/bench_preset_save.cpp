// How long one Save_Pro_Ini takes: every key goes through Write_Ini, which
// rewrites and syncs the working copy each time, so the disk decides.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/program.h"
#include "core/virtual_loop.h"
#include "panel/catalogue.h"

namespace fs = std::filesystem;

namespace {

struct Figures {
  double min = 0, median = 0, max = 0;
};

Figures measure(const fs::path& base, int rounds, bool overExisting, int* failures) {
  std::string folder = (base / "kp_bench_save_XXXXXX").string();
  if (!mkdtemp(folder.data())) return {};
  kp::VirtualLoop loop;
  kp::VirtualSerialPort port(loop);
  kp::RecordingDialogs dialogs;
  kp::RecordingDesktop desktop;
  kp::Platform platform{port, loop, loop, dialogs, desktop};
  kp::Program program(platform, folder);
  program.startUp();

  // Round r puts a value into every key that differs from round r - 1, so
  // a save over the previous file rewrites every key.
  auto fill = [&](int r) {
    const auto b = static_cast<std::uint8_t>(r % 2);
    program.state.Device_Settings = {
        static_cast<std::uint8_t>(80 + b), static_cast<std::uint8_t>(35 + b),
        static_cast<std::uint8_t>(85 + b), static_cast<std::uint8_t>(45 + b),
        static_cast<std::uint8_t>(2 + b),  static_cast<std::uint8_t>(5 + b),
        static_cast<std::uint8_t>(20 + b), static_cast<std::uint8_t>(1 + b),
        static_cast<std::uint8_t>(b)};
    program.form4.cpvSlider(kp::kMusicMaster).setValue(55 + b);
    program.form4.cpvSlider(kp::kMicMaster).setValue(65 + b);
    for (int i = 0; i < 6; ++i)
      program.form4.cpvSlider(kp::kFirstSurround + i).setValue(10 + i + b);
    for (int n = 0; n < 3; ++n) {
      for (int k = 1; k <= 31; ++k) program.state.image.setMusic(n, k, (k * 7 + n) % 30 + b);
      for (int k = 1; k <= 37; ++k) program.state.image.setMic(n, k, (k * 5 + n) % 30 + b);
    }
  };

  std::vector<double> ms;
  for (int i = 0; i < rounds; ++i) {
    const std::string path = folder + "/save" + std::to_string(overExisting ? 0 : i) + ".dat";
    fill(i);
    const auto t0 = std::chrono::steady_clock::now();
    if (!program.presetFile.Save_Pro_Ini(path)) ++*failures;
    ms.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::error_code ec;
  fs::remove_all(folder, ec);
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[ms.size() / 2], ms.back()};
}

}  // namespace

int main() {
  // Keys one save writes: 8 config keys, 9 more for a full model, the six
  // slot sections (3 x 31 + 3 x 37) and the two mode keys.
  const int writes = 8 + 9 + 3 * 31 + 3 * 37 + 2;
  const int rounds = 7;
  std::printf("Save_Pro_Ini, %d Write_Ini calls each, %d rounds (milliseconds)\n", writes, rounds);
  std::printf("  %-34s %9s %9s %9s %12s\n", "folder", "min", "median", "max", "per write");

  std::vector<std::pair<std::string, fs::path>> places = {
      {"temp (" + fs::temp_directory_path().string() + ")", fs::temp_directory_path()}};
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec)) places.push_back({"memory (/dev/shm)", "/dev/shm"});

  for (const auto& [name, base] : places) {
    for (bool existing : {false, true}) {
      int failures = 0;
      const Figures f = measure(base, rounds, existing, &failures);
      std::printf("  %-34s %9.1f %9.1f %9.1f %10.3f ms%s%s\n",
                  (name + (existing ? ", over a file" : ", new file")).c_str(), f.min, f.median,
                  f.max, f.median / writes, f.median > 300 ? "  (above 300 ms)" : "",
                  failures ? "  (some saves failed)" : "");
    }
  }
  return 0;
}
