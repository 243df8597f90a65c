// A preset save cut short by the death of the program: a child process saves
// the same file over and over and is killed at random moments. After every
// kill the file is whole (the old version or the new one, never a mix) and
// at most one working copy is left beside it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "panel/catalogue.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

namespace fs = std::filesystem;

constexpr int kKills = 60;
const char* kConfigKeys[] = {"MIC_MAX_VOLUME",
                             "MIC_MIN_VOLUME",
                             "MIC_MODE",
                             "MUSIC_MAX_VOLUME",
                             "MUSIC_MIN_VOLUME",
                             "MUSIC_MODE",
                             "Music_Master",
                             "Mic_Master",
                             "L",
                             "R",
                             "SL",
                             "SR",
                             "C",
                             "SUB",
                             "KTV_MIN_VOLUME",
                             "KTV_MIN_DU",
                             "KTV_RESET_TIME",
                             "MUSIC_CHANGE_MODE",
                             "MIC_CHANGE_MODE"};
const char* kOutputs[] = {"L", "R", "SL", "SR", "C", "SUB"};

// Every value of version v (0..30), so that keys from two versions show.
int configValue(const std::string& key, int v) {
  if (key == "MUSIC_CHANGE_MODE" || key == "MIC_CHANGE_MODE") return 0;
  for (int i = 0; i < 6; ++i)
    if (key == kOutputs[i]) return v + i;
  return 40 + v;
}
int musicValue(int v, int slot, int k) { return (v + slot + k) % 31; }
int micValue(int v, int slot, int k) { return k <= 31 ? (v + 2 * slot + k) % 31 : v + k; }

// The child: a program on virtual time saving versions first, first+1, ...
// to the same file until it is killed.
// It writes one byte to `ready` once it is about to start saving.
[[noreturn]] void saveForever(const std::string& folder, const std::string& file, int first,
                              int ready) {
  // No temporary folder of its own: a killed child would leave it behind.
  VirtualLoop loop;
  VirtualSerialPort port{loop};
  RecordingDialogs dialogs;
  RecordingDesktop desktop;
  Platform platform{port, loop, loop, dialogs, desktop};
  Program p(platform, folder);
  p.startUp();
  const char go = 'g';
  if (::write(ready, &go, 1) != 1) _exit(4);
  for (int g = first;; ++g) {
    const int v = g % 31;
    auto& ds = p.state.Device_Settings;
    for (std::uint8_t* b : {&ds.MIC_MAX_VOLUME, &ds.MIC_MIN_VOLUME, &ds.MIC_MODE,
                            &ds.MUSIC_MAX_VOLUME, &ds.MUSIC_MIN_VOLUME, &ds.MUSIC_MODE,
                            &ds.KTV_MIN_VOLUME, &ds.KTV_MIN_DU, &ds.KTV_RESET_TIME})
      *b = static_cast<std::uint8_t>(40 + v);
    p.form4.cpvSlider(kMusicMaster).setValue(40 + v);
    p.form4.cpvSlider(kMicMaster).setValue(40 + v);
    for (int i = 0; i < 6; ++i) p.form4.cpvSlider(kFirstSurround + i).setValue(v + i);
    for (int n = 0; n < 3; ++n) {
      for (int k = 1; k <= 31; ++k) p.state.image.setMusic(n, k, musicValue(v, n, k));
      for (int k = 1; k <= 37; ++k) p.state.image.setMic(n, k, micValue(v, n, k));
    }
    if (!p.presetFile.Save_Pro_Ini(file)) _exit(3);
  }
}

// The file as sections of key=value; the first line of a key wins.
using Parsed = std::map<std::string, std::map<std::string, std::string>>;
Parsed parse(const std::string& text, int* duplicates) {
  Parsed out;
  std::string section;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    pos = nl + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (!out[section].emplace(line.substr(0, eq), line.substr(eq + 1)).second) ++*duplicates;
  }
  return out;
}

