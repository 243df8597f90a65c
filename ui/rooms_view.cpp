#include "ui/rooms_view.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "ui/bindings.h"
#include "venue/rooms_window.h"

namespace kp::ui {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// Columns: room, port, stands for, reference, state, checked, progress.
constexpr int kColumns = 7;
constexpr int kStateColumn = 4;
constexpr int kProgressColumn = 6;
constexpr int kRedrawMs = 100;
bool editable(int column) { return column == 0 || column == 1 || column == 3; }

QColor toneColour(RowTone tone) {
  switch (tone) {
    case RowTone::Good:
      return QColor(0x2e, 0x7d, 0x32);
    case RowTone::Differs:
      return QColor(0xb2, 0x6a, 0x00);
    case RowTone::Failed:
      return QColor(0xc6, 0x28, 0x28);
    case RowTone::Busy:
      return QColor(0x15, 0x65, 0xc0);
    case RowTone::Plain:
      break;
  }
  return QColor();
}

QPushButton* button(Button& model, const char* name, QWidget* parent) {
  auto* b = new QPushButton(parent);
  b->setObjectName(name);
  bind(model, b);
  return b;
}

}  // namespace

RoomsView::RoomsView(RoomsWindow& model, QWidget* parent) : QWidget(parent, Qt::Window), m_(model) {
  setObjectName("Rooms");
  resize(1100, 520);
  auto* layout = new QVBoxLayout(this);

  auto* file = new QHBoxLayout;
  for (auto [b, name] : {std::pair<Button*, const char*>{&m_.Open1, "Open1"},
                         {&m_.New1, "New1"},
                         {&m_.Save1, "Save1"},
                         {&m_.SaveAs1, "SaveAs1"},
                         {&m_.Add1, "Add1"},
                         {&m_.Remove1, "Remove1"}})
    file->addWidget(button(*b, name, this));
  auto* fileName = new QLabel(this);
  fileName->setObjectName("FileLabel");
  fileName->setTextFormat(Qt::PlainText);
  bind(m_.FileLabel, fileName);
  file->addWidget(fileName, 1);
  layout->addLayout(file);

  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName("RoomsTable");
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
  table_->setTabKeyNavigation(false);  // Tab leaves the table for the buttons
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(false);
  table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  table_->horizontalHeader()->setSectionResizeMode(kStateColumn, QHeaderView::Stretch);
  layout->addWidget(table_, 1);

  auto* actions = new QHBoxLayout;
  for (auto [b, name] : {std::pair<Button*, const char*>{&m_.Check1, "Check1"},
                         {&m_.Verify1, "Verify1"},
                         {&m_.Backup1, "Backup1"},
                         {&m_.Restore1, "Restore1"},
                         {&m_.Report1, "Report1"},
                         {&m_.LinkRoom1, "LinkRoom1"},
                         {&m_.Stop1, "Stop1"}})
    actions->addWidget(button(*b, name, this));
  actions->addStretch(1);
  auto* jobsLabel = new QLabel(this);
  bind(m_.JobsLabel, jobsLabel);
  auto* jobs = new QSpinBox(this);
  jobs->setObjectName("Jobs1");
  jobs->setRange(m_.Jobs1.min(), m_.Jobs1.max());
  jobs->setValue(m_.Jobs1.value());
  jobs->setAccessibleName(qs(m_.Jobs1.accessibleName()));
  jobsLabel->setBuddy(jobs);
  connect(jobs, qOverload<int>(&QSpinBox::valueChanged), this,
          [this](int v) { m_.Jobs1.setValue(v); });
  actions->addWidget(jobsLabel);
  actions->addWidget(jobs);
  layout->addLayout(actions);

  auto* summary = new QLabel(this);
  summary->setObjectName("Summary");
  summary->setTextFormat(Qt::PlainText);
  bind(m_.Summary, summary);
  layout->addWidget(summary);

  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (filling_ || !m_.onCellEdited) return;
    m_.onCellEdited(item->row(), item->column(), item->text().trimmed().toStdString());
  });
  connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
    if (filling_) return;
    for (std::size_t i = 0; i < m_.rows.size(); ++i) m_.rows[i].selected = false;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
      if (i.row() >= 0 && static_cast<std::size_t>(i.row()) < m_.rows.size())
        m_.rows[static_cast<std::size_t>(i.row())].selected = true;
  });
  // A double click on the state or the progress links to the room; on a
  // cell that edits, it edits.
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
    if (column == kStateColumn && !m_.rows.empty() &&
        !m_.rows[static_cast<std::size_t>(row)].details.empty())
      return showDetails(row);
    if (!editable(column) && m_.onActivated) m_.onActivated(row);
  });

  // Escape closes the window, as a dialog's does; the work goes on.
  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close, &QShortcut::activated, this, [this] { m_.hide(); });
  // The morning check and a verify from the keyboard, as a browser
  // refreshes; the rest by Tab and Space.
  for (auto [key, b] :
       {std::pair<Qt::Key, Button*>{Qt::Key_F5, &m_.Check1}, {Qt::Key_F6, &m_.Verify1}}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    connect(shortcut, &QShortcut::activated, this, [b = b] {
      if (b->enabled()) b->click();
    });
  }

  // Sixteen rooms report hundreds of steps a second: a row is drawn again
  // at most every kRedrawMs, so the panel's loop stays free.
  redraw_.setSingleShot(true);
  redraw_.setInterval(kRedrawMs);
  connect(&redraw_, &QTimer::timeout, this, [this] {
    const std::set<int> rows = std::move(dirty_);
    dirty_.clear();
    for (int row : rows) showRow(row);
  });
  m_.onRowsChanged = [this](int row) {
    if (row < 0 || table_->rowCount() != static_cast<int>(m_.rows.size())) {
      dirty_.clear();
      return rebuild();
    }
    // A row that has ended its work is shown at once.
    if (!m_.rows[static_cast<std::size_t>(row)].busy) {
      dirty_.erase(row);
      return showRow(row);
    }
    dirty_.insert(row);
    if (!redraw_.isActive()) redraw_.start();
  };
  rebuild();
  bind(static_cast<Window&>(m_), this);
}

