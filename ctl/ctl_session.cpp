#include "ctl/ctl_session.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/fresh_file.h"
#include "core/os_files.h"
#include "core/utf8_path.h"
#include "link/messages.h"
#include "link/port_settings.h"

namespace kp::ctl {

namespace fs = std::filesystem;

namespace {

constexpr int kTurnMs = 200;  // longest sleep between looks at what happened
// The connect gives up after 19 s and a dump that stops is caught after 15 s;
// this only bounds a wait that something unforeseen keeps alive.
constexpr std::int64_t kLinkLimitMs = 180000;
const std::string kApplyError = "出错";
const std::string kLoadNotConfirmed = "预设文件没有完整送到设备";

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

Session::Session(Platform& platform, ToolDialogs& dialogs, const std::string& programFolder,
                 const ParameterTexts& texts)
    : p_(platform),
      dialogs_(dialogs),
      port_(platform.serial),
      platform_{port_, platform.clock, platform.pump, platform.dialogs, platform.desktop},
      program_(platform_, programFolder),
      frames_(texts) {
  port_.onWrite = [this](const Bytes& bytes) {
    // Written to a closed port (the link has fallen) is a step of the load
    // all the same, but nothing was sent.
    if (doing_ == std::string_view("load") && frames_.written(bytes) && port_.isOpen())
      ++framesSent;
  };
  watchProgress(program_.form1.workBar);
  watchProgress(program_.form4.workBar);
  auto& link = program_.link;
  auto step = link.onBatchStep;
  link.onBatchStep = [this, step] {
    if (step) step();
    frames_.stepEnded(program_.link.unconfirmed());
  };
  auto resentBefore = link.onResent;
  link.onResent = [this, resentBefore] {
    if (resentBefore) resentBefore();
    ++resent;
  };
  auto& events = program_.presetFile.events;
  auto saveEnded = events.saveEnded;
  events.saveEnded = [this, saveEnded](const std::string& path, const std::string& error) {
    if (saveEnded) saveEnded(path, error);
    saveError_ = error;
    saveEnded_ = true;
  };
  auto started = events.linkedLoadStarted;
  events.linkedLoadStarted = [this, started](const std::string& path, int steps) {
    if (started) started(path, steps);
    loadSteps = steps;
  };
}

void Session::watchProgress(ProgressBar& bar) {
  bar.onViewChanged = [this, &bar] {
    lastProgressMs_ = p_.clock.nowMs();
    if (onProgress && bar.visible()) onProgress(doing_, bar.value(), bar.maximum());
  };
}

bool Session::waitFor(const std::function<bool()>& done, std::int64_t limitMs) {
  const std::int64_t deadline = p_.clock.nowMs() + limitMs;
  while (!done()) {
    if (stopped_) return false;
    const std::int64_t now = p_.clock.nowMs();
    if (now >= deadline) return false;
    p_.pump.runOnce(std::min(deadline, now + kTurnMs));
  }
  return true;
}

// What one message box says about the work, if it says it failed.
std::optional<Status> Session::failureOf(const std::string& m, std::string* error) {
  if (m == kConnectTimeoutMessage) {
    *error =
        "the unit did not answer the connect within 19 s: is it on, the cable in, "
        "the port and the model right?";
    return Status::NoAnswer;
  }
  if (m == kDumpTimeoutMessage) {
    *error = "the unit answered the connect but sent none of its data within 19 s";
    return Status::NoAnswer;
  }
  if (m == kLinkTimeoutMessage) {
    *error = "the link fell silent for 15 s";
    return Status::NoAnswer;
  }
  if (startsWith(m, kErrorPrefix)) {
    *error = m.substr(std::string(kErrorPrefix).size());
    return Status::PortFailed;
  }
  if (startsWith(m, kApplyError) && !startsWith(m, kLoadNotConfirmed)) {
    // "出错N    V": a report the panel cannot hold.
    const std::string rest = m.substr(kApplyError.size());
    const auto gap = rest.find(' ');
    const auto value = rest.find_first_not_of(' ', gap);
    *error = "the unit reported value " + (value == std::string::npos ? "?" : rest.substr(value)) +
             " for its address " + rest.substr(0, gap) + ", which the panel cannot hold";
    return Status::Incomplete;
  }
  return std::nullopt;
}

// A failure that ends the work comes before a value the panel could not
// hold, which the rest of the dump goes on past.
std::optional<Status> Session::failure(std::size_t from, std::string* error) const {
  std::optional<Status> found;
  std::string first;
  for (std::size_t i = from; i < dialogs_.messages.size(); ++i) {
    std::string why;
    const auto f = failureOf(dialogs_.messages[i], &why);
    if (!f) continue;
    if (*f != Status::Incomplete) {
      *error = why;
      return f;
    }
    if (!found) {
      found = f;
      first = why;
    }
  }
  if (found) *error = first;
  return found;
}

Status Session::start(std::string* error) {
  const std::size_t from = dialogs_.messages.size();
  program_.startUp();
  if (p_.serial.isOpen()) return Status::Done;
  // config.ini's port choice may be what failed; this command has its own.
  Configure_Port(p_.serial);
  if (p_.serial.open(error)) return Status::Done;
  if (error->empty()) failure(from, error);
  return Status::PortFailed;
}

Status Session::link(int model, std::string* error) {
  auto& s = program_.state;
  const std::size_t from = dialogs_.messages.size();
  answerMs = dumpMs = -1;
  doing_ = "dump";
  program_.form4.link1.click();
  program_.form1.Combo1.setIndex(model);
  const std::int64_t t0 = p_.clock.nowMs();
  lastProgressMs_ = t0;
  program_.form1.Command1.click();
  std::optional<Status> failed;
  bool stalled = false;
  waitFor(
      [&] {
        if (answerMs < 0 && s.Dump_Mode != 0) answerMs = p_.clock.nowMs() - t0;
        failed = failure(from, error);
        // The connect timer guards the wait for the first section; after it
        // the panel would wait for ever.
        stalled = s.Dump_Section != 0 && !s.Is_Linked &&
                  p_.clock.nowMs() - lastProgressMs_ > kDumpStallMs;
        return s.Is_Linked || (failed && *failed != Status::Incomplete) || stalled;
      },
      kLinkLimitMs);
  if (stopped_) {
    *error = "stopped while linking";
    return Status::Stopped;
  }
  if (!failed && !stalled && !s.Is_Linked) {
    *error = "the unit's data did not arrive";
    failed = Status::NoAnswer;
  }
  if (stalled) {
    const ProgressBar& bar = program_.form1.workBar;
    *error = "the unit stopped sending its data at " + std::to_string(bar.value()) + " / " +
             std::to_string(bar.maximum()) + " messages";
    // Left as it is, the unit would stay in the middle of its dump.
    program_.link.writeDisconnect();
    return Status::NoAnswer;
  }
  if (failed && !s.Is_Linked) return *failed;
  dumpMs = p_.clock.nowMs() - t0 - std::max<std::int64_t>(answerMs, 0);
  dumpMode = s.Full_Model ? 2 : 1;
  dumpMessages = dumpMessageCount(dumpMode);
  // The last acknowledgement and any answer still due, before anything else.
  waitFor([&] { return !s.Awaiting_Reply && !s.Is_Busy; }, kSettleMs);
  if (failed) return *failed;  // linked, but with a value the panel could not hold
  return Status::Done;
}

void Session::unlink() { program_.form4.unlink.click(); }

Status Session::save(const std::string& path, std::string* error) {
  const fs::path target = pathFromUtf8(path);
  std::string why;
  const auto fresh = claimFreshFile(target, &why);
  if (!fresh) {
    *error = "cannot write " + path + ": " + why;
    return Status::FileFailed;
  }
  saveEnded_ = false;
  saveError_.clear();
  dialogs_.answers.push_back(utf8FromPath(*fresh));
  program_.form4.save1.click();
  why = saveError_;
  bool ok = saveEnded_ && why.empty();
  if (ok) ok = os::replaceFile(*fresh, target, true, why);
  if (!ok) {
    std::error_code ec;
    fs::remove(*fresh, ec);
    *error = "cannot write " + path + ": " + (why.empty() ? "the save did not run" : why);
    return Status::FileFailed;
  }
  return Status::Done;
}

Status Session::load(const std::string& path, std::string* error) {
  const std::size_t from = dialogs_.messages.size();
  frames_.reset();
  resent = 0;
  loadSteps = 0;
  framesSent = 0;
  doing_ = "load";
  dialogs_.answers.push_back(path);
  program_.form4.open1.click();
  doing_ = "dump";
  if (stopped_) {
    *error = "restore stopped: " + std::to_string(framesSent) + " of " + std::to_string(loadSteps) +
             " settings sent; restore again";
    return Status::Stopped;
  }
  if (!program_.state.Is_Linked) {
    std::string why;
    const auto f = failure(from, &why);
    *error = "the link was lost during the load" + (why.empty() ? "" : ": " + why);
    return f && *f == Status::PortFailed ? Status::PortFailed : Status::NoAnswer;
  }
  if (!unconfirmed().empty()) {
    *error = std::to_string(unconfirmed().size()) + " settings not confirmed by the unit";
    return Status::Incomplete;
  }
  return Status::Done;
}

Status Session::snapshot(PresetContents* out, std::string* error) {
  std::error_code ec;
  const fs::path folder = fs::temp_directory_path(ec);
  if (ec) {
    *error = "no folder for temporary files: " + ec.message();
    return Status::FileFailed;
  }
  // Each room's own file: rooms verified side by side share the folder.
  const auto file = claimFreshFile(folder / "karaoke-ctl-unit.dat", error);
  if (!file) return Status::FileFailed;
  const std::string name = utf8FromPath(*file);
  Status s = save(name, error);
  if (s == Status::Done && !readPresetContents(name, out, error)) {
    *error = "cannot read back " + name + ": " + *error;
    s = Status::FileFailed;
  }
  fs::remove(*file, ec);
  return s;
}

void Session::finish() { program_.shutDown(); }

void Session::stop() {
  stopped_ = true;
  program_.shutDown();
}

}  // namespace kp::ctl
