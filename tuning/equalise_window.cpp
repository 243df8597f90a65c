#include "tuning/equalise_window.h"

#include <cstdio>
#include <utility>

#include "core/utf8_path.h"
#include "ini/ini.h"
#include "panel/catalogue.h"
#include "tuning/decimal.h"
#include "tuning/measurement.h"

namespace kp {

namespace {

constexpr int kFlatTarget = 0, kTiltTarget = 1, kFileTarget = 2;
constexpr int kDefaultLowEntry = 3;    // "40"
constexpr int kDefaultHighEntry = 29;  // "16k"
constexpr const char* kFilter = "*.txt *.frd *.csv *.dat;;*";

std::string fill(const std::string& text, const std::string& value) {
  std::string out = text;
  if (const auto at = out.find("%1"); at != std::string::npos) out.replace(at, 2, value);
  return out;
}

std::string signedText(int v) { return v > 0 ? "+" + std::to_string(v) : std::to_string(v); }

std::string fileName(const std::string& path) {
  return utf8FromPath(pathFromUtf8(path).filename());
}

// The frequency the panel writes under band k ("1.25k" is 1250 Hz): the
// range's ends are meant as the operator reads them.
double nominalHz(int k) {
  std::string label = bandFrequency(k);
  const bool kilo = !label.empty() && label.back() == 'k';
  if (kilo) label.pop_back();
  const auto v = tuning::parseDecimal(label);
  return v ? *v * (kilo ? 1000 : 1) : tuning::bandCentreHz(k);
}

}  // namespace

EqualiseWindow::EqualiseWindow(SharedState& state, Form4& form4, Edits& edits, Dialogs& dialogs)
    : menuItem(form4.equalise1), s_(state), f4_(form4), edits_(edits), dialogs_(dialogs) {
  for (int k = 1; k <= tuning::kBands; ++k) bandName(k).setCaption(bandFrequency(k));
  menuItem.onClick = [this] {
    load();
    if (measurement_.empty()) readCurrentValues();
    showValues();
    show();
  };
  openMeasurement.onClick = [this] {
    if (const auto path = dialogs_.openFile(lastFolder_, kFilter)) openMeasurementFile(*path);
  };
  openTarget.onClick = [this] {
    if (const auto path = dialogs_.openFile(lastFolder_, kFilter)) openTargetFile(*path);
  };
  channel.onChange = [this] {
    readCurrentValues();
    recompute();
  };
  target.onChange = [this] {
    tilt.setEnabled(target.index() == kTiltTarget);
    openTarget.setEnabled(target.index() == kFileTarget);
    recompute();
  };
  for (ListBox* l : {&lowBand, &highBand}) l->onChange = [this] { recompute(); };
  for (SpinButton* s : {&tilt, &maxBoost, &maxCut}) s->onChange = [this] { recompute(); };
  apply.onClick = [this] { applyProposal(); };
  close.onClick = [this] { hide(); };
}

kp::Label& EqualiseWindow::row(std::array<kp::Label, tuning::kBands + 1>& labels, int k) {
  return labels[static_cast<std::size_t>(k >= 1 && k <= tuning::kBands ? k : 0)];
}

ListBox& EqualiseWindow::modeList() const { return music() ? f4_.Combo1 : f4_.Combo2; }

Slider& EqualiseWindow::band(int k) const {
  return f4_.cpvSlider(music() ? musicBandSlider(k) : micBandSlider(k));
}

tuning::Limits EqualiseWindow::limits() const {
  tuning::Limits l;
  l.lowHz = nominalHz((lowBand.index() < 0 ? kDefaultLowEntry : lowBand.index()) + 1);
  l.highHz = nominalHz((highBand.index() < 0 ? kDefaultHighEntry : highBand.index()) + 1);
  l.maxBoost = maxBoost.value();
  l.maxCut = maxCut.value();
  return l;
}

void EqualiseWindow::Set_Language() {
  const std::string path = s_.configPath();
  const std::string suffix = s_.Is_English ? "_e_" : "_c_";
  for (int n = 1; n <= kTexts; ++n)
    texts_[static_cast<std::size_t>(n - 1)] =
        Read_Ini("config", "Tune" + suffix + std::to_string(n), path);
  menuItem.setCaption(text(kMenuItem));
  setCaption(text(kTitle));
  const std::pair<Control*, Text> captions[] = {{&measurementCaption, kMeasurement},
                                                {&openMeasurement, kOpen},
                                                {&channelCaption, kChannel},
                                                {&targetCaption, kTarget},
                                                {&tiltCaption, kTiltUnit},
                                                {&openTarget, kOpenTarget},
                                                {&rangeCaption, kRange},
                                                {&rangeTo, kRangeTo},
                                                {&boostCaption, kMaxBoost},
                                                {&cutCaption, kMaxCut},
                                                {&bandCaption, kBand},
                                                {&currentCaption, kCurrent},
                                                {&proposedCaption, kProposed},
                                                {&measuredLegend, kMeasuredLegend},
                                                {&targetLegend, kTarget},
                                                {&predictedLegend, kPredictedLegend},
                                                {&apply, kApply},
                                                {&close, kClose}};
  for (const auto& [control, t] : captions) control->setCaption(text(t));
  // Screen readers name the buttons by what they do, without the dots.
  openMeasurement.setAccessibleName(text(kOpen));
  apply.setAccessibleName(text(kApply));
  openTarget.setAccessibleName(text(kOpenTarget));
  close.setAccessibleName(text(kClose));
  if (measurement_.empty()) measurementFile.setCaption(text(kNoFile));
  if (targetCurve_.empty()) targetFile.setCaption(text(kNoFile));
  fillLists();
  // The status and the figures are texts too.
  if (loaded())
    recompute();
  else
    showValues();
}

void EqualiseWindow::fillLists() {
  filling_ = true;
  auto refill = [](ListBox& list, const std::vector<std::string>& items, int fallback) {
    const int was = list.index();
    list.setItems(items);
    list.setIndex(was >= 0 && was < static_cast<int>(items.size()) ? was : fallback);
  };
  refill(channel, {text(kMusic), text(kMicrophone)}, 0);
  refill(target, {text(kFlat), text(kTilt), text(kHouseCurve)}, kFlatTarget);
  if (lowBand.items().empty()) {
    std::vector<std::string> bands;
    for (int k = 1; k <= tuning::kBands; ++k) bands.push_back(bandFrequency(k));
    refill(lowBand, bands, kDefaultLowEntry);
    refill(highBand, bands, kDefaultHighEntry);
  }
  filling_ = false;
  tilt.setEnabled(target.index() == kTiltTarget);
  openTarget.setEnabled(target.index() == kFileTarget);
}

void EqualiseWindow::onLoad() {
  fillLists();
  lastFolder_ = s_.programFolder;
  readCurrentValues();
  recompute();
}

void EqualiseWindow::onUnload() {
  measurement_ = {};
  targetCurve_ = {};
  proposal_.reset();
  for (ListBox* l : {&channel, &target, &lowBand, &highBand}) l->setItems({});
  tilt.setDesign(-30, 30, -5);
  maxBoost.setDesign(0, 15, 6);
  maxCut.setDesign(0, 15, 15);
  measurementFile.setCaption(text(kNoFile));
  targetFile.setCaption(text(kNoFile));
  fillLists();
}

void EqualiseWindow::readCurrentValues() {
  for (int k = 1; k <= tuning::kBands; ++k)
    measuredWith_[static_cast<std::size_t>(k - 1)] = band(k).value();
}

bool EqualiseWindow::openMeasurementFile(const std::string& path) {
  const tuning::ResponseText read = tuning::readResponseFile(path, tuning::kMinMeasurementPoints);
  tuning::LogCurve curve(read.points);
  const std::string why = read.ok() ? tuning::coverageProblem(curve, limits()) : read.describe();
  if (!why.empty()) {
    dialogs_.message(fill(text(kNotAMeasurement), fileName(path) + ", " + why));
    return false;
  }
  measurement_ = std::move(curve);
  measurementFile.setCaption(fileName(path));
  lastFolder_ = path;
  // The room was measured with what the slot holds now.
  readCurrentValues();
  recompute();
  return true;
}

bool EqualiseWindow::openTargetFile(const std::string& path) {
  const tuning::ResponseText read = tuning::readResponseFile(path, tuning::kMinTargetPoints);
  if (!read.ok()) {
    dialogs_.message(fill(text(kNotATarget), fileName(path) + ", " + read.describe()));
    return false;
  }
  targetCurve_ = tuning::LogCurve(read.points);
  targetFile.setCaption(fileName(path));
  lastFolder_ = path;
  recompute();
  return true;
}

void EqualiseWindow::recompute() {
  if (filling_) return;
  applied_ = false;
  proposal_.reset();
  problem_.clear();
  if (measurement_.empty()) {
    problem_ = text(kNoMeasurement);
  } else if (target.index() == kFileTarget && targetCurve_.empty()) {
    problem_ = text(kNoTargetFile);
  } else {
    tuning::Target goal;
    if (target.index() == kTiltTarget) goal.tiltDbPerOctave = tilt.value() / 10.0;
    if (target.index() == kFileTarget) goal.curve = targetCurve_;
    const tuning::ProposalInput in{measurement_, goal, limits(), measuredWith_,
                                   tuning::EqModel::fromConfig(s_.configPath())};
    proposal_ = tuning::proposeBands(in, &problem_);
  }
  showValues();
  if (onProposalChanged) onProposalChanged();
}

void EqualiseWindow::showValues() {
  for (int k = 1; k <= tuning::kBands; ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    currentValue(k).setCaption(signedText(measuredWith_[i]));
    proposedValue(k).setCaption(proposal_ ? signedText(proposal_->proposed[i]) : "");
    // A band outside the correction range keeps its value: shown dimmed.
    proposedValue(k).setEnabled(!proposal_ || proposal_->corrected[i]);
  }
  auto figure = [](double db) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", db);
    return std::string(buf);
  };
  errorBefore.setCaption(proposal_ ? fill(text(kErrorBefore), figure(proposal_->errorBeforeDb))
                                   : "");
  errorAfter.setCaption(proposal_ ? fill(text(kErrorAfter), figure(proposal_->errorAfterDb)) : "");
  if (!applied_) status.setCaption(problem_);
  apply.setEnabled(proposal_.has_value());
}

void EqualiseWindow::applyProposal() {
  ListBox& modes = modeList();
  if (!proposal_ || !f4_.enabled()) return;
  // A compare in progress gives the edits back first, or it would put them
  // over the proposal when it ends.
  edits_.compare.restore(music());
  edits_.history.asOneStep([&] {
    for (int k = 1; k <= tuning::kBands; ++k)
      band(k).setValue(proposal_->proposed[static_cast<std::size_t>(k - 1)]);
  });
  applied_ = true;
  const auto& items = modes.items();
  const auto slot = static_cast<std::size_t>(modes.index());
  status.setCaption(fill(text(kApplied), slot < items.size() ? items[slot] : std::string()));
}

}  // namespace kp
