#pragma once
// Comparing an equaliser section with its reference: the mode slot as it
// last came from the unit, a preset file or a save-to-slot. Pressed, the
// section shows (and, linked, sends) the reference's bands; pressed again,
// the operator's edits come back. Only the bands that differ move, so only
// they are sent, both ways. While it compares, the section's sliders take no
// edits. Whether comparing or not, each band marks the other of the two
// values where they differ, and the section says how many bands differ.
#include <array>
#include <optional>
#include <string>

#include "core/state.h"
#include "forms/form4.h"

namespace kp {

class Compare {
 public:
  static constexpr int kBands = 31;

  Compare(SharedState& state, Form4& form4);

  // The section's button: starts or ends the compare. Nothing happens while
  // the windows are locked or the current slot has no reference.
  void toggle(bool music);
  bool comparing(bool music) const { return section(music).on; }

  // Ends a compare; the edits come back on the sliders through their
  // handling, and a linked panel sends them.
  void restore(bool music);
  // Ends a compare because outside values are about to replace the
  // section: the edits go back into the image slot they were made in, and
  // nothing is shown or sent.
  void release(bool music);
  // Ends a compare whose edits the unit's own values have overtaken.
  void discard(bool music);

  // A band of a slot came from the unit or a file; a value the slider
  // cannot show leaves the band without a reference.
  void setReference(bool music, int slot, int band, int value);
  // Every band of a slot, as the device image holds it.
  void referenceFromImage(bool music, int slot);

  // Marks, the count of differing bands and the button, drawn anew.
  void refresh(bool music);

  // The texts, from the language: the button while the edits are heard,
  // while the reference is heard, and the count ("%1" for the number).
  void setTexts(const std::string& hearingEdits, const std::string& hearingReference,
                const std::string& changedBands);

 private:
  struct Section {
    Section(ToggleButton& b, Button& m, kp::Label& c) : button(b), menuItem(m), count(c) {}
    ToggleButton& button;
    Button& menuItem;
    kp::Label& count;
    std::array<std::array<std::optional<int>, kBands>, DeviceImage::kSlots> reference{};
    bool on = false;
    int slot = -1;
    std::array<int, kBands> edits{};
  };
  Section& section(bool music) { return music ? music_ : mic_; }
  const Section& section(bool music) const { return music ? music_ : mic_; }
  Slider& band(bool music, int k);
  int currentSlot(bool music) const;
  bool hasReference(const Section& s, int slot) const;
  void end(bool music);

  SharedState& s_;
  Form4& f4_;
  Section music_, mic_;
  std::string hearingEdits_, hearingReference_, changedBands_;
};

}  // namespace kp
