#include "presets/preset_file.h"

#include <cerrno>
#include <filesystem>
#include <random>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "link/frames.h"
#include "panel/catalogue.h"
#include "presets/preset_values.h"
#include "shell/ini/ini.h"

namespace kp {

namespace fs = std::filesystem;

namespace {
const char* kConfig = "config";
const char* kSurroundKeys[] = {"L", "R", "SL", "SR", "C", "SUB"};
constexpr std::size_t kMaxNameBytes = 255;  // longest file name most file systems take

fs::path u8(const std::string& s) { return fs::path(s); }

// The working copy of a save, named after the file alone and locked while the
// save fills it: one left by a save that was killed holds no lock, so the next
// save takes it over instead of leaving another beside it. One locked by a
// save running in another program is left alone; this save then takes a name
// of its own.
class WorkingCopy {
 public:
  WorkingCopy(const fs::path& folder, const std::string& fileName) {
    std::string shared = "." + fileName + ".saving";
    // A file whose name is near the folder's limit leaves no room for ours.
    if (shared.size() > kMaxNameBytes) shared = ".saving";
#ifndef _WIN32
    const fs::path p = folder / shared;
    fd_ = ::open(p.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      path_ = p;
      return;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
#endif
    std::random_device rd;
    const std::string suffix = ".saving-" + std::to_string(rd() % 1000000);
    std::string own = "." + fileName + suffix;
    if (own.size() > kMaxNameBytes) own = suffix;
    path_ = folder / own;
  }
  ~WorkingCopy() {
#ifndef _WIN32
    if (fd_ >= 0) ::close(fd_);
#endif
  }
  WorkingCopy(const WorkingCopy&) = delete;
  WorkingCopy& operator=(const WorkingCopy&) = delete;

  const fs::path& path() const { return path_; }
  // Drops whatever a killed save left in a copy taken over.
  bool clear() {
#ifndef _WIN32
    if (fd_ >= 0) return ::ftruncate(fd_, 0) == 0;
#endif
    return true;
  }

 private:
  fs::path path_;
  int fd_ = -1;
};
}  // namespace

bool File_Exists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(u8(path), ec);
}

PresetFile::PresetFile(SharedState& state, Form4& form4, Form3& form3, Transmitter& tx,
                       EventPump& pump, Dialogs& dialogs, PresetSets& sets,
                       DeviceSettingsDialog& settings)
    : s_(state),
      f4_(form4),
      f3_(form3),
      tx_(tx),
      pump_(pump),
      dialogs_(dialogs),
      sets_(sets),
      settings_(settings) {}

std::string PresetFile::read(const char* key) const {
  return Read_Ini(kConfig, key, s_.Ini_Path);
}

void PresetFile::Open_Pro_Ini(const std::string& path) {
  s_.Ini_Path = path;
  if (events.currentFileChanged) events.currentFileChanged();
  if (s_.Is_Linked)
    loadLinked();
  else
    loadUnlinked();
}

void PresetFile::loadDeviceSettings() {
  for (const SettingParam& p : settingsCatalogue())
    if (auto v = readByteRounded(read(p.key)))
      s_.Device_Settings.*p.field = static_cast<std::uint8_t>(*v);
}

// How many of the two masters stand above their maximum volume: now, or as
// the end of a linked load will find them when judged from the file (a value
// the load cannot use leaves the current one).
int PresetFile::mastersOverMaximum(bool fromFile) const {
  const auto& ds = s_.Device_Settings;
  auto over = [&](int slider, const char* masterKey, const char* maxKey, int max) {
    const Slider& s = f4_.cpvSlider(slider);
    int master = s.value();
    if (fromFile) {
      if (auto v = readFloor(read(masterKey)); v && *v >= s.min() && *v <= s.max()) master = *v;
      max = readByteRounded(read(maxKey)).value_or(max);
    }
    return master > max ? 1 : 0;
  };
  return over(kMicMaster, "Mic_Master", "MIC_MAX_VOLUME", ds.MIC_MAX_VOLUME) +
         over(kMusicMaster, "Music_Master", "MUSIC_MAX_VOLUME", ds.MUSIC_MAX_VOLUME);
}

// The waits of a linked load of the current file, one per step below, less
// those of holding the masters to their maximum at the end.
int PresetFile::linkedLoadSteps() {
  const std::string path = s_.Ini_Path;
  // Start of batch, six device settings, two masters; then the three
  // ultra-low settings, the end of batch and the six outputs, or the end of
  // batch alone; the two mode selections at the end.
  int steps = 1 + 6 + 2 + (s_.Full_Model ? 3 + 1 + 6 : 1) + 2;
  steps += sets_.musicSetSteps() + sets_.micSetSteps();
  s_.Ini_Path = path;
  return steps;
}

void PresetFile::clampMasters(bool wait) {
  const auto& ds = s_.Device_Settings;
  Slider& mic = f4_.cpvSlider(kMicMaster);
  Slider& music = f4_.cpvSlider(kMusicMaster);
  if (mic.value() > ds.MIC_MAX_VOLUME) {
    mic.setValue(ds.MIC_MAX_VOLUME);
    if (wait) tx_.waitConfirmed();
  }
  if (music.value() > ds.MUSIC_MAX_VOLUME) {
    music.setValue(ds.MUSIC_MAX_VOLUME);
    if (wait) tx_.waitConfirmed();
  }
  mic.setUpperLimit(ds.MIC_MAX_VOLUME);
  music.setUpperLimit(ds.MUSIC_MAX_VOLUME);
}

// Every step on its own: one that cannot use its value is skipped.
void PresetFile::loadUnlinked() {
  sets_.Is_Unconnect_Value();
  sets_.Music_Open_Inies();
  sets_.MIC_Open_Inies();
  s_.Ini_Path = s_.currentPresetFile;
  if (auto v = readFloor(read("MUSIC_CHANGE_MODE"))) f4_.Combo1.setIndex(*v);
  if (auto v = readFloor(read("MIC_CHANGE_MODE"))) f4_.Combo2.setIndex(*v);
  f3_.load();
  if (auto v = readRounded(read("KTV_MIN_VOLUME"))) f3_.SpinButton5.setValue(*v);
  if (auto v = readFloor(read("KTV_MIN_DU"))) f3_.Combo3.setIndex(*v);
  if (auto v = readFloor(read("KTV_RESET_TIME"))) f3_.Combo4.setIndex(*v);
  for (int i = 0; i < 6; ++i)
    if (auto v = readFloor(read(kSurroundKeys[i]))) f4_.cpvSlider(kFirstSurround + i).setValue(*v);
  if (auto v = readFloor(read("Music_Master"))) f4_.cpvSlider(kMusicMaster).setValue(*v);
  if (auto v = readFloor(read("Mic_Master"))) f4_.cpvSlider(kMicMaster).setValue(*v);
  f4_.Combo1.setEnabled(true);
  f4_.Combo2.setEnabled(true);
  loadDeviceSettings();
  clampMasters(false);
}

// Every frame of a linked load must land: a frame the unit leaves
// unanswered is sent again (waitConfirmed), and one it never takes is
// reported at the end, so the operator never believes a half-loaded preset.
void PresetFile::loadLinked() {
  auto wait = [this] { tx_.waitConfirmed(); };
  tx_.resetUnconfirmed();
  f4_.Combo1.setEnabled(false);
  f4_.Combo2.setEnabled(false);
  tx_.Send_Command(addr::System, cmd::StartBatch);
  // The steps are counted from the file while the unit takes the first
  // frame, so counting them holds nothing up.
  const int plannedClamps = mastersOverMaximum(true);
  if (events.linkedLoadStarted)
    events.linkedLoadStarted(s_.Ini_Path, linkedLoadSteps() + plannedClamps);
  wait();

  f3_.load();
  auto spin = [&](SpinButton& s, const char* key) {
    if (auto v = readRounded(read(key))) s.setValue(*v);
    wait();
  };
  auto list = [&](ListBox& l, const char* key) {
    if (auto v = readFloor(read(key))) l.setIndex(*v);
    wait();
  };
  spin(f3_.SpinButton1, "MIC_MAX_VOLUME");
  spin(f3_.SpinButton2, "MIC_MIN_VOLUME");
  list(f3_.Combo1, "MIC_MODE");
  spin(f3_.SpinButton3, "MUSIC_MAX_VOLUME");
  spin(f3_.SpinButton4, "MUSIC_MIN_VOLUME");
  list(f3_.Combo2, "MUSIC_MODE");
  if (auto v = readFloor(read("Music_Master"))) f4_.cpvSlider(kMusicMaster).setValue(*v);
  wait();
  if (auto v = readFloor(read("Mic_Master"))) f4_.cpvSlider(kMicMaster).setValue(*v);
  wait();

  if (s_.Full_Model) {
    // A value equal to the current one (or unreadable) is sent all the same.
    const auto ktv = readRounded(read("KTV_MIN_VOLUME"));
    if (!ktv || *ktv == f3_.SpinButton5.value())
      settings_.Command_info_1(f3_.SpinButton5, f3_.Text5);
    else
      f3_.SpinButton5.setValue(*ktv);
    wait();
    const auto du = readFloor(read("KTV_MIN_DU"));
    if (!du || *du == f3_.Combo3.index())
      settings_.Com3_Click();
    else
      f3_.Combo3.setIndex(*du);
    wait();
    const auto reset = readFloor(read("KTV_RESET_TIME"));
    if (!reset || *reset == f3_.Combo4.index())
      settings_.Com4_Click();
    else
      f3_.Combo4.setIndex(*reset);
    wait();
    tx_.Send_Command(addr::System, cmd::EndBatch);
    wait();
    for (int i = 0; i < 6; ++i) {
      if (auto v = readFloor(read(kSurroundKeys[i])))
        f4_.cpvSlider(kFirstSurround + i).setValue(*v);
      wait();
    }
  } else {
    tx_.Send_Command(addr::System, cmd::EndBatch);
    wait();
  }

  sets_.Is_connect_Value();
  sets_.Music_Open_Ini();
  sets_.Mic_Open_Ini();
  s_.Ini_Path = s_.currentPresetFile;
  if (auto v = readFloor(read("MUSIC_CHANGE_MODE"))) f4_.Combo1.setIndex(*v);
  wait();
  pump_.sleepMs(kModePauseMs);
  if (auto v = readFloor(read("MIC_CHANGE_MODE"))) f4_.Combo2.setIndex(*v);
  wait();
  f3_.unload();
  loadDeviceSettings();
  // The operator or the unit may have moved a master during the load.
  const int clamps = mastersOverMaximum(false);
  if (clamps != plannedClamps && events.linkedLoadReplanned)
    events.linkedLoadReplanned(clamps - plannedClamps);
  clampMasters(true);
  if (events.linkedLoadEnded) events.linkedLoadEnded(tx_.unconfirmed());
  // A link that ended during the load has told the operator already, and a
  // program closing in the middle of it has no one left to tell.
  if (tx_.unconfirmed() > 0 && s_.Is_Linked && !tx_.abandoned())
    dialogs_.message(unconfirmedLoadMessage(tx_.unconfirmed()));
}

std::string unconfirmedLoadMessage(int frames) {
  return "预设文件没有完整送到设备: " + std::to_string(frames) +
         " 项设定没有得到设备确认。请检查连线后重新打开预设文件。";
}

bool PresetFile::writeAll(std::string* error) {
  const auto& ds = s_.Device_Settings;
  auto put = [&](const char* key, int value) {
    return Write_Ini(kConfig, key, std::to_string(value), s_.Ini_Path, error,
                     IniDurability::WorkingCopy);
  };
  bool ok = put("MIC_MAX_VOLUME", ds.MIC_MAX_VOLUME) && put("MIC_MIN_VOLUME", ds.MIC_MIN_VOLUME) &&
            put("MIC_MODE", ds.MIC_MODE) && put("MUSIC_MAX_VOLUME", ds.MUSIC_MAX_VOLUME) &&
            put("MUSIC_MIN_VOLUME", ds.MUSIC_MIN_VOLUME) && put("MUSIC_MODE", ds.MUSIC_MODE) &&
            put("Music_Master", f4_.cpvSlider(kMusicMaster).value()) &&
            put("Mic_Master", f4_.cpvSlider(kMicMaster).value());
  if (ok && (!s_.Is_Linked || s_.Full_Model)) {
    for (int i = 0; ok && i < 6; ++i)
      ok = put(kSurroundKeys[i], f4_.cpvSlider(kFirstSurround + i).value());
    ok = ok && put("KTV_MIN_VOLUME", ds.KTV_MIN_VOLUME) && put("KTV_MIN_DU", ds.KTV_MIN_DU) &&
         put("KTV_RESET_TIME", ds.KTV_RESET_TIME);
  }
  ok = ok && sets_.Music_Save_Ini(error, IniDurability::WorkingCopy) &&
       sets_.Mic_Save_Ini(error, IniDurability::WorkingCopy);
  return ok && put("MUSIC_CHANGE_MODE", 0) && put("MIC_CHANGE_MODE", 0);
}

bool PresetFile::Save_Pro_Ini(const std::string& path) {
  std::error_code ec;
  fs::path target = u8(path);
  if (fs::is_symlink(target, ec)) target = fs::weakly_canonical(target, ec);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string error;

  // All keys go into a copy beside the file, which then replaces it at once.
  WorkingCopy copy(folder, target.filename().string());
  const fs::path& work = copy.path();
  bool ok = true;
  if (fs::is_directory(target, ec)) {
    ok = false;
    error = "是一个文件夹";
  } else if (fs::exists(target, ec)) {
    fs::copy_file(target, work, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      ok = false;
      error = ec.message();
    }
  } else if (!copy.clear()) {
    ok = false;
    error = std::error_code(errno, std::generic_category()).message();
  }
  if (ok) {
    // The working copy carries the preset file's name for the set procedures.
    const std::string keep = s_.currentPresetFile;
    s_.currentPresetFile = work.string();
    s_.Ini_Path = s_.currentPresetFile;
    ok = writeAll(&error);
    s_.currentPresetFile = keep;
  }
  // The working copy reaches the disk once, before it takes the file's place.
  if (ok) ok = Sync_Ini(work.string(), &error);
  if (ok) {
    fs::rename(work, target, ec);
    if (ec) {
      ok = false;
      error = ec.message();
    }
  }
  s_.Ini_Path = path;
  if (events.saveEnded) events.saveEnded(path, ok ? std::string() : error);
  if (!ok) {
    fs::remove(work, ec);
    dialogs_.message("无法保存预设文件 " + path + ": " + error);
  }
  return ok;
}

void PresetFile::open1() {
  const auto chosen = dialogs_.openFile(s_.currentPresetFile, kFilter);
  if (!chosen) return;
  s_.currentPresetFile = *chosen;
  if (events.currentFileChanged) events.currentFileChanged();
  if (File_Exists(*chosen)) Open_Pro_Ini(*chosen);
}

void PresetFile::save1() {
  const auto chosen = dialogs_.saveFile(s_.currentPresetFile, kFilter);
  if (!chosen) return;
  s_.currentPresetFile = *chosen;
  if (events.currentFileChanged) events.currentFileChanged();
  Save_Pro_Ini(*chosen);
}

}  // namespace kp
