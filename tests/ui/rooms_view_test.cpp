// The Rooms window as an operator and a screen reader meet it: named
// buttons, a row per room, the state and progress of each room's process
// as it reports them, edits checked as the rooms file is.
#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "core/virtual_loop.h"
#include "tests/support/rig.h"
#include "ui/rooms_view.h"
#include "venue/venue.h"

namespace kp {
namespace {

// Processes that run nothing: the test speaks for them.
class ScriptedChildren : public ChildProcesses {
 public:
  void start(int id, const std::string&, const std::vector<std::string>& args) override {
    started[id] = args;
  }
  void stop(int id) override { stopped.push_back(id); }
  std::map<int, std::vector<std::string>> started;
  std::vector<int> stopped;
};

// The application comes before the window's widgets.
struct WithApplication {
  WithApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "kp_tests_ui";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
};

class RoomsViewTest : public ::testing::Test, private WithApplication {
 protected:
  RoomsViewTest() {
    venue.setEngine("karaoke-ctl", &children);
    folder.write("rooms.csv", "room,port,file\n101,COM3\n102,tcp://127.0.0.1:4001\n");
    EXPECT_TRUE(venue.openFile(folder.file("rooms.csv")));
    window.show();
    QApplication::processEvents();
  }
  QTableWidget* table() { return view.findChild<QTableWidget*>("RoomsTable"); }
  QString cell(int row, int column) { return table()->item(row, column)->text(); }

  test::TempDir folder;
  ScriptedChildren children;
  RecordingDialogs dialogs;
  RecordingDesktop desktop;
  RoomsWindow window;
  Venue venue{window, VenueEnv{folder.str(),
                               {},
                               nullptr,
                               &dialogs,
                               &desktop,
                               {},
                               {},
                               [] { return std::string("09:30"); },
                               [] { return std::string("2026-12-09"); },
                               [] { return true; }}};
  ui::RoomsView view{window, nullptr};
};

TEST_F(RoomsViewTest, EveryActionIsANamedButtonAndEachRoomARow) {
  EXPECT_EQ(view.windowTitle(), "Rooms");
  QStringList names;
  for (QPushButton* b : view.findChildren<QPushButton*>()) names << b->accessibleName();
  for (const char* n :
       {"Check", "Verify", "Back up", "Restore", "Report", "Link to room", "Stop", "Open", "Save"})
    EXPECT_TRUE(names.contains(n)) << n;
  ASSERT_EQ(table()->rowCount(), 2);
  EXPECT_EQ(table()->horizontalHeaderItem(0)->text(), "Room");
  EXPECT_EQ(cell(1, 1), "tcp://127.0.0.1:4001");
  EXPECT_TRUE(cell(1, 2).startsWith("tcp://127.0.0.1:4001 (device server"))
      << cell(1, 2).toStdString();
  EXPECT_FALSE(view.findChild<QPushButton*>("Stop1")->isEnabled());

  // The restore's confirmation names the file as it is, marks and all.
  dialogs.askAnswers = {false};
  venue.run(Venue::Action::Restore, "/presets/bar%2.dat");
  ASSERT_FALSE(dialogs.questions.empty());
  EXPECT_NE(dialogs.questions.back().find("/presets/bar%2.dat into these rooms: 101, 102"),
            std::string::npos)
      << dialogs.questions.back();
  EXPECT_TRUE(children.started.empty()) << "not confirmed";
}

TEST_F(RoomsViewTest, EachRoomShowsItsProgressThenItsOutcomeInWords) {
  auto texts = Venue::englishTexts();
  texts[Venue::kAnswers - 1] = "有应答: %1 数据";
  texts[Venue::kLongDump - 1] = "长";
  texts[Venue::kColChecked - 1] = "时间";
  venue.setTexts(texts);
  window.Jobs1.setValue(1);
  QTest::mouseClick(view.findChild<QPushButton*>("Check1"), Qt::LeftButton);
  ASSERT_EQ(children.started.size(), 1u) << "one room at a time, as set";
  EXPECT_EQ(children.started[0].front(), "probe");
  EXPECT_TRUE(view.findChild<QPushButton*>("Stop1")->isEnabled());
  EXPECT_FALSE(view.findChild<QPushButton*>("Check1")->isEnabled()) << "one run at a time";

  children.onErrorLine(0, "@progress dump 150 302");
  QTest::qWait(150);  // rows under way are drawn a few times a second
  auto* bar = qobject_cast<QProgressBar*>(table()->cellWidget(0, 6));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->value(), 150);
  EXPECT_EQ(bar->maximum(), 302);
  EXPECT_EQ(cell(0, 4), "reading the unit");
  children.onOutputLine(0, R"({"room":"101","status":"done","code":0,"dump":"long"})");
  children.onFinished(0, 0, "");
  ASSERT_EQ(children.started.size(), 2u) << "the next room starts as one ends";
  EXPECT_EQ(children.started[1].back(), "tcp://127.0.0.1:4001");
  children.onErrorLine(
      1, "@error tcp://127.0.0.1:4001: cannot reach 127.0.0.1:4001 (Connection refused)");
  children.onFinished(1, 4, "");

