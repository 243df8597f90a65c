#include "panel/edits.h"

#include "panel/catalogue.h"

namespace kp {

Edits::Edits(SharedState& state, Form4& form4, Form3& form3, Panel& panel,
             DeviceSettingsDialog& settings)
    : history(state, form4, form3, panel, settings), compare(state, form4), f4_(form4) {}

void Edits::attach() {
  history.attach();
  // Undo and redo may touch a band the compare holds: its edits come back
  // first.
  history.beforeApply = [this] {
    compare.restore(true);
    compare.restore(false);
  };
  history.onAvailability = [this] { availability(); };
  f4_.undo1.onClick = [this] { history.undo(); };
  f4_.redo1.onClick = [this] { history.redo(); };
  f4_.musicCompare.onClick = [this] { compare.toggle(true); };
  f4_.micCompare.onClick = [this] { compare.toggle(false); };
  f4_.musicCompare1.onClick = [this] { compare.toggle(true); };
  f4_.micCompare1.onClick = [this] { compare.toggle(false); };
  availability();
  compare.refresh(true);
  compare.refresh(false);
}

void Edits::availability() {
  f4_.undo1.setEnabled(history.canUndo());
  f4_.redo1.setEnabled(history.canRedo());
}

void Edits::setTexts(const std::array<std::string, kTexts>& texts) {
  auto text = [&](Text t) -> const std::string& { return texts[static_cast<std::size_t>(t - 1)]; };
  f4_.edit1.setCaption(text(kEditMenu));
  f4_.undo1.setCaption(text(kUndo));
  f4_.redo1.setCaption(text(kRedo));
  f4_.musicCompare1.setCaption(text(kMusicCompareItem));
  f4_.micCompare1.setCaption(text(kMicCompareItem));
  compare.setTexts(text(kHearingEdits), text(kHearingReference), text(kChangedBands));
}

void Edits::replacing(unsigned scope) {
  if (scope & kMusicBands) compare.release(true);
  if (scope & kMicBands) compare.release(false);
  history.restart(scope);
}

void Edits::modeChanging(bool music) {
  // The slot the compare was made in is no longer the one selected.
  compare.release(music);
  history.restart(music ? kMusicBands : kMicBands | kMicEffects);
}

void Edits::dumpComplete() {
  compare.discard(true);
  compare.discard(false);
  // The dump brought the user slots, and the slot in force with its values.
  for (bool music : {true, false}) {
    for (int slot = 0; slot < 3; ++slot) compare.referenceFromImage(music, slot);
    compare.referenceFromImage(music, music ? f4_.Combo1.index() : f4_.Combo2.index());
    compare.refresh(music);
  }
  history.restart(kAllValues);
}

void Edits::reported(std::uint8_t dumpAddress, std::uint8_t value) {
  const SliderParam* p = sliderByDumpAddress(dumpAddress);
  if (!p || p->encoding != Encoding::Band) return;
  const bool music = p->table == ImageTable::Music;
  compare.setReference(music, music ? f4_.Combo1.index() : f4_.Combo2.index(), p->row,
                       decodeValue(*p, value));
  compare.refresh(music);
}

void Edits::slotRead(bool music, int slot, int row, int byte) {
  compare.setReference(music, slot, row, byte - kBandOffset);
}

void Edits::loadEnded() {
  compare.refresh(true);
  compare.refresh(false);
  history.restart(kAllValues);
}

void Edits::stored(bool music, int slot) {
  compare.referenceFromImage(music, slot);
  compare.refresh(music);
}

void Edits::saving() {
  compare.restore(true);
  compare.restore(false);
}

}  // namespace kp
