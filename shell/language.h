#pragma once
// The interface language: every replaceable caption, menu text and toolbar
// tooltip of the six windows comes from config.ini, in Chinese ("N_c") or
// English ("N_e"). Nothing is cached; each call reads every text again, so a
// hand edit of config.ini shows at the next switch.
#include "core/state.h"
#include "forms/form1.h"
#include "forms/form2.h"
#include "forms/form3.h"
#include "forms/form4.h"
#include "forms/form5.h"
#include "forms/form6.h"
#include "panel/edits.h"
#include "panel/panel.h"
#include "shell/progress_display.h"

namespace kp {

class Language {
 public:
  Language(SharedState& state, Form4& form4, Form1& form1, Form2& form2, Form3& form3, Form5& form5,
           Form6& form6, Panel& panel, ProgressDisplay& progress, Edits& edits);

  // Applies the current language's texts to all six windows and the status
  // label. A window that does not exist yet is created hidden first; the
  // load steps of the settings and save-to-slot dialogs call this again,
  // which only sets the same texts once more.
  void Set_Language();

  // The texts Set_Language does not apply, in the same language: those of
  // the progress and outcome of long work ("Work_c_1".."Work_c_13"), the
  // accessible names of the main window's sliders, readouts, buttons and
  // lists ("Name_c_1".."Name_c_10"), and those of the undo history and the
  // compare ("Edit_c_1".."Edit_c_8"), read in that order, every one anew.
  static constexpr int kNameTexts = 10;
  void Set_Extra_Language();

  // The language menu item and toolbar button: Chinese <-> English.
  void toggle();

 private:
  SharedState& s_;
  Form4& f4_;
  Form1& f1_;
  Form2& f2_;
  Form3& f3_;
  Form5& f5_;
  Form6& f6_;
  Panel& panel_;
  ProgressDisplay& progress_;
  Edits& edits_;
};

}  // namespace kp
