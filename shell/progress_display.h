#pragma once
// What the operator sees of long work: the connect dialog's wait and dump,
// and in the main window a linked preset load, a dump (after a connect or a
// factory reset) and a save, each with its progress while it runs and a
// short outcome that stays until the next one. Everything shown is drawn
// from what the link and the preset file already do; nothing here sends,
// waits or touches a timer.
#include <array>
#include <string>
#include <vector>

#include "core/fill_text.h"
#include "core/state.h"
#include "forms/form1.h"
#include "forms/form4.h"

namespace kp {

class ProgressDisplay {
 public:
  // The texts, in the order of their keys "Work_c_1".."Work_c_13" (and
  // "_e_"); %1 and %2 stand for the numbers or the file name.
  static constexpr int kTexts = 13;
  enum Text {
    kSending = 1,       // "Sending %1 to the unit"
    kResent,            // "%1 frames sent again"
    kLoadConfirmed,     // "%1: all settings confirmed"
    kLoadUnconfirmed,   // "%1: %2 settings not confirmed"
    kSaved,             // "%1: saved"
    kNotSaved,          // "%1: not saved (%2)"
    kPresetFile,        // "Preset file: %1"
    kReceiving,         // "Receiving the unit's data"
    kReceived,          // "All of the unit's data received"
    kDumpStopped,       // "The unit's data stopped at %1 / %2"
    kWaitingForAnswer,  // "Waiting for the unit to answer: %1 / %2 s"
    kWaitingForData,    // "Waiting for the unit's data: %1 / %2 s"
    kReceivingFactory,  // "Receiving the factory values"
  };

  ProgressDisplay(SharedState& state, Form4& form4, Form1& form1);

  // Takes the texts of the current language and shows everything again in it.
  void setTexts(const std::array<std::string, kTexts>& texts);

  // Off, it goes on counting but draws nothing, so a run that shows the
  // progress can be held against one that does not.
  void setShown(bool on);

  // From the link.
  void connectProgress();   // connect pressed, or its timer ticked
  void connectAnswered();   // the unit's dump is now awaited
  void factoryResetSent();  // the factory values' dump is now awaited
  void dumpMessageTaken();
  void linked();    // the dump is complete
  void unlinked();  // the panel fell back to unlinked
  void watchdogExpired();
  void frameResent();
  void batchStepEnded();

  // From the preset file.
  void linkedLoadStarted(const std::string& path, int steps);
  void linkedLoadReplanned(int moreSteps);
  void linkedLoadEnded(int unconfirmed);
  void saveEnded(const std::string& path, const std::string& error);
  void currentFileChanged();

 private:
  enum class Kind { Load, Dump, FactoryDump };
  struct Work {
    Kind kind;
    std::string file;   // the file's name alone, for a load or a save
    std::string error;  // why a save failed
    int done = 0;
    int total = 0;
    int resent = 0;
    int unconfirmed = 0;
  };
  enum class Outcome { None, LoadConfirmed, LoadUnconfirmed, Saved, NotSaved, Received, Stopped };

  const std::string& text(Text t) const { return texts_[static_cast<std::size_t>(t - 1)]; }
  // fillText of the text, kept: a dump redraws at every message, mostly
  // with the same words, and a caption given the words it shows changes
  // nothing.
  const std::string& filled(Text t, const std::string& first, const std::string& second = {});
  Work* find(Kind kind);
  Work* findDump();
  void beginDump(Kind kind);
  void endDump(bool complete);
  void finish(std::vector<Work>::iterator it, Outcome outcome);
  void showMain();
  void showConnect(bool start);
  void showFile();

  SharedState& s_;
  Form4& f4_;
  Form1& f1_;
  std::array<std::string, kTexts> texts_;
  struct Filled {
    bool made = false;
    std::string first, second, out;
  };
  std::array<Filled, kTexts> filled_;
  bool shown_ = true;
  // Work in progress, latest last; the latest is the one shown.
  std::vector<Work> running_;
  // The last work that ended, and how.
  Outcome outcome_ = Outcome::None;
  Work ended_{Kind::Load, {}, {}};
};

// The last part of a path: the file's own name.
std::string fileNameOf(const std::string& path);

}  // namespace kp
