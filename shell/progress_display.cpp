#include "shell/progress_display.h"

#include <algorithm>

#include "core/utf8_path.h"
#include "link/connection.h"
#include "panel/catalogue.h"

namespace kp {

namespace {
std::string count(int done, int total) {
  return std::to_string(done) + " / " + std::to_string(total);
}
}  // namespace

std::string fileNameOf(const std::string& path) {
  try {
    return utf8FromPath(pathFromUtf8(path).filename());
  } catch (...) {
    return path;  // a name the platform cannot convert is shown whole
  }
}

ProgressDisplay::ProgressDisplay(SharedState& state, Form4& form4, Form1& form1)
    : s_(state), f4_(form4), f1_(form1) {}

void ProgressDisplay::setTexts(const std::array<std::string, kTexts>& texts) {
  texts_ = texts;
  filled_ = {};
  showMain();
  showConnect(false);
  showFile();
}

void ProgressDisplay::setShown(bool on) {
  shown_ = on;
  showMain();
  showConnect(false);
  showFile();
}

const std::string& ProgressDisplay::filled(Text t, const std::string& first,
                                           const std::string& second) {
  Filled& f = filled_[static_cast<std::size_t>(t - 1)];
  if (!f.made || f.first != first || f.second != second) {
    f.first = first;
    f.second = second;
    f.out = fillText(text(t), first, second);
    f.made = true;
  }
  return f.out;
}

ProgressDisplay::Work* ProgressDisplay::find(Kind kind) {
  for (auto it = running_.rbegin(); it != running_.rend(); ++it)
    if (it->kind == kind) return &*it;
  return nullptr;
}

ProgressDisplay::Work* ProgressDisplay::findDump() {
  Work* w = find(Kind::Dump);
  return w ? w : find(Kind::FactoryDump);
}

// ---------------------------------------------------------------- the link

void ProgressDisplay::connectProgress() { showConnect(true); }

void ProgressDisplay::connectAnswered() { beginDump(Kind::Dump); }

void ProgressDisplay::factoryResetSent() { beginDump(Kind::FactoryDump); }

void ProgressDisplay::beginDump(Kind kind) {
  // A dump begun again (a second answer) starts its count afresh.
  std::erase_if(running_, [](const Work& w) { return w.kind != Kind::Load; });
  running_.push_back({kind, {}, {}, 0, dumpMessageCount(s_.Dump_Mode)});
  showMain();
  showConnect(false);
}

void ProgressDisplay::dumpMessageTaken() {
  Work* w = findDump();
  if (!w) {
    // A dump that nothing announced, such as one the unit sends late.
    if (dumpMessageCount(s_.Dump_Mode) == 0) return;
    beginDump(Kind::Dump);
    w = findDump();
  }
  // A unit may send more than the catalogue counts (a notice, a message
  // sent twice): the bar waits one short of its end until the link completes.
  w->done = std::min(w->done + 1, std::max(0, w->total - 1));
  showMain();
  showConnect(false);
}

void ProgressDisplay::linked() { endDump(true); }

void ProgressDisplay::unlinked() { endDump(false); }

void ProgressDisplay::watchdogExpired() {
  // The unit never began the factory values' dump; nothing else will end it.
  const Work* w = find(Kind::FactoryDump);
  if (w && w->done == 0 && !s_.Is_Linked) endDump(false);
}

void ProgressDisplay::endDump(bool complete) {
  Work* w = findDump();
  if (!w) return;
  if (complete) w->done = w->total;
  showMain();
  showConnect(false);
  finish(running_.begin() + (w - running_.data()), complete ? Outcome::Received : Outcome::Stopped);
}

void ProgressDisplay::frameResent() {
  if (Work* w = find(Kind::Load)) {
    ++w->resent;
    showMain();
  }
}

void ProgressDisplay::batchStepEnded() {
  if (Work* w = find(Kind::Load)) {
    w->done = std::min(w->done + 1, w->total);
    showMain();
  }
}

// ---------------------------------------------------------- the preset file

void ProgressDisplay::linkedLoadStarted(const std::string& path, int steps) {
  running_.push_back({Kind::Load, fileNameOf(path), {}, 0, steps});
  showMain();
}

void ProgressDisplay::linkedLoadReplanned(int moreSteps) {
  if (Work* w = find(Kind::Load)) {
    w->total = std::max(w->done, w->total + moreSteps);
    showMain();
  }
}

void ProgressDisplay::linkedLoadEnded(int unconfirmed) {
  Work* w = find(Kind::Load);
  if (!w) return;
  w->unconfirmed = unconfirmed;
  // A load cut short (the link fell and the fall-back changed the current
  // file) skips the steps it had left: the work is over all the same.
  w->done = w->total;
  showMain();
  finish(running_.begin() + (w - running_.data()),
         unconfirmed > 0 ? Outcome::LoadUnconfirmed : Outcome::LoadConfirmed);
}

void ProgressDisplay::saveEnded(const std::string& path, const std::string& error) {
  ended_ = {Kind::Load, fileNameOf(path), error};
  outcome_ = error.empty() ? Outcome::Saved : Outcome::NotSaved;
  showMain();
}

void ProgressDisplay::currentFileChanged() { showFile(); }

// ------------------------------------------------------------------ showing

void ProgressDisplay::finish(std::vector<Work>::iterator it, Outcome outcome) {
  ended_ = *it;
  outcome_ = outcome;
  running_.erase(it);
  showMain();
}

void ProgressDisplay::showMain() {
  if (!shown_) return;
  ProgressBar& bar = f4_.workBar;
  if (!running_.empty()) {
    const Work& w = running_.back();
    const std::string& line = filled(w.kind == Kind::Load          ? kSending
                                     : w.kind == Kind::FactoryDump ? kReceivingFactory
                                                                   : kReceiving,
                                     w.file);
    if (w.resent > 0)
      f4_.workText.setCaption(line + "\n" + filled(kResent, std::to_string(w.resent)));
    else
      f4_.workText.setCaption(line);
    bar.setMaximum(w.total);
    bar.setValue(w.done);
    bar.setCaption(count(w.done, w.total));
    bar.setVisible(true);
    return;
  }
  bar.setVisible(false);
  const Work& w = ended_;
  std::string line;
  switch (outcome_) {
    case Outcome::None:
      break;
    case Outcome::LoadConfirmed:
      line = fillText(text(kLoadConfirmed), w.file);
      break;
    case Outcome::LoadUnconfirmed:
      line = fillText(text(kLoadUnconfirmed), w.file, std::to_string(w.unconfirmed));
      break;
    case Outcome::Saved:
      line = fillText(text(kSaved), w.file);
      break;
    case Outcome::NotSaved:
      line = fillText(text(kNotSaved), w.file, w.error);
      break;
    case Outcome::Received:
      line = fillText(text(kReceived), {});
      break;
    case Outcome::Stopped:
      line = fillText(text(kDumpStopped), std::to_string(w.done), std::to_string(w.total));
      break;
  }
  if (w.resent > 0 && (outcome_ == Outcome::LoadConfirmed || outcome_ == Outcome::LoadUnconfirmed))
    line += "\n" + fillText(text(kResent), std::to_string(w.resent));
  f4_.workText.setCaption(line);
}

// The connect dialog, from the click on: the seconds waited for the answer,
// then the unit's dump. start shows it; otherwise only a shown one is redrawn.
void ProgressDisplay::showConnect(bool start) {
  if (!shown_ || !f1_.loaded() || (!start && !f1_.workBar.visible())) return;
  const int allowed = Connection::kGiveUpTicks - 1;
  const int waited = std::clamp(static_cast<int>(s_.Connect_Ticks) - 1, 0, allowed);
  const Work* dump = findDump();
  ProgressBar& bar = f1_.workBar;
  if (s_.Dump_Mode == 0 && !dump) {
    f1_.workText.setCaption(
        filled(kWaitingForAnswer, std::to_string(waited), std::to_string(allowed)));
    bar.setMaximum(allowed);
    bar.setValue(waited);
  } else if (!dump || dump->done == 0) {
    f1_.workText.setCaption(
        filled(kWaitingForData, std::to_string(waited), std::to_string(allowed)));
    bar.setMaximum(dump ? dump->total : dumpMessageCount(s_.Dump_Mode));
    bar.setValue(0);
  } else {
    f1_.workText.setCaption(filled(kReceiving, {}));
    bar.setMaximum(dump->total);
    bar.setValue(dump->done);
  }
  bar.setCaption(count(bar.value(), bar.maximum()));
  bar.setVisible(true);
}

void ProgressDisplay::showFile() {
  if (!shown_) return;
  f4_.fileName.setCaption(fillText(text(kPresetFile), fileNameOf(s_.currentPresetFile)));
}

}  // namespace kp
