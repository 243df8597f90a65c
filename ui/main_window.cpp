#include "ui/main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>

#include "forms/form4.h"
#include "ui/bindings.h"
#include "ui/panel_style.h"
#include "ui/panel_view.h"
#include "ui/toolbar_icons.h"

namespace kp::ui {

namespace {
double dotsPerInch(const QWidget* w) {
  const QScreen* screen = w && w->screen() ? w->screen() : nullptr;
  return screen ? screen->logicalDotsPerInch() : 96.0;
}

// Keeps a control model's place inside its window, in twips, wherever the
// layout moves its widget: the save-to-slot dialog opens by its save button.
class PlaceTracker : public QObject {
 public:
  PlaceTracker(kp::Control& model, QWidget* widget, QWidget* window)
      : QObject(widget), m_(model), widget_(widget), window_(window) {
    // A widget keeps its place in its parent when an ancestor moves.
    for (QWidget* w = widget; w; w = w->parentWidget()) {
      w->installEventFilter(this);
      if (w == window) break;
    }
    update();
  }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Move || e->type() == QEvent::Resize || e->type() == QEvent::Show)
      update();
    return false;
  }

 private:
  void update() {
    const QPoint at = widget_->mapTo(window_, QPoint(0, 0));
    m_.left = pixelsToTwips(at.x(), widget_);
    m_.top = pixelsToTwips(at.y(), widget_);
    m_.width = pixelsToTwips(widget_->width(), widget_);
    m_.height = pixelsToTwips(widget_->height(), widget_);
  }
  kp::Control& m_;
  QWidget* widget_;
  QWidget* window_;
};
}  // namespace

int twipsToPixels(int twips, const QWidget* w) {
  return static_cast<int>(twips * dotsPerInch(w) / 1440.0 + 0.5);
}

int pixelsToTwips(int pixels, const QWidget* w) {
  return static_cast<int>(pixels * 1440.0 / dotsPerInch(w) + 0.5);
}

MainWindow::MainWindow(Form4& model, QWidget* parent) : QMainWindow(parent), f4_(model) {
  setObjectName("Form4");
  setWindowIcon(paintedIcon(IconKind::Panel));
  buildMenus();
  buildToolbar();
  applyPanelLook(this);
  auto* area = new PanelView(f4_, this);
  area->setObjectName("panelArea");
  setCentralWidget(area);
  for (int n : {67, 143})
    if (auto* save = area->findChild<QWidget*>(QString("Command%1").arg(n)))
      new PlaceTracker(f4_.Command(n), save, this);
  fitToScreen();
  bind(static_cast<Window&>(f4_), this);
  // Placed from the model's twips once the window knows its screen.
  move(twipsToPixels(f4_.left, this), twipsToPixels(f4_.top, this));
}

void MainWindow::buildMenus() {
  auto& f = f4_;
  struct Item {
    Button* model;
    const char* name;
    const char* shortcut;
  };
  auto addMenu = [this](Button& menu, const char* name, std::initializer_list<Item> items) {
    QMenu* m = menuBar()->addMenu(QString());
    m->setObjectName(name);
    bind(menu, m->menuAction());
    for (const auto& it : items) {
      if (!it.model) {
        m->addSeparator();
        continue;
      }
      QAction* a = m->addAction(QString());
      a->setObjectName(it.name);
      a->setShortcut(QKeySequence(it.shortcut));
      a->setShortcutContext(Qt::WindowShortcut);
      bind(*it.model, a);
    }
  };
  addMenu(f.file1, "file1",
          {{&f.open1, "open1", "Ctrl+O"},
           {&f.save1, "save1", "Ctrl+S"},
           {&f.exit1, "exit1", "Ctrl+E"}});
  addMenu(f.edit1, "edit1",
          {{&f.undo1, "undo1", "Ctrl+Z"},
           {&f.redo1, "redo1", "Ctrl+Y"},
           {nullptr, nullptr, nullptr},
           {&f.musicCompare1, "musicCompare1", "Ctrl+1"},
           {&f.micCompare1, "micCompare1", "Ctrl+2"},
           {nullptr, nullptr, nullptr},
           {&f.equalise1, "equalise1", ""}});
  if (auto* redo = findChild<QAction*>("redo1"))
    redo->setShortcuts({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")});
  addMenu(f.Pro1, "Pro1",
          {{&f.link1, "link1", "Ctrl+L"},
           {&f.unlink, "unlink", "Ctrl+U"},
           {&f.com_set1, "com_set1", "Ctrl+C"},
           {&f.Pro_set1, "Pro_set1", "Ctrl+V"},
           {&f.All_Reset1, "All_Reset1", "Ctrl+A"},
           {&f.Pass_set1, "Pass_set1", "Ctrl+P"},
           {&f.China_E1, "China_E1", "Ctrl+G"},
           {nullptr, nullptr, nullptr},
           {&f.rooms1, "rooms1", "Ctrl+R"}});
  addMenu(f.help1, "help1", {{&f.look_help, "look_help", "Ctrl+H"}});
}

void MainWindow::buildToolbar() {
  auto* bar = addToolBar(QString());
  bar->setObjectName("Toolbar1");
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(24, 24));
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  bar->toggleViewAction()->setVisible(false);
  for (int i = 1; i <= Form4::kToolbarButtons; ++i) {
    // Grouped as the operator thinks of them: files, link, unit, language, exit.
    if (i == 3 || i == 5 || i == 9 || i == 10) bar->addSeparator();
    QAction* a = bar->addAction(toolbarIcon(i), QString());
    a->setObjectName(QString("Toolbar1_%1").arg(i));
    bind(f4_.Toolbar1(i), a, /*captionIsTooltip=*/true);
  }
}

void MainWindow::fitToScreen() {
  QSize size = sizeHint();
  if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    // Leave room for the window frame and a desktop panel.
    const QSize room = screen->availableGeometry().size() - QSize(16, 40);
    size = size.boundedTo(room).expandedTo(minimumSizeHint());
  }
  resize(size);
}

void MainWindow::closeEvent(QCloseEvent* e) {
  if (!closing_ && f4_.mayClose && !f4_.mayClose()) return e->ignore();
  if (!closing_) {
    closing_ = true;
    if (f4_.onClose) f4_.onClose();
  }
  e->accept();
}

}  // namespace kp::ui
