#include "ui/panel_style.h"

#include <QMenu>
#include <QWidget>

namespace kp::ui {

QPalette panelPalette() {
  using namespace colours;
  QPalette p;
  p.setColor(QPalette::Window, kWindow);
  p.setColor(QPalette::WindowText, kText);
  p.setColor(QPalette::Base, kDisplay);
  p.setColor(QPalette::AlternateBase, kSection);
  p.setColor(QPalette::Text, kText);
  p.setColor(QPalette::Button, kButtonFace);
  p.setColor(QPalette::ButtonText, kText);
  p.setColor(QPalette::BrightText, Qt::white);
  p.setColor(QPalette::ToolTipBase, kSection);
  p.setColor(QPalette::ToolTipText, kText);
  p.setColor(QPalette::PlaceholderText, kDimText);
  p.setColor(QPalette::Highlight, kHighlight);
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Link, kHighlight);
  p.setColor(QPalette::Light, kButtonFace.lighter(150));
  p.setColor(QPalette::Midlight, kButtonFace.lighter(120));
  p.setColor(QPalette::Mid, kButtonFace.darker(130));
  p.setColor(QPalette::Dark, kWindow.darker(150));
  p.setColor(QPalette::Shadow, QColor(0, 0, 0));
  // Disabled controls stay legible but clearly recede.
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, QColor(0x6a, 0x72, 0x7c));
  p.setColor(QPalette::Disabled, QPalette::Button, kButtonFace.darker(115));
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x4a, 0x52, 0x5c));
  return p;
}

void applyPanelLook(QWidget* top) {
  const QPalette palette = panelPalette();
  top->setPalette(palette);
  top->setAutoFillBackground(true);
  for (QMenu* menu : top->findChildren<QMenu*>()) menu->setPalette(palette);
}

}  // namespace kp::ui
