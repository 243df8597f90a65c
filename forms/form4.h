#pragma once
// The main window: 76 sliders with their readouts, the mode lists, the step
// and section buttons, the status label, menus, toolbar and the link
// watchdog. Families are reached by their numbers, as the window names them.
#include <array>
#include <functional>
#include <memory>

#include "core/models.h"
#include "core/ports.h"

namespace kp {

class Form4 : public Window {
 public:
  static constexpr int kMaxSlider = 78;
  static constexpr int kMaxLabel = 82;
  static constexpr int kMaxCommand = 144;
  static constexpr int kToolbarButtons = 10;

  explicit Form4(EventPump& pump);

  // cpvSlider1..32, 34..65, 67..78; any other number answers a detached
  // slider that nothing shows, so a wrong number can never corrupt memory.
  Slider& cpvSlider(int n);
  bool hasSlider(int n) const;
  kp::Label& Label(int n);
  Button& Command(int n);
  // Toolbar button 1..10; the caption is its tooltip.
  Button& Toolbar1(int index);

  ListBox Combo1;  // music mode
  ListBox Combo2;  // microphone mode

  // Under the status label: the current preset file (the one a save
  // writes), and the progress and outcome of long work.
  kp::Label fileName;
  kp::Label workText;
  ProgressBar workBar;

  // Menus: captions and actions.
  Button file1, open1, save1, exit1;
  Button edit1, undo1, redo1, musicCompare1, micCompare1;
  Button equalise1;  // Edit → Equalise from measurement…
  Button Pro1, link1, unlink, com_set1, Pro_set1, All_Reset1, Pass_set1, China_E1;
  Button rooms1;  // Device → Rooms…: the venue's rooms
  Button help1, look_help;

  // Beside each equaliser's save and reset buttons: the compare with the
  // section's reference, down while the reference is heard; beside its
  // caption, how many bands differ from it.
  ToggleButton musicCompare, micCompare;
  kp::Label musicChanges, micChanges;

  // The link watchdog.
  std::unique_ptr<Timer> Timer1;

  // The operator (or the system, ending the session) closes the main
  // window: the program shuts down.
  std::function<void()> onClose;
  // Asked first when the operator closes it: false keeps the panel open.
  std::function<bool()> mayClose;

 private:
  std::array<Slider, kMaxSlider + 1> sliders_;
  std::array<bool, kMaxSlider + 1> hasSlider_{};
  std::array<kp::Label, kMaxLabel + 1> labels_;
  std::array<Button, kMaxCommand + 1> commands_;
  std::array<Button, kToolbarButtons + 1> toolbar_;
  Slider noSlider_;
  kp::Label noLabel_;
  Button noButton_;
};

}  // namespace kp
