#pragma once
#include <QTimer>
#include <QWidget>
#include <set>

class QTableWidget;

namespace kp {
class RoomsWindow;
namespace ui {

// The Rooms window's view: the file and its actions above, the table of
// rooms (name, port, what it stands for, reference, state, when checked,
// progress), the summary below. Non-modal; the keyboard reaches every row
// and button, and a screen reader hears each cell with its column's name.
class RoomsView : public QWidget {
 public:
  RoomsView(RoomsWindow& model, QWidget* parent);

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void rebuild();
  void showRow(int row);
  void showDetails(int row);

  RoomsWindow& m_;
  QTableWidget* table_ = nullptr;
  bool filling_ = false;
  QTimer redraw_;
  std::set<int> dirty_;
};

}  // namespace ui
}  // namespace kp
