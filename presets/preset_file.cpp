#include "presets/preset_file.h"

#include <cerrno>
#include <filesystem>
#include <memory>
#include <random>

#include "core/os_files.h"
#include "core/utf8_path.h"
#include "ini/ini.h"
#include "link/frames.h"
#include "panel/catalogue.h"
#include "presets/preset_values.h"

namespace kp {

namespace fs = std::filesystem;

namespace {
const char* kConfig = "config";
const char* kSurroundKeys[] = {"L", "R", "SL", "SR", "C", "SUB"};
constexpr std::size_t kMaxNameBytes = 255;  // longest file name most file systems take

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
    if (take(folder / pathFromUtf8(shared))) return;
    std::random_device rd;
    const std::string suffix = ".saving-" + std::to_string(rd() % 1000000);
    std::string own = "." + fileName + suffix;
    if (own.size() > kMaxNameBytes) own = suffix;
    take(folder / pathFromUtf8(own));
  }

  const fs::path& path() const { return path_; }
  // Starts the copy with the content of the file it will replace (empty for
  // a new file), dropping whatever a killed save left in a copy taken over.
  bool fill(const std::string& content, const os::FileInfo* like) {
    return lock_ && lock_->setContent(content, like);
  }

 private:
  bool take(const fs::path& p) {
    path_ = p;
    lock_ = std::make_unique<os::FileLock>(p);
    return lock_->locked();
  }
  fs::path path_;
  std::unique_ptr<os::FileLock> lock_;
};

// The whole of a file as bytes; false with the reason when it cannot be read.
bool readWhole(const fs::path& path, std::string& content, os::FileInfo& info, std::string& error) {
  const int fd = os::openFile(path, os::OpenMode::Read);
  if (fd < 0 || !os::statFile(fd, info)) {
    error = std::generic_category().message(errno);
    if (fd >= 0) os::closeFile(fd);
    return false;
  }
  // A pipe or device is no preset file, and replacing it would lose it.
  if (!info.regular) {
    error = "不是一个普通文件";
    os::closeFile(fd);
    return false;
  }
  content.clear();
  char buffer[16 * 1024];
  long long n = 0;
  while ((n = os::readFile(fd, buffer, sizeof buffer)) > 0)
    content.append(buffer, static_cast<std::size_t>(n));
  if (n < 0) error = std::generic_category().message(errno);
  os::closeFile(fd);
  return n == 0;
}
}  // namespace

bool File_Exists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(pathFromUtf8(path), ec);
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

std::string PresetFile::read(const char* key) const { return Read_Ini(kConfig, key, s_.Ini_Path); }

void PresetFile::Open_Pro_Ini(const std::string& path) {
  if (editHooks.loading) editHooks.loading();
  s_.Ini_Path = path;
  if (events.currentFileChanged) events.currentFileChanged();
  if (s_.Is_Linked)
    loadLinked();
  else
    loadUnlinked();
  if (editHooks.loaded) editHooks.loaded();
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
  if (editHooks.saving) editHooks.saving();
  std::error_code ec;
  fs::path target = pathFromUtf8(path);
  if (fs::is_symlink(target, ec)) target = fs::weakly_canonical(target, ec);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string error;
  bool ok = true;
  std::string content;
  os::FileInfo previous;
  bool existed = false;
  if (fs::is_directory(target, ec)) {
    ok = false;
    error = "是一个文件夹";
  } else if (fs::exists(target, ec)) {
    // A read-only file stays as it is: replacing it would sidestep that.
    if (!os::isWritable(target)) {
      ok = false;
      error = std::generic_category().message(errno);
    } else {
      ok = existed = readWhole(target, content, previous, error);
    }
  }

  // All keys go into a copy beside the file, which then replaces it at once.
  std::unique_ptr<WorkingCopy> copy;
  if (ok) {
    copy = std::make_unique<WorkingCopy>(folder, utf8FromPath(target.filename()));
    if (!copy->fill(content, existed ? &previous : nullptr)) {
      ok = false;
      error = std::generic_category().message(errno);
    }
  }
  if (ok) {
    // The working copy carries the preset file's name for the set procedures.
    const std::string keep = s_.currentPresetFile;
    s_.currentPresetFile = utf8FromPath(copy->path());
    s_.Ini_Path = s_.currentPresetFile;
    ok = writeAll(&error);
    s_.currentPresetFile = keep;
  }
  // The working copy reaches the disk once, before it takes the file's place.
  if (ok) ok = Sync_Ini(utf8FromPath(copy->path()), &error);
  if (ok) ok = os::replaceFile(copy->path(), target, true, error);
  s_.Ini_Path = path;
  if (events.saveEnded) events.saveEnded(path, ok ? std::string() : error);
  if (!ok) {
    if (copy) os::removeFile(copy->path());
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
