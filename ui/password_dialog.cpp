#include "ui/password_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <initializer_list>

#include "forms/form5.h"
#include "ui/bindings.h"

namespace kp::ui {

PasswordDialog::PasswordDialog(Form5& model, QWidget* parent) : QDialog(parent), m_(model) {
  setObjectName("Form5");
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const struct {
    kp::Label* label;
    const char* labelName;
    TextBox* text;
    const char* textName;
  } rows[] = {{&m_.Label1, "Label1", &m_.Text1, "Text1"},
              {&m_.Label2, "Label2", &m_.Text2, "Text2"},
              {&m_.Label3, "Label3", &m_.Text3, "Text3"}};
  int row = 0;
  for (const auto& r : rows) {
    auto* l = new QLabel(this);
    l->setObjectName(r.labelName);
    bind(*r.label, l);
    auto* box = new QLineEdit(this);
    box->setObjectName(r.textName);
    // The classic mask character, whatever the style draws by default.
    box->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
    box->setMinimumWidth(140);
    l->setBuddy(box);
    bind(*r.text, box);
    grid->addWidget(l, row, 0);
    grid->addWidget(box, row, 1);
    ++row;
  }
  layout->addLayout(grid);

  addConfirmCancel(this, layout, m_.Command1, m_.Command2);
  bind(static_cast<Window&>(m_), this);
}

PasswordDialog::~PasswordDialog() {
  for (Control* c :
       std::initializer_list<Control*>{&m_.Label1, &m_.Label2, &m_.Label3, &m_.Text1, &m_.Text2,
                                       &m_.Text3, &m_.Command1, &m_.Command2})
    c->onViewChanged = nullptr;
  m_.onViewChanged = nullptr;
}

void PasswordDialog::reject() { m_.Command2.click(); }

}  // namespace kp::ui
