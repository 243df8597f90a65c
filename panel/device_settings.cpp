#include "panel/device_settings.h"

#include <array>
#include <string>

#include "link/frames.h"
#include "panel/catalogue.h"

namespace kp {

DeviceSettingsDialog::DeviceSettingsDialog(SharedState& state, Form3& form3, Form4& form4,
                                           Transmitter& tx)
    : s_(state), f3_(form3), f4_(form4), tx_(tx) {
  f3_.SpinButton1.onChange = [this] { Command_info(f3_.SpinButton1, f3_.Text1); };
  f3_.SpinButton2.onChange = [this] { Command_info(f3_.SpinButton2, f3_.Text2); };
  f3_.SpinButton3.onChange = [this] { Command_info(f3_.SpinButton3, f3_.Text3); };
  f3_.SpinButton4.onChange = [this] { Command_info(f3_.SpinButton4, f3_.Text4); };
  f3_.SpinButton5.onChange = [this] { Command_info_1(f3_.SpinButton5, f3_.Text5); };
  f3_.Combo1.onChange = [this] { modeClicked(f3_.Combo1, s_.Device_Settings.MIC_MODE); };
  f3_.Combo2.onChange = [this] { modeClicked(f3_.Combo2, s_.Device_Settings.MUSIC_MODE); };
  f3_.Combo3.onChange = [this] { Com3_Click(); };
  f3_.Combo4.onChange = [this] { Com4_Click(); };
  f3_.Command1.onClick = [this] {
    if (s_.Is_Linked) tx_.Send_Command(addr::System, cmd::EndBatch);
    f3_.unload();
  };
  f3_.Command2.onClick = [this] { f3_.unload(); };
  f3_.loadStep = [this] { loadStep(); };
}

void DeviceSettingsDialog::open() {
  f3_.unload();
  f3_.show();
}

void DeviceSettingsDialog::send(const Control& control, int value) {
  const auto address = control.tagNumber();
  if (!s_.Is_Linked || !address || value < 0 || value > 255) return;
  tx_.Send_Command(static_cast<std::uint8_t>(*address), static_cast<std::uint8_t>(value));
}

void DeviceSettingsDialog::Command_info(SpinButton& spin, TextBox& text) {
  text.setText(std::to_string(spin.value()) + "%");
  send(spin, spin.value());
  auto& ds = s_.Device_Settings;
  auto raise = [](SpinButton& max, const SpinButton& initial) {
    if (initial.value() > max.value()) max.setValue(initial.value());
  };
  switch (spin.tagNumber().value_or(0)) {
    case 9:
      raise(f3_.SpinButton1, f3_.SpinButton2);
      ds.MIC_MAX_VOLUME = static_cast<std::uint8_t>(f3_.SpinButton1.value());
      f4_.cpvSlider(kMicMaster).setUpperLimit(ds.MIC_MAX_VOLUME);
      break;
    case 7:
      raise(f3_.SpinButton1, f3_.SpinButton2);
      ds.MIC_MIN_VOLUME = static_cast<std::uint8_t>(f3_.SpinButton2.value());
      break;
    case 10:
      raise(f3_.SpinButton3, f3_.SpinButton4);
      ds.MUSIC_MAX_VOLUME = static_cast<std::uint8_t>(f3_.SpinButton3.value());
      f4_.cpvSlider(kMusicMaster).setUpperLimit(ds.MUSIC_MAX_VOLUME);
      break;
    case 8:
      raise(f3_.SpinButton3, f3_.SpinButton4);
      ds.MUSIC_MIN_VOLUME = static_cast<std::uint8_t>(f3_.SpinButton4.value());
      break;
    default:
      break;
  }
}

void DeviceSettingsDialog::Command_info_1(SpinButton& spin, TextBox& text) {
  text.setText(std::to_string(2 * spin.value()) + "%");
  send(spin, spin.value());
  s_.Device_Settings.KTV_MIN_VOLUME = static_cast<std::uint8_t>(f3_.SpinButton5.value());
}

void DeviceSettingsDialog::modeClicked(ListBox& list, std::uint8_t& field) {
  if (list.index() < 0) return;
  send(list, list.index());
  field = static_cast<std::uint8_t>(list.index());
}

void DeviceSettingsDialog::Com3_Click() {
  const int i = f3_.Combo3.index();
  if (i < 0 || i > 2) return;
  send(f3_.Combo3, settingByKey("KTV_MIN_DU")->codes[static_cast<std::size_t>(i)]);
  s_.Device_Settings.KTV_MIN_DU = static_cast<std::uint8_t>(i);
}

void DeviceSettingsDialog::Com4_Click() {
  const int i = f3_.Combo4.index();
  if (i < 0 || i > 2) return;
  send(f3_.Combo4, settingByKey("KTV_RESET_TIME")->codes[static_cast<std::size_t>(i)]);
  s_.Device_Settings.KTV_RESET_TIME = static_cast<std::uint8_t>(i);
}

void DeviceSettingsDialog::setThroughControl(const SettingParam& p, int value) {
  if (!f3_.loaded()) {
    const bool busy = s_.Is_Busy;
    s_.Is_Busy = true;
    f3_.load();
    s_.Is_Busy = busy;
  }
  auto handle = [](auto& control, bool same, auto set) {
    if (!same) {
      set();
    } else if (control.onChange) {
      control.onChange();
    }
  };
  if (SpinButton* spin = f3_.spin(p.key))
    handle(*spin, spin->value() == value, [&] { spin->setValue(value); });
  else if (ListBox* list = f3_.list(p.key))
    handle(*list, list->index() == value, [&] { list->setIndex(value); });
}

void DeviceSettingsDialog::loadStep() {
  if (Set_Language) Set_Language();
  if (f4_.Combo1.enabled()) {
    // A stored byte the control cannot show leaves the control as it is.
    const auto& ds = s_.Device_Settings;
    f3_.SpinButton1.setValue(ds.MIC_MAX_VOLUME);
    f3_.SpinButton2.setValue(ds.MIC_MIN_VOLUME);
    f3_.SpinButton3.setValue(ds.MUSIC_MAX_VOLUME);
    f3_.SpinButton4.setValue(ds.MUSIC_MIN_VOLUME);
    f3_.Combo1.setIndex(ds.MIC_MODE);
    f3_.Combo2.setIndex(ds.MUSIC_MODE);
    f3_.SpinButton5.setValue(ds.KTV_MIN_VOLUME);
    f3_.Combo4.setIndex(ds.KTV_RESET_TIME);
    f3_.Combo3.setIndex(ds.KTV_MIN_DU);
  }
  for (Control* c :
       std::initializer_list<Control*>{&f3_.Frame3, &f3_.SpinButton5, &f3_.Combo3, &f3_.Combo4,
                                       &f3_.Label7, &f3_.Label8, &f3_.Label9, &f3_.Text5})
    c->setEnabled(s_.Full_Model);
}

}  // namespace kp
