#include "ui/bindings.h"

#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QWidget>
#include <algorithm>

#include "core/models.h"
#include "ui/graphic_button.h"
#include "ui/slider_view.h"

namespace kp::ui {

namespace {

// Tells a model when the operator takes hold of its widget and lets go. The
// release is told once the widget has handled it, since a button's last
// click and a slider's last move come with the release.
class Hold : public QObject {
 public:
  Hold(Control& model, QWidget* view) : QObject(view), m_(model) { view->installEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    switch (e->type()) {
      case QEvent::MouseButtonPress:
        m_.operatorPress();
        break;
      case QEvent::KeyPress:
        if (!static_cast<QKeyEvent*>(e)->isAutoRepeat()) m_.operatorPress();
        break;
      case QEvent::MouseButtonRelease:
      case QEvent::KeyRelease:
        if (e->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(e)->isAutoRepeat()) break;
        QMetaObject::invokeMethod(
            this, [this] { m_.operatorRelease(); }, Qt::QueuedConnection);
        break;
      case QEvent::FocusOut:
        m_.operatorRelease();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  Control& m_;
};

}  // namespace

void bind(Slider& m, QSlider* v) {
  auto sync = [&m, v] {
    QSignalBlocker block(v);
    // The view's range reaches the operator's limit, or the value when code
    // set one above it, so the thumb always shows the true value.
    v->setRange(m.min(), std::max(m.upperLimit(), m.value()));
    v->setValue(m.value());
    v->setEnabled(m.enabled());
    v->setAccessibleName(qs(m.accessibleName()));
    if (auto* fader = dynamic_cast<SliderView*>(v)) fader->setMark(m.mark());
  };
  m.onViewChanged = sync;
  sync();
  new Hold(m, v);
  QObject::connect(v, &QSlider::valueChanged, v, [&m, v](int value) {
    m.operatorSet(value);
    if (m.value() != value) {
      QSignalBlocker block(v);
      v->setValue(m.value());
    }
  });
}

void bind(kp::Label& m, QLabel* v) {
  auto sync = [&m, v] {
    v->setText(qs(m.caption()));
    v->setEnabled(m.enabled());
    v->setAccessibleName(qs(m.accessibleName()));
  };
  m.onViewChanged = sync;
  sync();
}

void bind(kp::Label& m, QGroupBox* v) {
  auto sync = [&m, v] {
    v->setTitle(qs(m.caption()));
    v->setEnabled(m.enabled());
  };
  m.onViewChanged = sync;
  sync();
}

void bind(Button& m, QAbstractButton* v) {
  auto sync = [&m, v] {
    v->setText(qs(m.caption()));
    v->setEnabled(m.enabled());
    v->setAccessibleName(qs(m.accessibleName()));
  };
  m.onViewChanged = sync;
  sync();
  QObject::connect(v, &QAbstractButton::clicked, v, [&m] { m.click(); });
}

void bind(ToggleButton& m, QPushButton* v) {
  v->setCheckable(true);
  auto sync = [&m, v] {
    QSignalBlocker block(v);
    v->setText(qs(m.caption()));
    v->setChecked(m.checked());
    v->setEnabled(m.enabled());
    v->setAccessibleName(qs(m.accessibleName()));
  };
  m.onViewChanged = sync;
  sync();
  // The widget toggles itself on a click; the model says what it shows.
  QObject::connect(v, &QAbstractButton::clicked, v, [&m, sync] {
    m.click();
    sync();
  });
}

void bind(Button& m, GraphicButton* v) {
  auto sync = [&m, v] {
    v->setText(qs(m.caption()));
    v->setEnabled(m.enabled());
    v->setFace(m.backColor());
    v->setPicturePath(qs(m.picture()));
    v->setAccessibleName(qs(m.accessibleName()));
  };
  m.onViewChanged = sync;
  sync();
  QObject::connect(v, &QAbstractButton::clicked, v, [&m] { m.click(); });
}

void bind(Button& m, QAction* v, bool captionIsTooltip) {
  auto sync = [&m, v, captionIsTooltip] {
    if (captionIsTooltip) {
      v->setToolTip(qs(m.caption()));
      // Not drawn beside a picture, but it names the button for screen readers.
      v->setIconText(qs(m.caption()));
    } else
      v->setText(qs(m.caption()));
    v->setEnabled(m.enabled());
  };
  m.onViewChanged = sync;
  sync();
  QObject::connect(v, &QAction::triggered, v, [&m] { m.click(); });
}

void bind(ListBox& m, QComboBox* v) {
  auto sync = [&m, v] {
    QSignalBlocker block(v);
    QStringList items;
    for (const auto& s : m.items()) items << qs(s);
    bool same = v->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i) same = v->itemText(i) == items[i];
    if (!same) {
      v->clear();
      v->addItems(items);
    }
    v->setCurrentIndex(m.index());
    v->setEnabled(m.enabled());
    v->setAccessibleName(qs(m.accessibleName()));
  };
  m.onViewChanged = sync;
  sync();
  QObject::connect(v, &QComboBox::activated, v, [&m](int i) { m.operatorSelect(i); });
}

void bind(OptionButton& m, QRadioButton* v) {
  auto sync = [&m, v] {
    QSignalBlocker block(v);
    v->setText(qs(m.caption()));
    v->setChecked(m.checked());
    v->setEnabled(m.enabled());
  };
  m.onViewChanged = sync;
  sync();
  QObject::connect(v, &QRadioButton::toggled, v, [&m](bool on) { m.setChecked(on); });
}

void bind(ProgressBar& m, QProgressBar* v) {
  auto sync = [&m, v] {
    v->setRange(0, m.maximum());
    v->setValue(m.value());
    v->setFormat(qs(m.caption()));
    v->setAccessibleName(qs(m.accessibleName()));
    v->setVisible(m.visible());
  };
  m.onViewChanged = sync;
  sync();
}

void addConfirmCancel(QDialog* dialog, QBoxLayout* layout, Button& confirm, Button& cancel) {
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton(dialog);
  auto* no = new QPushButton(dialog);
  ok->setObjectName("Command1");
  no->setObjectName("Command2");
  ok->setDefault(true);
  ok->setAutoDefault(true);
  no->setAutoDefault(false);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(no);
  layout->addLayout(row);
  bind(confirm, ok);
  bind(cancel, no);
}

void bind(Window& m, QWidget* v) {
  auto sync = [&m, v] {
    v->setWindowTitle(qs(m.caption()));
    v->setEnabled(m.enabled());
    if (m.visible() && !v->isVisible()) {
      v->show();
      v->raise();
    } else if (!m.visible() && v->isVisible()) {
      v->hide();
    }
  };
  m.onViewChanged = sync;
  sync();
}

namespace {

// What a key press types, as a classic key filter sees it: Backspace is 8,
// Ctrl+letter its control code (Ctrl+V is 22), a printable key its
// character. 0 for a key that types nothing or that the dialog handles.
char32_t typedCharacter(const QKeyEvent& e) {
  if (e.key() == Qt::Key_Backspace) return 8;
  if (e.matches(QKeySequence::Paste)) return 22;
  if ((e.modifiers() & Qt::ControlModifier) && e.key() >= Qt::Key_A && e.key() <= Qt::Key_Z)
    return static_cast<char32_t>(e.key() - Qt::Key_A + 1);
  const QString text = e.text();
  if (text.isEmpty()) return 0;
  const char32_t c = text.toUcs4().value(0);
  return c < 0x20 || c == 0x7F ? 0 : c;
}

class KeyFilter : public QObject {
 public:
  KeyFilter(TextBox& model, QLineEdit* view) : QObject(view), m_(model), v_(view) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != v_ || e->type() != QEvent::KeyPress || !m_.keyFilter) return false;
    const char32_t c = typedCharacter(*static_cast<QKeyEvent*>(e));
    if (c == 0) return false;
    m_.selectionLength = static_cast<int>(us(v_->selectedText()).size());
    return !m_.keyFilter(c);  // true swallows the key
  }

