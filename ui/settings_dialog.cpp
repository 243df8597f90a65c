#include "ui/settings_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <initializer_list>
#include <utility>

#include "forms/form3.h"
#include "ui/bindings.h"

namespace kp::ui {

namespace {

// A spin button as two stacked arrows, named <name>_up and <name>_down.
QWidget* spinArrows(SpinButton& model, const QString& name, QWidget* parent) {
  auto* box = new QWidget(parent);
  box->setObjectName(name);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto arrow = [&](Qt::ArrowType type, const char* suffix) {
    auto* b = new QToolButton(box);
    b->setObjectName(name + suffix);
    b->setArrowType(type);
    b->setAutoRepeat(true);  // held down it keeps stepping, as a spin button does
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(22, 13);
    layout->addWidget(b);
    return b;
  };
  auto* up = arrow(Qt::UpArrow, "_up");
  auto* down = arrow(Qt::DownArrow, "_down");
  bind(model, up, down);
  return box;
}

}  // namespace

SettingsDialog::SettingsDialog(Form3& model, QWidget* parent) : QDialog(parent), m_(model) {
  setObjectName("Form3");
  setModal(false);
  auto* layout = new QVBoxLayout(this);

  auto group = [&](kp::Label& frameModel, const char* name) {
    auto* frame = new QGroupBox(this);
    frame->setObjectName(name);
    bind(frameModel, frame);
    layout->addWidget(frame);
    auto* grid = new QGridLayout(frame);
    grid->setColumnStretch(1, 1);
    return std::pair{frame, grid};
  };
  auto label = [&](QWidget* frame, QGridLayout* grid, int row, kp::Label& m, const char* name) {
    auto* l = new QLabel(frame);
    l->setObjectName(name);
    bind(m, l);
    grid->addWidget(l, row, 0);
  };
  auto volume = [&](QWidget* frame, QGridLayout* grid, int row, kp::Label& labelModel,
                    const char* labelName, TextBox& text, const char* textName, SpinButton& spin,
                    const char* spinName) {
    label(frame, grid, row, labelModel, labelName);
    auto* display = new QLineEdit(frame);
    display->setObjectName(textName);
    display->setReadOnly(true);
    display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    display->setFixedWidth(64);
    display->installEventFilter(this);
    bind(text, display);
    auto* row_ = new QHBoxLayout;
    row_->addWidget(display);
    row_->addWidget(spinArrows(spin, spinName, frame));
    row_->addStretch();
    grid->addLayout(row_, row, 1);
  };
  auto list = [&](QWidget* frame, QGridLayout* grid, int row, kp::Label& labelModel,
                  const char* labelName, ListBox& listModel, const char* listName) {
    label(frame, grid, row, labelModel, labelName);
    auto* combo = new QComboBox(frame);
    combo->setObjectName(listName);
    combo->setMinimumWidth(120);
    bind(listModel, combo);
    grid->addWidget(combo, row, 1);
  };

  auto [mic, micGrid] = group(m_.Frame1, "Frame1");
  volume(mic, micGrid, 0, m_.Label1, "Label1", m_.Text1, "Text1", m_.SpinButton1, "SpinButton1");
  volume(mic, micGrid, 1, m_.Label2, "Label2", m_.Text2, "Text2", m_.SpinButton2, "SpinButton2");
  list(mic, micGrid, 2, m_.Label3, "Label3", m_.Combo1, "Combo1");

  auto [music, musicGrid] = group(m_.Frame2, "Frame2");
  volume(music, musicGrid, 0, m_.Label4, "Label4", m_.Text3, "Text3", m_.SpinButton3,
         "SpinButton3");
  volume(music, musicGrid, 1, m_.Label5, "Label5", m_.Text4, "Text4", m_.SpinButton4,
         "SpinButton4");
  list(music, musicGrid, 2, m_.Label6, "Label6", m_.Combo2, "Combo2");

  auto [low, lowGrid] = group(m_.Frame3, "Frame3");
  volume(low, lowGrid, 0, m_.Label7, "Label7", m_.Text5, "Text5", m_.SpinButton5, "SpinButton5");
  list(low, lowGrid, 1, m_.Label8, "Label8", m_.Combo3, "Combo3");
  list(low, lowGrid, 2, m_.Label9, "Label9", m_.Combo4, "Combo4");

  addConfirmCancel(this, layout, m_.Command1, m_.Command2);
  bind(static_cast<Window&>(m_), this);
}

SettingsDialog::~SettingsDialog() {
  // The models outlive this view; they must not call into dead widgets.
  for (Control* c : std::initializer_list<Control*>{
           &m_.Frame1,      &m_.Frame2,      &m_.Frame3,      &m_.Label1,      &m_.Label2,
           &m_.Label3,      &m_.Label4,      &m_.Label5,      &m_.Label6,      &m_.Label7,
           &m_.Label8,      &m_.Label9,      &m_.Text1,       &m_.Text2,       &m_.Text3,
           &m_.Text4,       &m_.Text5,       &m_.SpinButton1, &m_.SpinButton2, &m_.SpinButton3,
           &m_.SpinButton4, &m_.SpinButton5, &m_.Combo1,      &m_.Combo2,      &m_.Combo3,
           &m_.Combo4,      &m_.Command1,    &m_.Command2})
    c->onViewChanged = nullptr;
  m_.onViewChanged = nullptr;
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      const int step = key == Qt::Key_Up ? +1 : -1;
      const std::pair<QObject*, SpinButton*> spins[] = {
          {findChild<QLineEdit*>("Text1"), &m_.SpinButton1},
          {findChild<QLineEdit*>("Text2"), &m_.SpinButton2},
          {findChild<QLineEdit*>("Text3"), &m_.SpinButton3},
          {findChild<QLineEdit*>("Text4"), &m_.SpinButton4},
          {findChild<QLineEdit*>("Text5"), &m_.SpinButton5}};
      for (const auto& [display, spin] : spins)
        if (display == watched) {
          spin->operatorStep(step);
          return true;
        }
    }
  }
  return QDialog::eventFilter(watched, e);
}

void SettingsDialog::reject() { m_.Command2.click(); }

}  // namespace kp::ui
