#include "fuzz/fuzz_support.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <unistd.h>

#include "ini/ini.h"
#include "link/frames.h"
#include "panel/catalogue.h"
#include "sim/in_process.h"

namespace kp::fuzz {

namespace fs = std::filesystem;

void BoundedLoop::check() const {
  FUZZ_CHECK(elapsedMs() <= kMaxVirtualMs, "virtual time ran past %lld ms: the panel waits forever",
             static_cast<long long>(elapsedMs()));
  FUZZ_CHECK(pumps() <= kMaxPumps, "the event pump ran %llu times: the panel spins",
             static_cast<unsigned long long>(pumps()));
}

void BoundedLoop::runOnce(std::int64_t deadlineMs) {
  VirtualLoop::runOnce(deadlineMs);
  check();
}

void BoundedLoop::sleepMs(int ms) {
  VirtualLoop::sleepMs(ms);
  check();
}

namespace {
std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
}  // namespace

Scratch& Scratch::get() {
  static Scratch s;
  return s;
}

Scratch::Scratch() {
  config_ = slurp(fs::path(KP_SOURCE_DIR) / "resources" / "config.ini");
  preset_ = slurp(fs::path(KP_SOURCE_DIR) / "resources" / "Pro.dat");
  FUZZ_CHECK(!config_.empty() && !preset_.empty(), "the shipped resources are missing under %s",
             KP_SOURCE_DIR);
  presetConfig_ = preset_.substr(0, preset_.find("\n[") + 1);
  fs::path base = fs::temp_directory_path();
  if (const char* dir = std::getenv("KP_FUZZ_TMP"))
    base = dir;
  else if (::access("/dev/shm", W_OK) == 0)
    base = "/dev/shm";
  fs::path p = base / ("kp-fuzz-" + std::to_string(::getpid()));
  fs::create_directories(p);
  folder_ = p.string();
}

Scratch::~Scratch() {
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

void Scratch::write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
  out << bytes;
  hold(name, bytes);
  held_[file(name)].onDisk = true;
}

void Scratch::hold(const std::string& name, const std::string& bytes) const {
  Held& h = held_[file(name)];
  if (h.bytes != bytes) {
    h.bytes = bytes;
    h.answers.clear();
  }
}

void Scratch::remove(const std::string& name) const {
  std::error_code ec;
  fs::remove(file(name), ec);
  held_.erase(file(name));
}

std::string Scratch::read(const std::string& name) const { return slurp(file(name)); }

std::optional<std::string> Scratch::heldRead(const std::string& section, const std::string& key,
                                             const std::string& path) {
  const auto it = get().held_.find(path);
  if (it == get().held_.end()) return std::nullopt;
  Held& h = it->second;
  auto& keys = h.answers[section];
  auto answer = keys.find(key);
  if (answer == keys.end()) answer = keys.emplace(key, Read_Ini_Text(h.bytes, section, key)).first;
  return answer->second;
}

void Scratch::reset(bool wholePreset) const {
  // Only what was written here is removed: the program writes nothing in
  // the folder, and a listing per input would cost more than the input.
  std::error_code ec;
  for (auto it = held_.begin(); it != held_.end();) {
    if (it->first == file("config.ini") || it->first == file("Pro.dat")) {
      ++it;
      continue;
    }
    if (it->second.onDisk) fs::remove(it->first, ec);
    it = held_.erase(it);
  }
  // The two files are written again only when they change.
  auto put = [this](const std::string& name, const std::string& bytes) {
    const auto it = held_.find(file(name));
    if (it == held_.end() || it->second.bytes != bytes) write(name, bytes);
  };
  put("config.ini", config_);
  put("Pro.dat", wholePreset ? preset_ : presetConfig_);
}

std::string Scratch::strayFiles(std::initializer_list<const char*> expected) const {
  std::set<std::string> allowed{"config.ini", "Pro.dat"};
  for (const char* e : expected) allowed.insert(e);
  std::string stray;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder_, ec)) {
    const std::string name = e.path().filename().string();
    if (!allowed.count(name)) stray += name + " ";
  }
  return stray;
}

FuzzRig::FuzzRig(bool wholePreset) {
  Scratch::get().reset(wholePreset);
  setIniReadHook(&Scratch::heldRead);
  // Each write is checked as it is made, so none is kept.
  port.keepLog = false;
  port.onWrite = [](const Bytes& w) {
    FUZZ_CHECK(wellFormedWrite(w), "the panel wrote a malformed message: %s", toHex(w).c_str());
  };
  program.emplace(platform, Scratch::get().folder());
}

FuzzRig::~FuzzRig() {
  dialogs.onMessage = nullptr;
  program.reset();
  setIniReadHook(nullptr);
}

void FuzzRig::modalBoxesRunEvents(int ms, int depth) {
  dialogs.onMessage = [this, ms, depth](const std::string&) {
    if (nesting_ >= depth) return;
    ++nesting_;
    loop.advance(ms);
    --nesting_;
  };
}

void FuzzRig::clickConnect(int model) {
  p().form4.link1.click();
  p().form1.Combo1.setIndex(model);
  p().form1.Command1.click();
}

bool wellFormedWrite(const Bytes& w) {
  if (w.size() == 1) return w[0] == kAckByte;
  if (w.size() != kFrameSize) return false;
  return w[0] == kFrameHeader && w[2] == 0xFF - w[1] && w[4] == 0xFF - w[3] &&
         w[5] == kFrameTrailer;
}

void FuzzRig::checkSliders() {
  for (const SliderParam& sp : sliderCatalogue()) {
    const Slider& s = p().form4.cpvSlider(sp.slider);
    FUZZ_CHECK(s.value() >= s.min() && s.value() <= s.max(), "slider %d holds %d outside %d..%d",
               sp.slider, s.value(), s.min(), s.max());
  }
}

namespace {
struct Streams {
  Bytes shortDump, longDump, shortestShort, shortestLong;
  Streams() {
    for (bool longDump : {false, true}) {
      VirtualLoop loop;
      sim::LoopClock clock(loop);
      sim::VirtualUnit unit(clock);
      unit.onBytesFromPanel(
          commandFrame(addr::System, longDump ? cmd::ConnectLong : cmd::ConnectShort));
      Bytes& out = longDump ? this->longDump : shortDump;
      out = commandFrame(addr::System, unit.fullModel() ? 2 : 1);
      for (const auto& m : unit.dumpMessages()) {
        const Bytes f = commandFrame(m.address, m.value);
        out.insert(out.end(), f.begin(), f.end());
      }
      Bytes& shortest = longDump ? shortestLong : shortestShort;
      shortest.assign(out.begin(), out.begin() + kFrameSize);
      shortest.insert(shortest.end(), out.end() - kFrameSize, out.end());
    }
  }
};
const Streams& streams() {
  static const Streams s;
  return s;
}
}  // namespace

const Bytes& dumpStream(bool longDump) {
  return longDump ? streams().longDump : streams().shortDump;
}

std::size_t dumpFrames(bool longDump) { return dumpStream(longDump).size() / kFrameSize; }

const Bytes& shortestDumpStream(bool longDump) {
  return longDump ? streams().shortestLong : streams().shortestShort;
}

}  // namespace kp::fuzz