 private:
  TextBox& m_;
  QLineEdit* v_;
};

}  // namespace

void bind(TextBox& m, QLineEdit* v) {
  auto sync = [&m, v] {
    QSignalBlocker block(v);
    if (us(v->text()) != m.text()) v->setText(qs(m.text()));
    v->setEchoMode(m.password ? QLineEdit::Password : QLineEdit::Normal);
    v->setEnabled(m.enabled());
  };
  m.onViewChanged = sync;
  sync();
  v->installEventFilter(new KeyFilter(m, v));
  QObject::connect(v, &QLineEdit::textChanged, v, [&m](const QString& t) { m.setText(us(t)); });
  QObject::connect(v, &QLineEdit::selectionChanged, v,
                   [&m, v] { m.selectionLength = static_cast<int>(us(v->selectedText()).size()); });
}

void bind(SpinButton& m, QAbstractButton* up, QAbstractButton* down) {
  auto sync = [&m, up, down] {
    up->setEnabled(m.enabled());
    down->setEnabled(m.enabled());
  };
  m.onViewChanged = sync;
  sync();
  QObject::connect(up, &QAbstractButton::clicked, up, [&m] { m.operatorStep(+1); });
  QObject::connect(down, &QAbstractButton::clicked, down, [&m] { m.operatorStep(-1); });
  new Hold(m, up);
  new Hold(m, down);
}

}  // namespace kp::ui
