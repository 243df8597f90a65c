#pragma once
// The panel's look: a dark, low-glare palette for dim venues, and the accent
// colours that tell the operator which channel a control belongs to.
#include <QColor>
#include <QPalette>

class QWidget;

namespace kp::ui {

namespace colours {
inline const QColor kWindow{0x1c, 0x20, 0x25};
inline const QColor kSection{0x24, 0x29, 0x30};
inline const QColor kButtonFace{0x35, 0x3b, 0x44};  // also the ground of 1.JPG
inline const QColor kText{0xe3, 0xe7, 0xec};
inline const QColor kDimText{0x8d, 0x97, 0xa3};
inline const QColor kDisplay{0x10, 0x13, 0x17};  // readout windows
inline const QColor kHighlight{0x4a, 0x9f, 0xe0};
inline const QColor kMusic{0xe0, 0xa4, 0x48};   // amber: music channel
inline const QColor kMic{0x46, 0xb8, 0xac};     // teal: microphone channel
inline const QColor kOutput{0x7f, 0x9c, 0xe8};  // blue: 5.1 outputs
inline const QColor kMark{0xf0, 0x6e, 0x8c};    // rose: where a band stood before
}  // namespace colours

QPalette panelPalette();

// Puts the panel palette on a widget tree (and on its pop-ups, which do not
// inherit a parent's palette by themselves).
void applyPanelLook(QWidget* top);

}  // namespace kp::ui
