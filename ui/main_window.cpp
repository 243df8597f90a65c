#include "ui/main_window.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/program.h"
#include "ui/bindings.h"

namespace kp::ui {

int twipsToPixels(int twips, const QWidget* w) {
  const QScreen* screen = w && w->screen() ? w->screen() : nullptr;
  const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
  return static_cast<int>(twips * dpi / 1440.0 + 0.5);
}

MainWindow::MainWindow(Program& program, QWidget* parent)
    : QMainWindow(parent), p_(program) {
  setObjectName("Form4");
  buildMenus();
  buildToolbar();
  auto* area = new QWidget(this);
  area->setObjectName("panelArea");
  area->setMinimumSize(1200, 640);
  setCentralWidget(area);
  bind(static_cast<Window&>(p_.form4), this);
  // Placed from the model's twips once the window knows its screen.
  move(twipsToPixels(p_.form4.left, this), twipsToPixels(p_.form4.top, this));
}

void MainWindow::buildMenus() {
  auto& f = p_.form4;
  struct Item {
    Button* model;
    const char* name;
    const char* shortcut;
  };
  auto addMenu = [this](Button& menu, const char* name,
                        std::initializer_list<Item> items) {
    QMenu* m = menuBar()->addMenu(QString());
    m->setObjectName(name);
    bind(menu, m->menuAction());
    for (const auto& it : items) {
      QAction* a = m->addAction(QString());
      a->setObjectName(it.name);
      a->setShortcut(QKeySequence(it.shortcut));
      a->setShortcutContext(Qt::WindowShortcut);
      bind(*it.model, a);
    }
  };
  addMenu(f.file1, "file1",
          {{&f.open1, "open1", "Ctrl+O"}, {&f.save1, "save1", "Ctrl+S"},
           {&f.exit1, "exit1", "Ctrl+E"}});
  addMenu(f.Pro1, "Pro1",
          {{&f.link1, "link1", "Ctrl+L"},
           {&f.unlink, "unlink", "Ctrl+U"},
           {&f.com_set1, "com_set1", "Ctrl+C"},
           {&f.Pro_set1, "Pro_set1", "Ctrl+V"},
           {&f.All_Reset1, "All_Reset1", "Ctrl+A"},
           {&f.Pass_set1, "Pass_set1", "Ctrl+P"},
           {&f.China_E1, "China_E1", "Ctrl+G"}});
  addMenu(f.help1, "help1", {{&f.look_help, "look_help", "Ctrl+H"}});
}

void MainWindow::buildToolbar() {
  auto* bar = addToolBar(QString());
  bar->setObjectName("Toolbar1");
  bar->setMovable(false);
  const QStyle::StandardPixmap icons[] = {
      QStyle::SP_DialogOpenButton, QStyle::SP_DialogSaveButton,
      QStyle::SP_MediaPlay,        QStyle::SP_MediaStop,
      QStyle::SP_ComputerIcon,     QStyle::SP_DialogYesButton,
      QStyle::SP_FileDialogDetailedView, QStyle::SP_BrowserReload,
      QStyle::SP_FileDialogInfoView, QStyle::SP_DialogCloseButton};
  for (int i = 1; i <= Form4::kToolbarButtons; ++i) {
    QAction* a = bar->addAction(style()->standardIcon(icons[i - 1]), QString());
    a->setObjectName(QString("Toolbar1_%1").arg(i));
    bind(p_.form4.Toolbar1(i), a, /*captionIsTooltip=*/true);
  }
}

void MainWindow::closeEvent(QCloseEvent* e) {
  if (!closing_) {
    closing_ = true;
    p_.shutDown();
  }
  e->accept();
}

}  // namespace kp::ui
