#include "ui/connect_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "forms/form1.h"
#include "ui/bindings.h"

namespace kp::ui {

ConnectDialog::ConnectDialog(Form1& model, QWidget* parent) : QDialog(parent), m_(model) {
  setObjectName("Form1");
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* picture = new QLabel(this);
  picture->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(48, 48));
  top->addWidget(picture);
  auto* models = new QComboBox(this);
  models->setObjectName("Combo1");
  models->setMinimumWidth(220);
  top->addWidget(models, 1);
  layout->addLayout(top);

  // How far the connect attempt has come; shown from the connect click on.
  auto* work = new QLabel(this);
  work->setObjectName("workText");
  work->setTextFormat(Qt::PlainText);
  layout->addWidget(work);
  auto* bar = new QProgressBar(this);
  bar->setObjectName("workBar");
  bar->setTextVisible(true);
  layout->addWidget(bar);

  auto* buttons = new QHBoxLayout;
  auto* connect = new QPushButton(this);
  auto* cancel = new QPushButton(this);
  connect->setObjectName("Command1");
  cancel->setObjectName("Command2");
  connect->setDefault(true);
  cancel->setAutoDefault(false);
  buttons->addStretch();
  buttons->addWidget(connect);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);

  bind(m_.Combo1, models);
  bind(m_.Command1, connect);
  bind(m_.Command2, cancel);
  bind(m_.workText, work);
  bind(m_.workBar, bar);
  bind(static_cast<Window&>(m_), this);
}

void ConnectDialog::reject() { m_.Command2.click(); }

}  // namespace kp::ui