// Which version the whole file is, or why it is not one.
struct Check {
  int version = -1;
  std::string fault;
};
Check checkWhole(const std::string& text) {
  int duplicates = 0;
  Parsed f = parse(text, &duplicates);
  if (duplicates) return {-1, std::to_string(duplicates) + " keys written twice"};
  const std::string& master = f["config"]["Mic_Master"];
  if (master.empty()) return {-1, "no Mic_Master"};
  const int v = std::stoi(master) - 40;
  auto expect = [&](const std::string& section, const std::string& key, int want) -> std::string {
    const auto s = f.find(section);
    if (s == f.end()) return "no section " + section;
    const auto k = s->second.find(key);
    if (k == s->second.end()) return "no " + section + "/" + key;
    if (k->second != std::to_string(want))
      return section + "/" + key + " = " + k->second + ", version " + std::to_string(v) + " has " +
             std::to_string(want);
    return {};
  };
  for (const char* key : kConfigKeys)
    if (auto e = expect("config", key, configValue(key, v)); !e.empty()) return {v, e};
  for (int n = 0; n < 3; ++n) {
    for (int k = 1; k <= 31; ++k)
      if (auto e = expect("Music_" + std::to_string(n), std::to_string(k), musicValue(v, n, k));
          !e.empty())
        return {v, e};
    for (int k = 1; k <= 37; ++k)
      if (auto e = expect("Mic_" + std::to_string(n), std::to_string(k), micValue(v, n, k));
          !e.empty())
        return {v, e};
  }
  if (f.size() != 7) return {v, std::to_string(f.size()) + " sections"};
  return {v, {}};
}

// How long one save of the whole set takes in this build on this machine:
// the kills are spread over a few saves, however slow (a sanitizer build) or
// fast the machine is.
double oneSaveMs(const std::string& file) {
  test::Rig rig;
  rig.make().startUp();
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(rig.program->presetFile.Save_Pro_Ini(file));
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() /
         5;
}

// Waits up to 60 s for the child's byte; false if it never came.
bool childReady(int fd) {
  pollfd p{fd, POLLIN, 0};
  char c = 0;
  return ::poll(&p, 1, 60000) == 1 && ::read(fd, &c, 1) == 1;
}

TEST(SaveKilled, AfterEveryKillTheFileIsOneWholeVersionAndAtMostOneWorkingCopyIsLeft) {
  test::TempDir folder;
  folder.write("config.ini", "[config]\r\nCOM=1\r\n");
  const std::string file = folder.file("Show.dat");
  std::mt19937 rng(5);
  const double saveMs = oneSaveMs(folder.file("Timing.dat"));
  fs::remove(folder.file("Timing.dat"));
  std::set<int> versions;
  int killsWithACopyLeft = 0;
  std::size_t mostCopies = 0;

  for (int kill = 0; kill < kKills; ++kill) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(ready[0]);
      saveForever(folder.str(), file, kill * 7, ready[1]);
    }
    ::close(ready[1]);
    const bool started = childReady(ready[0]);
    ::close(ready[0]);
    if (started && kill == 0) {
      // The first kill only once a first version stands.
      for (int i = 0; i < 12000 && !fs::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Anywhere from early in the first save to the third.
    const double us = saveMs * 1000.0 * (0.1 + 2.9 * std::uniform_real_distribution<>(0, 1)(rng));
    if (started) std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(us)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself, status " << status;
    ASSERT_TRUE(started) << "the child never started saving";
    ASSERT_TRUE(fs::exists(file)) << "the child saved nothing";

    const Check c = checkWhole(folder.read("Show.dat"));
    ASSERT_TRUE(c.fault.empty()) << "kill " << kill << ": torn file: " << c.fault;
    versions.insert(c.version);

    std::size_t copies = 0;
    for (const auto& e : fs::directory_iterator(folder.path())) {
      const std::string name = e.path().filename().string();
      if (name == "Show.dat" || name == "config.ini") continue;
      EXPECT_EQ(name.rfind(".Show.dat", 0), 0u) << "a stray file " << name;
      ++copies;
    }
    killsWithACopyLeft += copies > 0;
    mostCopies = std::max(mostCopies, copies);
    EXPECT_LE(copies, 1u) << "kill " << kill << ": working copies pile up";
  }
  EXPECT_GT(versions.size(), 5u) << "saves went on completing between the kills";
  EXPECT_GT(killsWithACopyLeft, 0) << "some kills came in the middle of a save";
  std::printf(
      "%d kills, %.1f ms a save: %zu versions seen, %d kills left a working copy, "
      "at most %zu at once\n",
      kKills, saveMs, versions.size(), killsWithACopyLeft, mostCopies);
}

}  // namespace
}  // namespace kp
