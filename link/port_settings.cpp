#include "link/port_settings.h"

#include <cmath>
#include <cstdlib>

#include "ini/ini.h"
#include "link/messages.h"

namespace kp {

namespace {
const char* kSection = "config";
const char* kKey = "COM";
const char* kLineSettings = "28800,E,8,1";
constexpr std::size_t kReadSize = 7;
}  // namespace

namespace {
std::optional<double> parseNumber(const std::string& text) {
  std::size_t b = text.find_first_not_of(" \t");
  std::size_t e = text.find_last_not_of(" \t");
  if (b == std::string::npos) return std::nullopt;
  const std::string t = text.substr(b, e - b + 1);
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

// To a 16-bit integer as the classic conversion does: halves to even.
std::optional<int> toInteger(double v) {
  if (v < -32768.5 || v > 32767.5) return std::nullopt;
  return static_cast<int>(std::nearbyint(v));
}
}  // namespace

std::optional<int> parsePortNumber(const std::string& text) {
  const auto v = parseNumber(text);
  return v ? toInteger(*v) : std::nullopt;
}

std::optional<int> portOptionIndex(const std::string& text) {
  const auto v = parseNumber(text);
  return v ? toInteger(*v - 1) : std::nullopt;
}

PortSettings::PortSettings(SharedState& state, Form2& form2, Dialogs& dialogs)
    : s_(state), f2_(form2), dialogs_(dialogs) {
  f2_.loadStep = [this] { loadStep(); };
  f2_.Command1.onClick = [this] { ok(); };
  f2_.Command2.onClick = [this] { f2_.unload(); };
}

void PortSettings::loadStep() {
  s_.Ini_Path = s_.configPath();
  // A stored value that is missing or outside 1..10 selects nothing.
  if (auto i = portOptionIndex(Read_Ini(kSection, kKey, s_.Ini_Path))) f2_.select(*i);
}

void PortSettings::ok() {
  s_.Ini_Path = s_.configPath();
  const int i = f2_.selected();
  if (i >= 0) {
    std::string error;
    if (!Write_Ini(kSection, kKey, std::to_string(i + 1), s_.Ini_Path, &error)) {
      // The original went on silently; the operator would find the old port
      // at the next start without knowing why.
      dialogs_.message(std::string(kErrorPrefix) + "无法保存串口号到 " + s_.Ini_Path + ": " +
                       error);
      return;
    }
  }
  f2_.unload();
}

void Configure_Port(SerialPort& port) {
  port.setReadSize(kReadSize);
  port.setSettings(*LineSettings::parse(kLineSettings));
}

void Comm_set(SharedState& s, SerialPort& port, Form2& form2, Dialogs& dialogs) {
  s.Ini_Path = s.configPath();
  const std::string stored = Read_Ini(kSection, kKey, s.Ini_Path);
  const auto number = parsePortNumber(stored);
  auto fail = [&](const std::string& why) { dialogs.message(kErrorPrefix + why); };
  if (!number) {
    fail(stored.empty() ? "config.ini 中没有串口号 (COM)"
                        : "config.ini 中的串口号 \"" + stored + "\" 不是数字");
    return;
  }
  form2.load();
  if (!form2.select(*number - 1)) {
    fail("config.ini 中的串口号 " + std::to_string(*number) + " 不在 1..10 之内");
    return;
  }
  port.setPortNumber(*number);
  Configure_Port(port);
  std::string error;
  if (!port.open(&error)) fail(error);
}

}  // namespace kp
