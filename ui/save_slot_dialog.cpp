#include "ui/save_slot_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <utility>

#include "forms/form6.h"
#include "ui/bindings.h"
#include "ui/main_window.h"

namespace kp::ui {

SaveSlotDialog::SaveSlotDialog(Form6& model, QWidget* parent) : QDialog(parent), m_(model) {
  setObjectName("Form6");
  setModal(false);
  auto* layout = new QHBoxLayout(this);
  auto* list = new QComboBox(this);
  list->setObjectName("Combo1");
  list->setMinimumWidth(100);
  auto* store = new QPushButton(this);
  store->setObjectName("Command1");
  store->setDefault(true);
  store->setAutoDefault(true);
  layout->addWidget(list, 1);
  layout->addWidget(store);
  bind(m_.Combo1, list);
  bind(m_.Command1, store);

  bind(static_cast<Window&>(m_), this);
  // The load step places the window before it shows; move there first, so
  // it appears under its save button and not where it was last time.
  auto show = std::move(m_.onViewChanged);
  m_.onViewChanged = [this, show] {
    if (m_.visible() && !isVisible())
      move(twipsToPixels(m_.left, this), twipsToPixels(m_.top, this));
    show();
  };
  if (m_.visible()) move(twipsToPixels(m_.left, this), twipsToPixels(m_.top, this));
}

SaveSlotDialog::~SaveSlotDialog() {
  m_.Combo1.onViewChanged = nullptr;
  m_.Command1.onViewChanged = nullptr;
  m_.onViewChanged = nullptr;
}

void SaveSlotDialog::reject() { m_.unload(); }

}  // namespace kp::ui
