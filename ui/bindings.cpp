#include "ui/bindings.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QWidget>
#include <algorithm>

#include "core/models.h"
#include "ui/graphic_button.h"

namespace kp::ui {

void bind(Slider& m, QSlider* v) {
  auto sync = [&m, v] {
    QSignalBlocker block(v);
    // The view's range reaches the operator's limit, or the value when code
    // set one above it, so the thumb always shows the true value.
    v->setRange(m.min(), std::max(m.upperLimit(), m.value()));
    v->setValue(m.value());
    v->setEnabled(m.enabled());
  };
  m.onViewChanged = sync;
  sync();
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
  };
  m.onViewChanged = sync;
  sync();
  QObject::connect(v, &QAbstractButton::clicked, v, [&m] { m.click(); });
}

void bind(Button& m, GraphicButton* v) {
  auto sync = [&m, v] {
    v->setText(qs(m.caption()));
    v->setEnabled(m.enabled());
    v->setFace(m.backColor());
    v->setPicturePath(qs(m.picture()));
  };
  m.onViewChanged = sync;
  sync();
  QObject::connect(v, &QAbstractButton::clicked, v, [&m] { m.click(); });
}

void bind(Button& m, QAction* v, bool captionIsTooltip) {
  auto sync = [&m, v, captionIsTooltip] {
    if (captionIsTooltip)
      v->setToolTip(qs(m.caption()));
    else
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

}  // namespace kp::ui
