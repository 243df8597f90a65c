#pragma once
// Equalise from measurement: the window that proposes a channel's 31 bands
// from a room's measured response and puts them into the channel's current
// slot. It holds the choices (channel, target, range, limits), the
// measurement and the proposal, and its controls show them; the view draws
// the chart from proposal(). Apply goes through the band sliders' own
// handling as one undo step, so a linked unit hears it as it hears the
// operator.
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/models.h"
#include "core/ports.h"
#include "core/state.h"
#include "forms/form4.h"
#include "panel/edits.h"
#include "tuning/eq_proposal.h"
#include "tuning/log_curve.h"

namespace kp {

class EqualiseWindow : public Window {
 public:
  // The texts, in the order of their keys "Tune_c_1".. (and "Tune_e_").
  enum Text {
    kMenuItem = 1,  // "Equalise from measurement…"
    kTitle,         // "Equalise from measurement"
    kMeasurement,   // caption of the measurement's file name
    kOpen,          // the button that opens a measurement
    kChannel,
    kMusic,
    kMicrophone,
    kTarget,
    kFlat,
    kTilt,
    kHouseCurve,
    kTiltUnit,  // "dB per octave"
    kOpenTarget,
    kRange,
    kRangeTo,  // between the range's two ends
    kMaxBoost,
    kMaxCut,
    kBand,
    kCurrent,
    kProposed,
    kErrorBefore,  // "%1" for the figure
    kErrorAfter,
    kApply,
    kClose,
    kNoMeasurement,    // the status before a measurement is opened
    kNotAMeasurement,  // a refused file, "%1" for where and why
    kMeasuredLegend,
    kPredictedLegend,
    kApplied,       // "%1" for the slot
    kNoTargetFile,  // the house curve chosen, no file opened yet
    kNotATarget,    // a refused target file
    kNoFile,        // a file name not chosen yet
  };
  static constexpr int kTexts = kNoFile;

  EqualiseWindow(SharedState& state, Form4& form4, Edits& edits, Dialogs& dialogs);

  // The Edit menu's item that opens the window (the main window's).
  Button& menuItem;

  kp::Label measurementCaption, measurementFile;
  Button openMeasurement;
  kp::Label channelCaption;
  ListBox channel;  // 0 music, 1 microphone
  kp::Label targetCaption;
  ListBox target;  // flat, tilt, house curve file
  kp::Label tiltCaption;
  SpinButton tilt{-30, 30, -5};  // tenths of a dB per octave
  Button openTarget;
  kp::Label targetFile;
  kp::Label rangeCaption, rangeTo;
  ListBox lowBand, highBand;  // band 1..31 as entries 0..30
  kp::Label boostCaption;
  SpinButton maxBoost{0, 15, 6};
  kp::Label cutCaption;
  SpinButton maxCut{0, 15, 15};
  kp::Label bandCaption, currentCaption, proposedCaption;
  kp::Label& bandName(int k) { return row(bandNames_, k); }
  kp::Label& currentValue(int k) { return row(currentValues_, k); }
  kp::Label& proposedValue(int k) { return row(proposedValues_, k); }
  kp::Label errorBefore, errorAfter, status;
  kp::Label measuredLegend, targetLegend, predictedLegend;
  Button apply, close;

  // The chart's data: nothing until a measurement gives a proposal.
  const std::optional<tuning::Proposal>& proposal() const { return proposal_; }
  const tuning::LogCurve& measurement() const { return measurement_; }
  tuning::Limits limits() const;
  // Runs whenever the proposal or the measurement changed.
  std::function<void()> onProposalChanged;

  // The texts of the current language, from config.ini.
  void Set_Language();

  // What the Open button does once a file is chosen; false, with the
  // reason shown to the operator and nothing changed, for a file that is
  // not a measurement.
  bool openMeasurementFile(const std::string& path);
  bool openTargetFile(const std::string& path);
  // Puts the proposal into the channel's current slot as one undo step.
  void applyProposal();

 protected:
  void onLoad() override;
  void onUnload() override;

 private:
  static kp::Label& row(std::array<kp::Label, tuning::kBands + 1>& labels, int k);
  const std::string& text(Text t) const { return texts_[static_cast<std::size_t>(t - 1)]; }
  bool music() const { return channel.index() != 1; }
  ListBox& modeList() const;
  Slider& band(int k) const;
  void readCurrentValues();
  void fillLists();
  void recompute();
  void showValues();

  SharedState& s_;
  Form4& f4_;
  Edits& edits_;
  Dialogs& dialogs_;
  std::array<std::string, kTexts> texts_;
  std::array<kp::Label, tuning::kBands + 1> bandNames_, currentValues_, proposedValues_;
  tuning::LogCurve measurement_;
  tuning::LogCurve targetCurve_;
  // The values the channel's slot held when the measurement was opened:
  // those it was taken with.
  tuning::BandValues measuredWith_{};
  std::optional<tuning::Proposal> proposal_;
  std::string problem_;
  std::string lastFolder_;
  bool filling_ = false;
  bool applied_ = false;
};

}  // namespace kp
