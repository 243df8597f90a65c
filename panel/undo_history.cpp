#include "panel/undo_history.h"

#include <algorithm>

namespace kp {

UndoHistory::UndoHistory(SharedState& state, Form4& form4, Form3& form3, Panel& panel,
                         DeviceSettingsDialog& settings)
    : s_(state), f4_(form4), f3_(form3), panel_(panel), settings_(settings) {}

void UndoHistory::attach() {
  auto listen = [this](Control& c, int control) {
    c.onHand = [this, control](Control::Hand h) { hand(control, h); };
  };
  const auto& sliders = sliderCatalogue();
  for (int i = 0; i < kSliderCount; ++i)
    listen(f4_.cpvSlider(sliders[static_cast<std::size_t>(i)].slider), i);
  for (int step = 1; step <= 15; ++step) listen(*panel_.stepButton(step), kStepControl);
  const auto& settings = settingsCatalogue();
  for (std::size_t i = 0; i < settings.size(); ++i) {
    const int control = kStepControl + 1 + static_cast<int>(i);
    if (SpinButton* spin = f3_.spin(settings[i].key)) listen(*spin, control);
    if (ListBox* list = f3_.list(settings[i].key)) listen(*list, control);
  }
}

// Each input is taken as the difference it made to every value kept, so a
// change its handling makes elsewhere (an initial volume raising its
// maximum) is part of the same step, and a value that came from outside
// between two inputs of a drag is not.
void UndoHistory::hand(int control, Control::Hand h) {
  if (applying_) return;
  switch (h) {
    case Control::Hand::Press:
      if (held_ != control) {
        commit();
        held_ = control;
      }
      return;
    case Control::Hand::Release:
      if (held_ == control) {
        held_ = -1;
        commit();
      }
      return;
    case Control::Hand::Begin:
      if (depth_++ > 0) return;
      if (held_ >= 0 && held_ != control) {
        held_ = -1;
        commit();
      }
      taken_ = read();
      return;
    case Control::Hand::End:
      if (depth_ == 0 || --depth_ > 0) return;
      merge(taken_, read());
      if (held_ < 0) commit();
      return;
  }
}

UndoHistory::Values UndoHistory::read() {
  Values v;
  for (int c = 0; c < kControls; ++c) v[static_cast<std::size_t>(c)] = value(c);
  return v;
}

int UndoHistory::value(int control) {
  if (control < kStepControl)
    return f4_.cpvSlider(sliderCatalogue()[static_cast<std::size_t>(control)].slider).value();
  if (control == kStepControl) return panel_.stepInForce();
  const SettingParam& p = settingsCatalogue()[static_cast<std::size_t>(control - kStepControl - 1)];
  return s_.Device_Settings.*p.field;
}

void UndoHistory::set(int control, int value) {
  if (control < kStepControl) {
    f4_.cpvSlider(sliderCatalogue()[static_cast<std::size_t>(control)].slider).setValue(value);
  } else if (control == kStepControl) {
    if (Button* b = panel_.stepButton(value)) panel_.Control(*b, static_cast<std::uint8_t>(value));
  } else {
    settings_.setThroughControl(
        settingsCatalogue()[static_cast<std::size_t>(control - kStepControl - 1)], value);
  }
}

unsigned UndoHistory::scopeOf(int control) const {
  if (control >= kStepControl) return kOtherValues;
  const SliderParam& p = sliderCatalogue()[static_cast<std::size_t>(control)];
  if (p.table == ImageTable::Music) return kMusicBands;
  if (p.table == ImageTable::Mic) return p.encoding == Encoding::Band ? kMicBands : kMicEffects;
  return kOtherValues;
}

int UndoHistory::slotOf(int control) const {
  const unsigned scope = scopeOf(control);
  if (scope == kMusicBands) return f4_.Combo1.index();
  if (scope == kOtherValues) return -1;
  return f4_.Combo2.index();
}

bool UndoHistory::holds(const Entry& e, int v) {
  // The key step has no handling of its own that looks at the link: only a
  // linked panel sets it.
  if (e.control == kStepControl && !s_.Is_Linked) return false;
  return value(e.control) == v && slotOf(e.control) == e.slot;
}

void UndoHistory::merge(const Values& before, const Values& now) {
  for (int c = 0; c < kControls; ++c) {
    const auto i = static_cast<std::size_t>(c);
    if (before[i] == now[i]) continue;
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [c](const Entry& e) { return e.control == c; });
    if (it != pending_.end())
      it->after = now[i];
    else
      pending_.push_back({c, slotOf(c), before[i], now[i]});
  }
}

void UndoHistory::commit() {
  // A drag that came back where it began changed nothing; a key step taken
  // with none in force has nothing to go back to.
  std::erase_if(pending_, [](const Entry& e) {
    return e.before == e.after || (e.control == kStepControl && e.before == 0);
  });
  if (pending_.empty()) return;
  // Kept in the order of the controls: undo sets them back from the last,
  // redo from the first, so an initial volume goes back before the maximum
  // it raised, and a maximum comes back before its initial volume.
  std::sort(pending_.begin(), pending_.end(),
            [](const Entry& a, const Entry& b) { return a.control < b.control; });
  undo_.push_back(std::move(pending_));
  pending_.clear();
  if (undo_.size() > kMaxSteps) undo_.pop_front();
  redo_.clear();
  changed();
}

bool UndoHistory::apply(std::deque<Step>& from, std::deque<Step>& to, bool back) {
  if (!f4_.enabled()) return false;
  held_ = -1;
  commit();
  if (from.empty()) return false;
  if (beforeApply) beforeApply();
  bool applied = false;
  while (!from.empty() && !applied) {
    Step step = std::move(from.back());
    from.pop_back();
    std::erase_if(step, [&](const Entry& e) { return !holds(e, back ? e.after : e.before); });
    if (step.empty()) continue;
    applying_ = true;
    if (back)
      for (auto it = step.rbegin(); it != step.rend(); ++it) set(it->control, it->before);
    else
      for (const Entry& e : step) set(e.control, e.after);
    applying_ = false;
    to.push_back(std::move(step));
    applied = true;
  }
  changed();
  return applied;
}

void UndoHistory::asOneStep(const std::function<void()>& change) {
  hand(kNoControl, Control::Hand::Begin);
  change();
  hand(kNoControl, Control::Hand::End);
}

bool UndoHistory::undo() { return apply(undo_, redo_, true); }

bool UndoHistory::redo() { return apply(redo_, undo_, false); }

void UndoHistory::restart(unsigned scope) {
  auto drop = [&](Step& step) {
    std::erase_if(step, [&](const Entry& e) { return (scopeOf(e.control) & scope) != 0; });
  };
  drop(pending_);
  for (auto* stack : {&undo_, &redo_}) {
    for (Step& step : *stack) drop(step);
    std::erase_if(*stack, [](const Step& step) { return step.empty(); });
  }
  changed();
}

}  // namespace kp
