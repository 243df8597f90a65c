#include "ui/port_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "link/form2.h"
#include "link/port_names.h"
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

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(this);
  auto* cancel = new QPushButton(this);
  ok->setObjectName("Command1");
  cancel->setObjectName("Command2");
  ok->setDefault(true);
  ok->setAutoDefault(true);
  cancel->setAutoDefault(false);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  bind(m_.Command1, ok);
  bind(m_.Command2, cancel);
  bind(static_cast<Window&>(m_), this);
}

void PortDialog::showEvent(QShowEvent* e) {
  // Which device each COMn stands for, and whether it is there right now.
  for (int i = 0; i < Form2::kPorts; ++i)
    if (auto* o = findChild<QRadioButton*>(QString("Option1_%1").arg(i)))
      o->setToolTip(qs(describePortDevice(i + 1, us(folder_))));
  QDialog::showEvent(e);
}

void PortDialog::reject() { m_.Command2.click(); }

}  // namespace kp::ui
