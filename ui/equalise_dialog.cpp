#include "ui/equalise_dialog.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>
#include <type_traits>
#include <vector>

#include "tuning/equalise_window.h"
#include "ui/bindings.h"
#include "ui/panel_style.h"
#include "ui/response_chart.h"

namespace kp::ui {

namespace {

// A spin button drawn as a spin box showing value / scale: the operator's
// new value is one step of the difference, so it passes through the
// model's own operator path and limits.
template <class Box>
void bindSpin(SpinButton& m, Box* v, double scale) {
  auto sync = [&m, v, scale] {
    const QSignalBlocker block(v);
    v->setRange(m.min() / scale, m.max() / scale);
    v->setValue(m.value() / scale);
    v->setEnabled(m.enabled());
  };
  m.onViewChanged = sync;
  sync();
  QObject::connect(
      v,
      qOverload<std::conditional_t<std::is_same_v<Box, QSpinBox>, int, double>>(&Box::valueChanged),
      v, [&m, v, scale, sync](auto value) {
        m.operatorStep(static_cast<int>(std::lround(value * scale)) - m.value());
        if (std::lround(v->value() * scale) != m.value()) sync();
      });
}

QLabel* label(kp::Label& model, const QString& name, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(name);
  bind(model, l);
  return l;
}

}  // namespace

EqualiseDialog::EqualiseDialog(EqualiseWindow& model, QWidget* parent)
    : QDialog(parent), m_(model) {
  setObjectName("Equalise");
  setModal(false);
  auto* layout = new QVBoxLayout(this);

  auto button = [&](Button& b, const char* name) {
    auto* w = new QPushButton(this);
    w->setObjectName(name);
    w->setAutoDefault(false);
    bind(b, w);
    return w;
  };
  auto combo = [&](ListBox& l, const char* name, QLabel* caption) {
    auto* w = new QComboBox(this);
    w->setObjectName(name);
    bind(l, w);
    if (caption) caption->setBuddy(w);
    return w;
  };

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(label(m_.measurementCaption, "measurementCaption", this));
  auto* fileName = label(m_.measurementFile, "measurementFile", this);
  fileRow->addWidget(fileName, 1);
  fileRow->addWidget(button(m_.openMeasurement, "openMeasurement"));
  layout->addLayout(fileRow);

  auto* choices = new QGridLayout;
  auto* channelCaption = label(m_.channelCaption, "channelCaption", this);
  choices->addWidget(channelCaption, 0, 0);
  choices->addWidget(combo(m_.channel, "channel", channelCaption), 0, 1);
  auto* targetCaption = label(m_.targetCaption, "targetCaption", this);
  choices->addWidget(targetCaption, 0, 2);
  choices->addWidget(combo(m_.target, "target", targetCaption), 0, 3);
  auto* tilt = new QDoubleSpinBox(this);
  tilt->setObjectName("tilt");
  tilt->setDecimals(1);
  tilt->setSingleStep(0.1);
  bindSpin(m_.tilt, tilt, 10.0);
  choices->addWidget(tilt, 0, 4);
  auto* tiltUnit = label(m_.tiltCaption, "tiltCaption", this);
  tiltUnit->setBuddy(tilt);
  choices->addWidget(tiltUnit, 0, 5);
  choices->addWidget(button(m_.openTarget, "openTarget"), 0, 6);
  choices->addWidget(label(m_.targetFile, "targetFile", this), 0, 7);

  auto* rangeCaption = label(m_.rangeCaption, "rangeCaption", this);
  choices->addWidget(rangeCaption, 1, 0);
  auto* range = new QHBoxLayout;
  range->addWidget(combo(m_.lowBand, "lowBand", rangeCaption));
  range->addWidget(label(m_.rangeTo, "rangeTo", this));
  range->addWidget(combo(m_.highBand, "highBand", nullptr));
  choices->addLayout(range, 1, 1);
  const struct {
    kp::Label* caption;
    SpinButton* spin;
    const char* name;
    int column;
  } limits[] = {{&m_.boostCaption, &m_.maxBoost, "maxBoost", 2},
                {&m_.cutCaption, &m_.maxCut, "maxCut", 4}};
  for (const auto& l : limits) {
    auto* caption = label(*l.caption, QString(l.name) + "Caption", this);
    auto* spin = new QSpinBox(this);
    spin->setObjectName(l.name);
    bindSpin(*l.spin, spin, 1.0);
    caption->setBuddy(spin);
    choices->addWidget(caption, 1, l.column);
    choices->addWidget(spin, 1, l.column + 1);
  }
  choices->setColumnStretch(7, 1);
  layout->addLayout(choices);

  auto* chart = new ResponseChart(m_, this);
  layout->addWidget(chart, 1);
  m_.onProposalChanged = [chart] { chart->update(); };
  for (kp::Label* legend : {&m_.measuredLegend, &m_.targetLegend, &m_.predictedLegend})
    legend->onViewChanged = [chart] { chart->update(); };

  // The bands side by side: frequency, current value, proposed value.
  auto* values = new QGridLayout;
  values->setHorizontalSpacing(2);
  values->addWidget(label(m_.bandCaption, "bandCaption", this), 0, 0);
  values->addWidget(label(m_.currentCaption, "currentCaption", this), 1, 0);
  values->addWidget(label(m_.proposedCaption, "proposedCaption", this), 2, 0);
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  for (int k = 1; k <= tuning::kBands; ++k) {
    const std::pair<kp::Label*, const char*> cells[] = {{&m_.bandName(k), "band"},
                                                        {&m_.currentValue(k), "current"},
                                                        {&m_.proposedValue(k), "proposed"}};
    for (int row = 0; row < 3; ++row) {
      auto* cell = label(*cells[row].first, QString("%1%2").arg(cells[row].second).arg(k), this);
      cell->setAlignment(Qt::AlignCenter);
      cell->setFont(small);
      cell->setMinimumWidth(24);
      if (row == 2) {
        QFont bold = small;
        bold.setBold(true);
        cell->setFont(bold);
      }
      values->addWidget(cell, row, k);
    }
  }
  layout->addLayout(values);

  auto* foot = new QHBoxLayout;
  foot->addWidget(label(m_.errorBefore, "errorBefore", this));
  foot->addSpacing(16);
  foot->addWidget(label(m_.errorAfter, "errorAfter", this));
  foot->addSpacing(16);
  auto* status = label(m_.status, "status", this);
  status->setWordWrap(true);
  foot->addWidget(status, 1);
  auto* apply = button(m_.apply, "apply");
  apply->setDefault(true);
  foot->addWidget(apply);
  foot->addWidget(button(m_.close, "close"));
  layout->addLayout(foot);

  applyPanelLook(this);
  bind(static_cast<Window&>(m_), this);
}

EqualiseDialog::~EqualiseDialog() {
  std::vector<ViewedModel*> models = {&m_.measurementCaption,
                                      &m_.measurementFile,
                                      &m_.openMeasurement,
                                      &m_.channelCaption,
                                      &m_.channel,
                                      &m_.targetCaption,
                                      &m_.target,
                                      &m_.tiltCaption,
                                      &m_.tilt,
                                      &m_.openTarget,
                                      &m_.targetFile,
                                      &m_.rangeCaption,
                                      &m_.rangeTo,
                                      &m_.lowBand,
                                      &m_.highBand,
                                      &m_.boostCaption,
                                      &m_.maxBoost,
                                      &m_.cutCaption,
                                      &m_.maxCut,
                                      &m_.bandCaption,
                                      &m_.currentCaption,
                                      &m_.proposedCaption,
                                      &m_.errorBefore,
                                      &m_.errorAfter,
                                      &m_.status,
                                      &m_.measuredLegend,
                                      &m_.targetLegend,
                                      &m_.predictedLegend,
                                      &m_.apply,
                                      &m_.close};
  for (int k = 1; k <= tuning::kBands; ++k)
    models.insert(models.end(), {&m_.bandName(k), &m_.currentValue(k), &m_.proposedValue(k)});
  for (ViewedModel* m : models) m->onViewChanged = nullptr;
  m_.onViewChanged = nullptr;
  m_.onProposalChanged = nullptr;
}

void EqualiseDialog::reject() { m_.close.click(); }

}  // namespace kp::ui
