#include "ui/port_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "forms/form2.h"
#include "link/transport/port_target.h"
#include "ui/bindings.h"

namespace kp::ui {

PortDialog::PortDialog(Form2& model, const QString& programFolder, QWidget* parent)
    : QDialog(parent), m_(model), folder_(programFolder) {
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* frame = new QGroupBox(this);
  auto* grid = new QGridLayout(frame);
  for (int i = 0; i < Form2::kPorts; ++i) {
    auto* option = new QRadioButton(frame);
    option->setObjectName(QString("Option1_%1").arg(i));
    grid->addWidget(option, i % 5, i / 5);
    bind(m_.Option1(i), option);
  }
  layout->addWidget(frame);
  bind(m_.Frame1, frame);

  addConfirmCancel(this, layout, m_.Command1, m_.Command2);
  bind(static_cast<Window&>(m_), this);
}

void PortDialog::showEvent(QShowEvent* e) {
  // What each COMn stands for (a device, and whether it is there right now,
  // or a device server on the network), read from config.ini afresh.
  for (int i = 0; i < Form2::kPorts; ++i)
    if (auto* o = findChild<QRadioButton*>(QString("Option1_%1").arg(i)))
      o->setToolTip(qs(describeComPort(i + 1, us(folder_))));
  QDialog::showEvent(e);
}

void PortDialog::reject() { m_.Command2.click(); }

}  // namespace kp::ui
