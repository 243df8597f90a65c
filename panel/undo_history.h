#pragma once
// The operator's undo history. Every change the operator makes to a slider,
// the key step or a device setting is one step; a drag, a held key or a held
// arrow button is one step as a whole. Undo and redo set each control back
// through its own handling, so a linked panel sends the value exactly as if
// the operator had moved it. Values from outside (the unit, a preset file, a
// reset) are not steps: the events that bring them start the history of what
// they replace anew.
#include <array>
#include <deque>
#include <functional>
#include <vector>

#include "core/state.h"
#include "forms/form3.h"
#include "forms/form4.h"
#include "panel/device_settings.h"
#include "panel/panel.h"

namespace kp {

// What an outside event replaces, as a set of these.
enum EditScope : unsigned {
  kMusicBands = 1,
  kMicBands = 2,
  kMicEffects = 4,   // kept in the microphone slot, like its bands
  kOtherValues = 8,  // masters, 5.1 outputs, the key step, device settings
  kAllValues = 15,
};

class UndoHistory {
 public:
  static constexpr std::size_t kMaxSteps = 500;

  UndoHistory(SharedState& state, Form4& form4, Form3& form3, Panel& panel,
              DeviceSettingsDialog& settings);

  // Listens to the operator's hand on every control it keeps steps of.
  void attach();

  bool canUndo() const { return !undo_.empty() || !pending_.empty(); }
  bool canRedo() const { return !redo_.empty(); }
  // Each does nothing while the windows are locked. A step is only set back
  // where its controls still hold what it left, in the slot it was made in;
  // one that outside values have overtaken is dropped. Returns whether a
  // step was set.
  bool undo();
  bool redo();
  // Forgets every step of the values in scope.
  void restart(unsigned scope);
  // Values that code sets on the operator's behalf (a proposal put into a
  // slot) make one step, as if the operator's hand had moved them.
  void asOneStep(const std::function<void()>& change);

  // Runs before undo or redo set anything.
  std::function<void()> beforeApply;
  // Runs whenever what can be undone or redone may have changed.
  std::function<void()> onAvailability;

 private:
  // The controls kept: the 76 sliders in catalogue order, the key step,
  // then the nine device settings in catalogue order.
  static constexpr int kStepControl = kSliderCount;
  static constexpr int kNoControl = -1;  // a change no single control holds
  static constexpr int kControls = kSliderCount + 1 + 9;
  using Values = std::array<int, kControls>;
  struct Entry {
    int control;
    int slot;  // the mode slot it was made in; -1 for values kept in none
    int before;
    int after;
  };
  using Step = std::vector<Entry>;

  void hand(int control, Control::Hand h);
  Values read();
  int value(int control);
  void set(int control, int value);
  unsigned scopeOf(int control) const;
  int slotOf(int control) const;
  bool holds(const Entry& e, int value);
  void merge(const Values& before, const Values& now);
  void commit();
  bool apply(std::deque<Step>& from, std::deque<Step>& to, bool back);
  void changed() {
    if (onAvailability) onAvailability();
  }

  SharedState& s_;
  Form4& f4_;
  Form3& f3_;
  Panel& panel_;
  DeviceSettingsDialog& settings_;
  std::deque<Step> undo_, redo_;
  Step pending_;    // the operator's gesture in progress
  Values taken_{};  // every value as the current input found it
  int depth_ = 0;   // operator inputs in progress, one inside another
  int held_ = -1;   // the control a gesture holds
  bool applying_ = false;
};

}  // namespace kp
