#pragma once
// The toolbar's pictures, drawn as vector shapes at whatever size and pixel
// density the screen asks for, so they stay sharp on HiDPI displays and need
// no image files.
#include <QIcon>

namespace kp::ui {

enum class IconKind {
  Open,
  Save,
  Link,
  Unlink,
  SerialPort,
  Password,
  DeviceSettings,
  FactoryReset,
  Language,
  Exit,
  Panel,  // the program's own window icon
};

QIcon paintedIcon(IconKind kind);

// The picture of toolbar button 1..10, in the order of the toolbar.
QIcon toolbarIcon(int index);

}  // namespace kp::ui
