#include "core/state.h"

#include <filesystem>
#include "core/utf8_path.h"

namespace kp {

std::optional<std::uint8_t> DeviceImage::music(int slot, int row) const {
  if (slot < 0 || slot >= kSlots || row < 0 || row >= kMusicRows) return {};
  return music_[slot][row];
}

std::optional<std::uint8_t> DeviceImage::mic(int slot, int row) const {
  if (slot < 0 || slot >= kSlots || row < 0 || row >= kMicRows) return {};
  return mic_[slot][row];
}

bool DeviceImage::setMusic(int slot, int row, int value) {
  if (slot < 0 || slot >= kSlots || row < 0 || row >= kMusicRows) return false;
  if (value < 0 || value > 255) return false;
  music_[slot][row] = static_cast<std::uint8_t>(value);
  return true;
}

bool DeviceImage::setMic(int slot, int row, int value) {
  if (slot < 0 || slot >= kSlots || row < 0 || row >= kMicRows) return false;
  if (value < 0 || value > 255) return false;
  mic_[slot][row] = static_cast<std::uint8_t>(value);
  return true;
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return utf8FromPath(pathFromUtf8(folder) / pathFromUtf8(name));
}

std::string SharedState::configPath() const { return joinPath(programFolder, "config.ini"); }

std::string SharedState::defaultPresetPath() const { return joinPath(programFolder, "Pro.dat"); }

}  // namespace kp
