// The line as the Windows serial port sets it, and the small helpers its
// files share.
#include "link/transport/comm_port_parts.h"

namespace kp {

namespace comm_port {

bool refusedWait(std::uint32_t code) {
  return code == comm::kInvalidFunction || code == comm::kNotSupported ||
         code == comm::kInvalidParameter;
}

std::string settingsText(const LineSettings& s) {
  const char* parity = s.parity == Parity::Even ? "E" : s.parity == Parity::Odd ? "O" : "N";
  return std::to_string(s.baud) + "," + parity + "," + std::to_string(s.dataBits) + "," +
         std::to_string(s.stopBits);
}

std::string lineErrorText(std::uint32_t errors) {
  std::string text;
  auto add = [&](std::uint32_t bit, const char* what) {
    if (!(errors & bit)) return;
    if (!text.empty()) text += ", ";
    text += what;
  };
  add(comm::kCeOverrun, "overrun");
  add(comm::kCeRxOver, "input buffer full");
  add(comm::kCeRxParity, "parity error");
  add(comm::kCeFrame, "framing error");
  add(comm::kCeBreak, "break");
  return text;
}

std::unique_ptr<Timer> oneShot(EventPump& pump, int ms, std::function<void()> fn) {
  auto timer = pump.createTimer();
  timer->setInterval(ms);
  Timer* t = timer.get();
  timer->onTick = [t, fn = std::move(fn)] {
    t->stop();
    fn();
  };
  return timer;
}

}  // namespace comm_port

namespace comm {

void fillLineControl(LineControl& line, const LineSettings& s) {
  line.baudRate = static_cast<std::uint32_t>(s.baud);
  line.byteSize = static_cast<std::uint8_t>(s.dataBits);
  line.parity = s.parity == Parity::Even ? 2 : s.parity == Parity::Odd ? 1 : 0;
  line.stopBits = s.stopBits == 2 ? 2 : 0;
  line.binary = true;
  line.parityCheck = s.parity != Parity::None;
  line.outxCtsFlow = false;
  line.outxDsrFlow = false;
  line.dtrControl = 1;  // on, as the unit's cable may power from it
  line.dsrSensitivity = false;
  line.txContinueOnXoff = true;
  line.outX = false;
  line.inX = false;
  line.errorCharOn = false;
  line.nullStrip = false;
  line.rtsControl = 1;
  line.abortOnError = false;
  // Unused without XON/XOFF, but checked by SetCommState: distinct
  // characters and limits that fit the input buffer.
  line.xonChar = 0x11;
  line.xoffChar = 0x13;
  line.xonLim = kInBufferBytes / 4;
  line.xoffLim = kInBufferBytes / 4;
}

}  // namespace comm

}  // namespace kp
