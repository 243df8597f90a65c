#include "link/transport/rfc2217.h"

#include <utility>

namespace kp {

using namespace telnet;
using namespace rfc2217;

namespace {

constexpr std::size_t kMaxSub = 64;    // longer subnegotiations are not ours: cut
constexpr std::size_t kMaxText = 160;  // of what a server says before it hangs up

void command(Bytes& out, std::uint8_t verb, std::uint8_t option) {
  out.insert(out.end(), {IAC, verb, option});
}

const std::uint8_t kCommands[] = {SET_BAUDRATE, SET_DATASIZE, SET_PARITY, SET_STOPSIZE,
                                  SET_CONTROL};

std::string parityName(std::uint32_t v) {
  switch (v) {
    case PARITY_NONE:
      return "no parity";
    case PARITY_ODD:
      return "odd parity";
    case PARITY_EVEN:
      return "even parity";
    case 4:
      return "mark parity";
    case 5:
      return "space parity";
    default:
      return "parity " + std::to_string(v);
  }
}

std::string stopName(std::uint32_t v) {
  switch (v) {
    case 1:
      return "1 stop bit";
    case 2:
      return "2 stop bits";
    case 3:
      return "1.5 stop bits";
    default:
      return "stop size " + std::to_string(v);
  }
}

std::string controlName(std::uint32_t v) {
  switch (v) {
    case CONTROL_NO_FLOW:
      return "no flow control";
    case 2:
      return "XON/XOFF flow control";
    case 3:
      return "hardware flow control";
    default:
      return "flow control " + std::to_string(v);
  }
}

}  // namespace

Bytes Rfc2217Client::start(const LineSettings& settings, std::int64_t nowMs) {
  *this = Rfc2217Client(timeoutMs_);
  settings_ = settings;
  state_ = State::Negotiating;
  deadlineMs_ = nowMs + timeoutMs_;
  setting_ = -1;
  Bytes out;
  command(out, WILL, COM_PORT);
  command(out, WILL, BINARY);
  command(out, DO, BINARY);
  return out;
}

std::uint32_t Rfc2217Client::settingValue(int setting) const {
  switch (setting) {
    case Baud:
      return static_cast<std::uint32_t>(settings_.baud);
    case DataSize:
      return static_cast<std::uint32_t>(settings_.dataBits);
    case Parity:
      return settings_.parity == kp::Parity::Even  ? PARITY_EVEN
             : settings_.parity == kp::Parity::Odd ? PARITY_ODD
                                                   : PARITY_NONE;
    case StopSize:
      return settings_.stopBits == 2 ? 2u : 1u;
    default:
      return CONTROL_NO_FLOW;
  }
}

std::string Rfc2217Client::settingName(int setting, std::uint32_t v) const {
  switch (setting) {
    case Baud:
      return std::to_string(v) + " baud";
    case DataSize:
      return std::to_string(v) + " data bits";
    case Parity:
      return parityName(v);
    case StopSize:
      return stopName(v);
    default:
      return controlName(v);
  }
}

void Rfc2217Client::failWith(std::string why) {
  state_ = State::Failed;
  failure_ = std::move(why);
}

void Rfc2217Client::sendSetting(Bytes& out) {
  out.insert(out.end(), {IAC, SB, COM_PORT, kCommands[setting_]});
  const std::uint32_t v = settingValue(setting_);
  Bytes value;
  if (setting_ == Baud)
    value = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
             static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
  else
    value = {static_cast<std::uint8_t>(v)};
  encodeData(value.data(), value.size(), out);
  out.insert(out.end(), {IAC, SE});
}

void Rfc2217Client::checkOptionsAgreed(Bytes& out) {
  if (state_ != State::Negotiating || setting_ >= 0) return;
  if (!comPortAgreed_ || !binaryOutAgreed_ || !binaryInAgreed_) return;
  setting_ = Baud;
  sendSetting(out);
}

void Rfc2217Client::onOption(std::uint8_t verb, std::uint8_t option, Bytes& out) {
  const bool opening = state_ == State::Negotiating;
  if (option == COM_PORT || option == BINARY) {
    const bool yes = verb == DO || verb == WILL;
    if (!yes) {
      // Once linked a server that takes an option back changes nothing of the
      // bytes already agreed; while opening it is a refusal.
      if (opening)
        failWith(
            option == COM_PORT
                ? "the server refused the COM-PORT option: it does not speak RFC 2217 on this port"
                : std::string("the server refused binary transmission (BINARY ") +
                      (verb == DONT ? "from the panel)" : "to the panel)"));
      return;
    }
    if (option == COM_PORT && verb == DO) comPortAgreed_ = true;
    if (option == COM_PORT && verb == WILL && !comPortWill_) {
      comPortWill_ = true;
      command(out, DO, COM_PORT);
    }
    if (option == BINARY && verb == DO) binaryOutAgreed_ = true;
    if (option == BINARY && verb == WILL) binaryInAgreed_ = true;
    checkOptionsAgreed(out);
    return;
  }
  // Suppress-go-ahead suits a byte stream; everything else (echo first of
  // all) is declined, once, so that two polite ends never loop.
  if (option == SGA) {
    if (verb == WILL && !sgaDo_) {
      sgaDo_ = true;
      command(out, DO, SGA);
    } else if (verb == DO && !sgaWill_) {
      sgaWill_ = true;
      command(out, WILL, SGA);
    }
    return;
  }
  if (verb == WILL && !declinedWill_[option]) {
    declinedWill_[option] = true;
    command(out, DONT, option);
  } else if (verb == DO && !declinedDo_[option]) {
    declinedDo_[option] = true;
    command(out, WONT, option);
  }
}

void Rfc2217Client::onSubnegotiation(Bytes& out) {
  if (sub_.size() < 2 || sub_[0] != COM_PORT) return;
  if (state_ == State::Linked && sub_[1] == PURGE_DATA + kServerOffset) {
    // The answer to a purge comes just before the unit's answer to the frame
    // that followed it. A server that holds small writes until the last one
    // is acknowledged (Nagle's rule; ser2net does) would wait for this end's
    // delayed acknowledgement, 40 ms on Linux and 200 ms on Windows, at
    // every frame: a two-byte no-op carries the acknowledgement at once.
    out.insert(out.end(), {IAC, NOP});
    return;
  }
  if (state_ == State::Linked && sub_[1] == SET_BAUDRATE + kServerOffset) {
    syncPending_ = false;
    return;
  }
  if (state_ != State::Negotiating || setting_ < 0) return;
  // Notifications of line and modem state come unasked at any time.
  if (sub_[1] != kCommands[setting_] + kServerOffset) return;
  const std::size_t size = setting_ == Baud ? 4 : 1;
  const std::uint32_t wanted = settingValue(setting_);
  if (sub_.size() != 2 + size) {
    failWith("the server answered the setting of " + settingName(setting_, wanted) +
             " with a malformed reply");
    return;
  }
  std::uint32_t got = 0;
  for (std::size_t i = 0; i < size; ++i) got = (got << 8) | sub_[2 + i];
  if (got != wanted) {
    failWith("the server did not take " + settingName(setting_, wanted) +
             " (it answered: " + settingName(setting_, got) + ")");
    return;
  }
  if (++setting_ == kSettings) {
    state_ = State::Linked;
    return;
  }
  sendSetting(out);
}

Rfc2217Client::Step Rfc2217Client::receive(const std::uint8_t* bytes, std::size_t n,
                                           std::int64_t nowMs) {
  Step step;
  tick(nowMs);
  for (std::size_t i = 0; i < n && state_ != State::Failed; ++i) {
    const std::uint8_t b = bytes[i];
    switch (parse_) {
      case Parse::Data:
        if (b == IAC) {
          parse_ = Parse::Iac;
        } else if (state_ == State::Linked) {
          step.data.push_back(b);
        } else if (lastText_.size() < kMaxText && (b >= 0x20 || b == '\n' || b == '\r')) {
          lastText_ += static_cast<char>(b);
        }
        break;
      case Parse::Iac:
        parse_ = Parse::Data;
        if (b == IAC) {
          if (state_ == State::Linked) step.data.push_back(IAC);
        } else if (b >= WILL) {
          verb_ = b;
          parse_ = Parse::Option;
        } else if (b == SB) {
          sub_.clear();
          parse_ = Parse::Sub;
        }
        // Any other command (NOP, GA, AYT, ...) carries nothing for the line.
        break;
      case Parse::Option:
        parse_ = Parse::Data;
        onOption(verb_, b, step.toServer);
        break;
      case Parse::Sub:
        if (b == IAC) {
          parse_ = Parse::SubIac;
        } else if (sub_.size() < kMaxSub) {
          sub_.push_back(b);
        }
        break;
      case Parse::SubIac:
        if (b == IAC) {
          if (sub_.size() < kMaxSub) sub_.push_back(IAC);
          parse_ = Parse::Sub;
        } else {
          // IAC SE ends it; any other command ends a broken one as well.
          parse_ = Parse::Data;
          if (b == SE) onSubnegotiation(step.toServer);
        }
        break;
    }
  }
  return step;
}

void Rfc2217Client::tick(std::int64_t nowMs) {
  if (state_ != State::Negotiating || nowMs < deadlineMs_) return;
  const std::string within = timeoutMs_ % 1000 == 0
                                 ? " within " + std::to_string(timeoutMs_ / 1000) + " s"
                                 : " within " + std::to_string(timeoutMs_) + " ms";
  if (setting_ < 0) {
    std::string missing;
    auto add = [&](bool agreed, const char* what) {
      if (agreed) return;
      missing += (missing.empty() ? "" : ", ") + std::string(what);
    };
    add(comPortAgreed_, "COM-PORT");
    add(binaryOutAgreed_ && binaryInAgreed_, "BINARY");
    failWith("the server did not agree to RFC 2217" + within + " (no answer to " + missing + ")");
  } else {
    failWith("the server did not answer the setting of " +
             settingName(setting_, settingValue(setting_)) + within);
  }
}

void Rfc2217Client::closedByServer() {
  if (state_ != State::Negotiating) return;
  std::string said = lastText_;
  while (!said.empty() && (said.back() == '\r' || said.back() == '\n' || said.back() == ' '))
    said.pop_back();
  for (char& c : said)
    if (c == '\r' || c == '\n') c = ' ';
  failWith("the server closed the connection" + (said.empty() ? std::string() : ": " + said));
}

void Rfc2217Client::encodeData(const std::uint8_t* bytes, std::size_t n, Bytes& out) {
  out.reserve(out.size() + n);
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == IAC) out.push_back(IAC);
  }
}

Bytes Rfc2217Client::syncRequest() {
  if (state_ != State::Linked) return {};
  syncPending_ = true;
  // A baud rate of 0 asks for the current one and changes nothing.
  return {IAC, SB, COM_PORT, SET_BAUDRATE, 0, 0, 0, 0, IAC, SE};
}

Bytes Rfc2217Client::purgeRequest() const {
  if (state_ != State::Linked) return {};
  return {IAC, SB, COM_PORT, PURGE_DATA, PURGE_RECEIVE, IAC, SE};
}

}  // namespace kp
