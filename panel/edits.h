#pragma once
// The operator's tools for tuning by ear: the undo history and the compare
// of each equaliser section with its reference. The program tells them what
// happens outside the operator's hand: values about to come from the unit, a
// preset file or a reset, slots that came from the unit, a file or a
// save-to-slot, and a save about to read the panel. Nothing here sends but
// through the controls' own handling.
#include <array>
#include <cstdint>
#include <string>

#include "panel/compare.h"
#include "panel/undo_history.h"

namespace kp {

class Edits {
 public:
  // The texts, in the order of their keys "Edit_c_1".."Edit_c_8" (and "_e_").
  static constexpr int kTexts = 8;
  enum Text {
    kEditMenu = 1,      // "&Edit"
    kUndo,              // "Undo"
    kRedo,              // "Redo"
    kMusicCompareItem,  // "Compare Music Equaliser"
    kMicCompareItem,    // "Compare Microphone Equaliser"
    kHearingEdits,      // the compare button while the edits are heard
    kHearingReference,  // ... while the reference is heard
    kChangedBands,      // "Changed bands: %1"
  };

  Edits(SharedState& state, Form4& form4, Form3& form3, Panel& panel,
        DeviceSettingsDialog& settings);

  // Takes the operator's hand on the controls, and wires the menu items and
  // the compare buttons.
  void attach();

  void setTexts(const std::array<std::string, kTexts>& texts);

  // Outside values are about to replace those in scope: a compare of a
  // section in scope ends, its edits kept in their slot, and the history of
  // the scope starts anew.
  void replacing(unsigned scope);
  // A mode list's selection has changed, before the new mode is handled.
  void modeChanging(bool music);
  // The unit's data is complete (after a connect or a factory reset): every
  // slot the unit reported is now the reference, and the history starts
  // anew.
  void dumpComplete();
  // The unit reported one value (each band of a dump or a mode's answer).
  void reported(std::uint8_t dumpAddress, std::uint8_t value);
  // A preset file gave one entry of a slot, or its load has ended.
  void slotRead(bool music, int slot, int row, int byte);
  void loadEnded();
  // A save-to-slot is about to read the section's sliders, and has stored
  // them into a slot.
  void storing(bool music) { compare.restore(music); }
  void stored(bool music, int slot);
  // A preset file is about to be written: the edits come back first.
  void saving();
  // A band slider's value has changed, from anywhere.
  void bandChanged(bool music) { compare.refresh(music); }

  UndoHistory history;
  Compare compare;

 private:
  void availability();
  Form4& f4_;
};

}  // namespace kp
