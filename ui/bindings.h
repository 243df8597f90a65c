#pragma once
// Binding control models to Qt widgets. A view sets the widget from its
// model with the widget's signals blocked, and turns operator input into a
// model call, so every change is handled by the model's one change path.
// A control's accessible name goes to its widget; one without a name of its
// own is known by its text, as Qt does by default.
#include <QString>
#include <string>

class QAbstractButton;
class QBoxLayout;
class QDialog;
class QAction;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QWidget;

namespace kp {
class Button;
class Control;
class Label;
class ListBox;
class OptionButton;
class ProgressBar;
class Slider;
class SpinButton;
class TextBox;
class ToggleButton;
class Window;

inline QString qs(const std::string& utf8) { return QString::fromUtf8(utf8.c_str()); }
inline std::string us(const QString& s) { return s.toUtf8().toStdString(); }

namespace ui {
class GraphicButton;

// A slider. The operator's hold on it (a mouse button down, a key down and
// its repeats) is told to the model as a press and a release, so a drag or a
// held key is one change for the undo history; a fader of the panel also
// draws the model's mark.
void bind(Slider& model, QSlider* view);
void bind(kp::Label& model, QLabel* view);
// A frame: its caption is the group box title.
void bind(kp::Label& model, QGroupBox* view);
void bind(Button& model, QAbstractButton* view);
// A button that stays down while its model is checked.
void bind(ToggleButton& model, QPushButton* view);
// A graphical button: caption, enabled state, face colour and picture file.
void bind(Button& model, GraphicButton* view);
// A menu item or toolbar action: caption (or tooltip), enabled, trigger.
void bind(Button& model, QAction* view, bool captionIsTooltip = false);
void bind(ListBox& model, QComboBox* view);
void bind(OptionButton& model, QRadioButton* view);
// Shown only while the model is visible, with its caption drawn on the bar.
void bind(ProgressBar& model, QProgressBar* view);
// The confirm and cancel row at the foot of a dialog: confirm is the default
// button (Enter), and both are bound to their models.
void addConfirmCancel(QDialog* dialog, QBoxLayout* layout, Button& confirm, Button& cancel);
// Shows, hides, enables and titles the widget as its window model says.
void bind(Window& model, QWidget* view);
// A text box. The model holds what the box holds, however it got there
// (typed, pasted, dropped); a typed character reaches the box only when the
// model's keyFilter accepts it. Keys that type nothing (arrows, Delete) and
// Enter, Escape and Tab, which belong to the dialog, are not filtered.
void bind(TextBox& model, QLineEdit* view);
// A spin button drawn as two arrow buttons: each click, or each repeat while
// held, is one operator step up or down; a button held down is one change.
void bind(SpinButton& model, QAbstractButton* up, QAbstractButton* down);

}  // namespace ui
}  // namespace kp
