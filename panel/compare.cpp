#include "panel/compare.h"

#include "panel/catalogue.h"

namespace kp {

Compare::Compare(SharedState& state, Form4& form4)
    : s_(state),
      f4_(form4),
      music_(form4.musicCompare, form4.musicCompare1, form4.musicChanges),
      mic_(form4.micCompare, form4.micCompare1, form4.micChanges) {}

Slider& Compare::band(bool music, int k) {
  return f4_.cpvSlider(music ? musicBandSlider(k) : micBandSlider(k));
}

int Compare::currentSlot(bool music) const {
  return music ? f4_.Combo1.index() : f4_.Combo2.index();
}

bool Compare::hasReference(const Section& s, int slot) const {
  if (slot < 0 || slot >= DeviceImage::kSlots) return false;
  for (const auto& r : s.reference[static_cast<std::size_t>(slot)])
    if (r) return true;
  return false;
}

void Compare::toggle(bool music) {
  Section& s = section(music);
  if (!f4_.enabled()) return;
  if (s.on) return restore(music);
  const int slot = currentSlot(music);
  if (!hasReference(s, slot)) return;
  for (int k = 1; k <= kBands; ++k)
    s.edits[static_cast<std::size_t>(k - 1)] = band(music, k).value();
  s.on = true;
  s.slot = slot;
  const auto& ref = s.reference[static_cast<std::size_t>(slot)];
  for (int k = 1; k <= kBands; ++k) {
    Slider& b = band(music, k);
    b.setEnabled(false);
    // A band the same in both raises no change, so it is not sent.
    if (const auto& r = ref[static_cast<std::size_t>(k - 1)]) b.setValue(*r);
  }
  refresh(music);
}

void Compare::end(bool music) {
  Section& s = section(music);
  s.on = false;
  for (int k = 1; k <= kBands; ++k) band(music, k).setEnabled(true);
  refresh(music);
}

void Compare::restore(bool music) {
  Section& s = section(music);
  if (!s.on) return;
  // The edits belong to the slot they were made in; a slot no longer shown
  // gets them back in the image alone.
  if (currentSlot(music) != s.slot) return release(music);
  s.on = false;
  for (int k = 1; k <= kBands; ++k)
    band(music, k).setValue(s.edits[static_cast<std::size_t>(k - 1)]);
  end(music);
}

void Compare::release(bool music) {
  Section& s = section(music);
  if (!s.on) return;
  for (int k = 1; k <= kBands; ++k) {
    const int byte = s.edits[static_cast<std::size_t>(k - 1)] + kBandOffset;
    if (music)
      s_.image.setMusic(s.slot, k, byte);
    else
      s_.image.setMic(s.slot, k, byte);
  }
  end(music);
}

void Compare::discard(bool music) {
  if (section(music).on) end(music);
}

void Compare::setReference(bool music, int slot, int k, int value) {
  if (slot < 0 || slot >= DeviceImage::kSlots || k < 1 || k > kBands) return;
  const Slider& b = band(music, k);
  auto& r =
      section(music).reference[static_cast<std::size_t>(slot)][static_cast<std::size_t>(k - 1)];
  if (value >= b.min() && value <= b.max())
    r = value;
  else
    r.reset();
}

void Compare::referenceFromImage(bool music, int slot) {
  for (int k = 1; k <= kBands; ++k) {
    const auto byte = music ? s_.image.music(slot, k) : s_.image.mic(slot, k);
    if (byte) setReference(music, slot, k, *byte - kBandOffset);
  }
}

void Compare::refresh(bool music) {
  Section& s = section(music);
  const int slot = s.on ? s.slot : currentSlot(music);
  const bool known = hasReference(s, slot);
  int differ = 0;
  for (int k = 1; k <= kBands; ++k) {
    Slider& b = band(music, k);
    const auto i = static_cast<std::size_t>(k - 1);
    const std::optional<int> ref =
        known ? s.reference[static_cast<std::size_t>(slot)][i] : std::nullopt;
    // The other of the two: the reference beside the edits, the edits
    // beside the reference while it is heard.
    const std::optional<int> other = s.on ? std::optional<int>(s.edits[i]) : ref;
    const int edit = s.on ? s.edits[i] : b.value();
    differ += ref && *ref != edit;
    b.setMark(other && *other != b.value() ? other : std::nullopt);
  }
  s.button.setChecked(s.on);
  s.button.setCaption(s.on ? hearingReference_ : hearingEdits_);
  s.button.setEnabled(s.on || known);
  s.menuItem.setEnabled(s.on || known);
  std::string count;
  if (differ > 0) {
    count = changedBands_;
    if (const auto at = count.find("%1"); at != std::string::npos)
      count.replace(at, 2, std::to_string(differ));
  }
  s.count.setCaption(count);
}

void Compare::setTexts(const std::string& hearingEdits, const std::string& hearingReference,
                       const std::string& changedBands) {
  hearingEdits_ = hearingEdits;
  hearingReference_ = hearingReference;
  changedBands_ = changedBands;
  refresh(true);
  refresh(false);
}

}  // namespace kp