void RoomsView::rebuild() {
  filling_ = true;
  QStringList headings;
  for (const std::string& h : m_.headings) headings << qs(h);
  table_->setHorizontalHeaderLabels(headings);
  table_->setRowCount(static_cast<int>(m_.rows.size()));
  // The rows may be other rooms now: the selection is the model's.
  table_->clearSelection();
  for (int i = 0; i < static_cast<int>(m_.rows.size()); ++i)
    if (m_.rows[static_cast<std::size_t>(i)].selected)
      table_->selectionModel()->select(table_->model()->index(i, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
  filling_ = false;
  for (int i = 0; i < static_cast<int>(m_.rows.size()); ++i) showRow(i);
  table_->resizeColumnToContents(0);
  table_->resizeColumnToContents(1);
  table_->resizeColumnToContents(5);
  // Wide enough for the time a check ends, which comes later than the
  // heading that sized it ("时间" is narrower than "14:05").
  const int time = table_->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) + 12;
  if (table_->columnWidth(5) < time) table_->setColumnWidth(5, time);
}

void RoomsView::showRow(int i) {
  if (i < 0 || i >= table_->rowCount()) return;
  const RoomRow& r = m_.rows[static_cast<std::size_t>(i)];
  filling_ = true;
  const std::string cells[] = {r.room.name, r.room.port.text, r.standsFor,
                               r.reference, r.state,          r.checkedAt};
  for (int c = 0; c < kColumns - 1; ++c) {
    auto* item = table_->item(i, c);
    if (!item) {
      item = new QTableWidgetItem;
      table_->setItem(i, c, item);
    }
    // Unchanged cells are left alone: every change redraws the table.
    if (item->text() != qs(cells[c])) item->setText(qs(cells[c]));
    const auto flags =
        editable(c) ? item->flags() | Qt::ItemIsEditable : item->flags() & ~Qt::ItemIsEditable;
    if (item->flags() != flags) item->setFlags(flags);
    if (c == 3 && item->toolTip() != qs(r.room.file)) item->setToolTip(qs(r.room.file));
    if (c == kStateColumn) {
      if (item->foreground().color() != toneColour(r.tone)) item->setForeground(toneColour(r.tone));
      QString tip;
      for (const std::string& d : r.details) tip += (tip.isEmpty() ? "" : "\n") + qs(d);
      if (item->toolTip() != tip) item->setToolTip(tip);
    }
  }
  // A bar only while work runs on the room: the table shows the widgets of
  // its cells by itself, so one cannot merely be hidden.
  auto* bar = qobject_cast<QProgressBar*>(table_->cellWidget(i, kProgressColumn));
  if (!r.busy) {
    if (bar) table_->removeCellWidget(i, kProgressColumn);
    filling_ = false;
    return;
  }
  if (!bar) {
    bar = new QProgressBar;
    bar->setTextVisible(true);
    table_->setCellWidget(i, kProgressColumn, bar);
  }
  if (bar->maximum() != std::max(r.total, 1)) bar->setRange(0, std::max(r.total, 1));
  if (bar->value() != (r.total > 0 ? r.done : 0)) bar->setValue(r.total > 0 ? r.done : 0);
  const QString format = r.total > 0 ? QString("%v / %m") : QString();
  if (bar->format() != format) bar->setFormat(format);
  const QString name = qs(r.room.name + " " + (m_.headings.size() > 6 ? m_.headings[6] : ""));
  if (bar->accessibleName() != name) bar->setAccessibleName(name);
  filling_ = false;
}

// The differences a verify found, or the engine's own words: on demand.
void RoomsView::showDetails(int row) {
  const RoomRow& r = m_.rows[static_cast<std::size_t>(row)];
  QString text;
  for (const std::string& d : r.details) text += qs(d) + "\n";
  QMessageBox box(QMessageBox::NoIcon, qs(r.room.name), qs(r.state), QMessageBox::Ok, this);
  box.setDetailedText(text);
  box.exec();
}

void RoomsView::closeEvent(QCloseEvent* e) {
  // Closing hides the window; the work on the rooms goes on.
  m_.hide();
  e->accept();
}

}  // namespace kp::ui