  EXPECT_EQ(cell(0, 4), "有应答: 长 数据") << "the engine's word in the window's language";
  EXPECT_EQ(table()->cellWidget(0, 6), nullptr) << "a bar only while the work runs";
  EXPECT_EQ(cell(0, 5), "09:30");
  EXPECT_GT(table()->columnWidth(5), table()->fontMetrics().horizontalAdvance("09:30"))
      << "the time is not cut";
  EXPECT_EQ(cell(1, 4), "cannot reach 127.0.0.1:4001 (Connection refused)");
  EXPECT_EQ(view.findChild<QLabel*>("Summary")->text(), "1 answer, 1 failed");
  EXPECT_TRUE(view.findChild<QPushButton*>("Check1")->isEnabled());
}

TEST_F(RoomsViewTest, EditsAreCheckedAsTheRoomsFileIsAndStopEndsEveryRoom) {
  table()->item(0, 0)->setText("Bar");
  EXPECT_EQ(window.rows[0].room.name, "Bar");
  table()->item(1, 1)->setText("COM3");  // the port of room Bar already
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(cell(1, 1), "tcp://127.0.0.1:4001") << "the edit is taken back";

  table()->selectRow(1);
  EXPECT_TRUE(window.rows[1].selected);
  EXPECT_FALSE(window.rows[0].selected);
  table()->selectRow(0);
  QTest::mouseClick(view.findChild<QPushButton*>("Remove1"), Qt::LeftButton);
  ASSERT_EQ(window.rows.size(), 1u);
  EXPECT_TRUE(table()->selectionModel()->selectedRows().isEmpty())
      << "the room left in the first row was never selected";
  EXPECT_TRUE(venue.openFile(folder.file("rooms.csv")));
  table()->selectRow(1);
  QTest::mouseClick(view.findChild<QPushButton*>("Check1"), Qt::LeftButton);
  EXPECT_EQ(children.started.size(), 1u) << "only the selected room";
  QTest::mouseClick(view.findChild<QPushButton*>("Stop1"), Qt::LeftButton);
  EXPECT_EQ(children.stopped, std::vector<int>{0});
}

TEST_F(RoomsViewTest, EditedRoomsAreSavedOrLeftOnlyAsTheOperatorAnswers) {
  table()->item(0, 0)->setText("Bar");
  dialogs.askAnswers = {true};
  QTest::mouseClick(view.findChild<QPushButton*>("New1"), Qt::LeftButton);
  EXPECT_TRUE(window.rows.empty());
  EXPECT_NE(folder.read("rooms.csv").find("Bar,COM3"), std::string::npos) << "saved first";

  // A new venue never saved: cancelling its Save As keeps the rooms.
  QTest::mouseClick(view.findChild<QPushButton*>("Add1"), Qt::LeftButton);
  dialogs.askAnswers = {true};
  QTest::mouseClick(view.findChild<QPushButton*>("Open1"), Qt::LeftButton);
  EXPECT_EQ(window.rows.size(), 1u);
  EXPECT_EQ(dialogs.questions.size(), 2u);
  EXPECT_TRUE(venue.edited());

  // No: the new room is given up and the file opened.
  dialogs.askAnswers = {false};
  dialogs.fileAnswers = {folder.file("rooms.csv")};
  QTest::mouseClick(view.findChild<QPushButton*>("Open1"), Qt::LeftButton);
  ASSERT_EQ(window.rows.size(), 2u);
  EXPECT_EQ(window.rows[0].room.name, "Bar");
  EXPECT_FALSE(venue.edited());
  EXPECT_TRUE(venue.keepEdits()) << "nothing to ask";
  EXPECT_EQ(dialogs.questions.size(), 3u);
}

}  // namespace
}  // namespace kp
