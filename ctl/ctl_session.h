#pragma once
// The program without windows, driven as an operator drives the panel: the
// connect dialog links and takes the dump, File → Open while linked is the
// restore, File → Save writes the backup. Message boxes and file dialogs
// are answered by the tool; what they said decides the outcome.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "ctl/ctl_status.h"
#include "ctl/load_frames.h"
#include "ctl/watched_port.h"
#include "presets/preset_contents.h"

namespace kp::ctl {

// Message boxes are kept, not shown; a file dialog takes the next answer.
class ToolDialogs : public Dialogs {
 public:
  void message(const std::string& text) override { messages.push_back(text); }
  std::optional<std::string> openFile(const std::string&, const std::string&) override {
    return take();
  }
  std::optional<std::string> saveFile(const std::string&, const std::string&) override {
    return take();
  }

  std::vector<std::string> messages;
  std::deque<std::string> answers;

 private:
  std::optional<std::string> take() {
    if (answers.empty()) return std::nullopt;
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
};

class NoDesktop : public Desktop {
 public:
  bool openDocument(const std::string&) override { return false; }
};

class Session {
 public:
  // A dump that makes no progress this long has stopped: the panel itself
  // waits for ever once the first section has begun.
  static constexpr int kDumpStallMs = 15000;
  static constexpr int kSettleMs = 1000;

  // platform.dialogs must be the ToolDialogs given here.
  Session(Platform& platform, ToolDialogs& dialogs, const std::string& programFolder,
          const ParameterTexts& texts);

  // The panel's start: texts, the port opened, Pro.dat shown unlinked.
  Status start(std::string* error);
  // The connect dialog with the model chosen, until the whole dump is in.
  Status link(int model, std::string* error);
  void unlink();
  // File → Save into a fresh file that then replaces path as a whole.
  Status save(const std::string& path, std::string* error);
  // File → Open while linked: the file sent with every frame confirmed.
  Status load(const std::string& path, std::string* error);
  // The unit's values as a save of it writes them.
  Status snapshot(PresetContents* out, std::string* error);
  // The panel closing: the unit hears the disconnect.
  void finish();
  // Stops the work under way as the panel's closing does; every wait ends,
  // and what runs says it was stopped.
  void stop();
  bool stopped() const { return stopped_; }

  Program& program() { return program_; }
  bool fullModel() const { return program_.state.Full_Model; }

  // Of the last link: from the connect to the unit's answer, then to the
  // end of the dump; the dump's kind (1 short, 2 long) and message count.
  std::int64_t answerMs = -1, dumpMs = -1;
  int dumpMode = 0;
  int dumpMessages = 0;
  // Of the last load.
  const std::vector<std::string>& unconfirmed() const { return frames_.unconfirmed(); }
  int resent = 0;
  int loadSteps = 0;   // the waits the load planned
  int framesSent = 0;  // the frames it sent, each counted once

  // What is under way ("dump", "load") and how far it has come.
  std::function<void(const char* what, int done, int total)> onProgress;

 private:
  bool waitFor(const std::function<bool()>& done, std::int64_t limitMs);
  // The first box shown since *from that says the work failed, as a status.
  std::optional<Status> failure(std::size_t from, std::string* error) const;
  static std::optional<Status> failureOf(const std::string& message, std::string* error);
  void watchProgress(ProgressBar& bar);

  Platform& p_;
  ToolDialogs& dialogs_;
  // The program's port: the given one, watched for the frames of a load.
  WatchedPort port_;
  Platform platform_;
  Program program_;
  LoadFrames frames_;
  const char* doing_ = "dump";
  std::string saveError_;
  bool saveEnded_ = false;
  bool stopped_ = false;
  std::int64_t lastProgressMs_ = 0;
};

}  // namespace kp::ctl
