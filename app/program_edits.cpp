// How the operator's undo history and compare hear what the rest of the
// program does: each handler below runs the program's own handling as it
// was, with the edit tools told before or after.
#include "app/program.h"

namespace kp {

void Program::wireEdits() {
  edits.attach();

  // The marks follow every band, whoever moved it.
  for (const SliderParam& p : sliderCatalogue()) {
    if (p.encoding != Encoding::Band) continue;
    Slider& s = form4.cpvSlider(p.slider);
    s.onChange = [this, inner = s.onChange, music = p.table == ImageTable::Music] {
      if (inner) inner();
      edits.bandChanged(music);
    };
  }
  for (bool music : {true, false}) {
    ListBox& list = music ? form4.Combo1 : form4.Combo2;
    list.onChange = [this, music, inner = list.onChange] {
      edits.modeChanging(music);
      if (inner) inner();
      edits.bandChanged(music);
    };
  }

  auto before = [](Button& b, std::function<void()> first) {
    b.onClick = [first = std::move(first), inner = b.onClick] {
      first();
      if (inner) inner();
    };
  };
  before(form4.Command(68), [this] { edits.replacing(kMusicBands); });
  before(form4.Command(144), [this] { edits.replacing(kMicBands); });
  before(form4.All_Reset1, [this] {
    if (state.Is_Linked) edits.replacing(kAllValues);
  });

  // A save-to-slot stores the edits, not a reference being compared.
  form6.Command1.onClick = [this, inner = form6.Command1.onClick] {
    const bool music = saveToSlot.Store_Code == SaveToSlot::kMusic;
    const int slot = form6.Combo1.index();
    edits.storing(music);
    if (inner) inner();
    if (slot >= 0 && slot <= 2) edits.stored(music, slot);
  };

  presetSets.onSlotRead = [this](bool music, int slot, int row, int byte) {
    edits.slotRead(music, slot, row, byte);
  };
  presetFile.editHooks.loading = [this] { edits.replacing(kAllValues); };
  presetFile.editHooks.loaded = [this] { edits.loadEnded(); };
  presetFile.editHooks.saving = [this] { edits.saving(); };
}

}  // namespace kp
