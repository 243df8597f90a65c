// The main window's view over a program on virtual time: every control is
// there under its model name, sits where the operator expects it, and turns
// operator input into the model's one change path.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QToolBar>
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "link/frames.h"
#include "panel/catalogue.h"
#include "ini/ini.h"
#include "tests/support/rig.h"
#include "ui/graphic_button.h"
#include "ui/main_window.h"
#include "ui/slider_view.h"

namespace kp::test {
namespace {

constexpr const char* kConfig =
    "[config]\r\n"
    "COM=1\r\n"
    "Connect_c_1=A\r\n"
    "Connect_c_2=B\r\n"
    "Connect_c_3=C\r\n"
    "2_c=t2\r\n3_c=t3\r\n4_c=t4\r\n6_c=t6\r\n7_c=t7\r\n8_c=t8\r\n"
    "9_c=t9\r\n10_c=t10\r\n11_c=t11\r\n12_c=t12\r\n";

// gtest_main owns main(), so the application is made on first use and kept
// for the whole run.
void ensureApplication() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "kp_tests_ui";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

class MainWindowTest : public ::testing::Test {
 protected:
  explicit MainWindowTest(bool withPictures = true) {
    ensureApplication();
    rig.config(kConfig);
    if (withPictures) {
      for (const char* name : {"1.JPG", "2.JPG"})
        std::filesystem::copy_file(std::filesystem::path(KP_SOURCE_DIR) / "resources" / name,
                                   rig.folder.path() / name);
    }
    p = &rig.make();
    window = std::make_unique<ui::MainWindow>(p->form4, nullptr);
    p->startUp();
    // The size it opens with on a screen big enough for it; the offscreen
    // screen is smaller than any the panel is used on.
    window->resize(window->sizeHint());
    settle();
    rig.port.clearLog();
  }
  ~MainWindowTest() override { window.reset(); }

  void settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }

  void link(bool fullModel = true) {
    p->state.Full_Model = fullModel;
    p->state.Is_Linked = true;
    p->panel.Is_link_Command();
    rig.port.clearLog();
  }

  template <class W>
  W* find(const QString& name) const {
    return window->findChild<W*>(name);
  }
  QSlider* slider(int n) const { return find<QSlider>(QString("cpvSlider%1").arg(n)); }
  QLabel* label(int n) const { return find<QLabel>(QString("Label%1").arg(n)); }
  ui::GraphicButton* step(int s) const {
    return find<ui::GraphicButton>(QString("Command%1").arg(68 + s));
  }
  // A widget's rectangle in window coordinates.
  QRect place(const QWidget* w) const {
    return QRect(w->mapTo(window.get(), QPoint(0, 0)), w->size());
  }

  std::vector<Bytes> frames() const {
    std::vector<Bytes> out;
    for (const auto& w : rig.port.writes)
      if (w.size() == kFrameSize) out.push_back(w);
    return out;
  }

  static void press(QWidget* w, int key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(w, &up);
  }

  Rig rig;
  Program* p = nullptr;
  std::unique_ptr<ui::MainWindow> window;
};

// ---------------------------------------------------------------------------
// What is there and where it sits.

using MainWindowLayout = MainWindowTest;

TEST_F(MainWindowLayout, EverySliderIsAFocusableVerticalSliderOverItsModelsRange) {
  EXPECT_EQ(window->findChildren<QSlider*>(QRegularExpression("^cpvSlider\\d+$")).size(),
            kSliderCount);
  for (const auto& param : sliderCatalogue()) {
    SCOPED_TRACE("cpvSlider" + std::to_string(param.slider));
    QSlider* s = slider(param.slider);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->orientation(), Qt::Vertical);
    EXPECT_EQ(s->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(s->minimum(), param.min);
    EXPECT_EQ(s->maximum(), std::max(p->form4.cpvSlider(param.slider).upperLimit(),
                                     p->form4.cpvSlider(param.slider).value()));
    EXPECT_EQ(s->value(), p->form4.cpvSlider(param.slider).value());
    EXPECT_TRUE(s->isVisible());
  }
  EXPECT_EQ(slider(33), nullptr);
  EXPECT_EQ(slider(66), nullptr);
}

TEST_F(MainWindowLayout, EachReadoutSitsRightAboveItsOwnSliderAndShowsItsValue) {
  // Distinct values everywhere, so a readout wired to a neighbour would show.
  for (const auto& param : sliderCatalogue()) {
    const int span = param.max - param.min + 1;
    p->form4.cpvSlider(param.slider).setValue(param.min + (param.slider * 7) % span);
  }
  std::vector<QLabel*> readouts;
  for (const auto& param : sliderCatalogue()) readouts.push_back(label(param.label));
  ASSERT_EQ(std::count(readouts.begin(), readouts.end(), nullptr), 0);

  for (const auto& param : sliderCatalogue()) {
    SCOPED_TRACE("cpvSlider" + std::to_string(param.slider));
    const QRect s = place(slider(param.slider));
    // The readout nearest above the slider's centre line is its pair.
    QLabel* nearest = nullptr;
    int best = 1 << 30;
    for (QLabel* r : readouts) {
      const QRect g = place(r);
      if (g.bottom() > s.top() || g.left() > s.center().x() || g.right() < s.center().x()) continue;
      if (s.top() - g.bottom() < best) {
        best = s.top() - g.bottom();
        nearest = r;
      }
    }
    ASSERT_NE(nearest, nullptr);
    EXPECT_EQ(nearest->objectName().toStdString(), "Label" + std::to_string(param.label));
    EXPECT_LT(best, 12);
    const int v = p->form4.cpvSlider(param.slider).value();
    const std::string expected = param.readout == Readout::Signed    ? std::to_string(v)
                                 : param.readout == Readout::Percent ? std::to_string(v) + "%"
                                                                     : std::to_string(2 * v) + "%";
    EXPECT_EQ(nearest->text().toStdString(), expected);
  }
}

TEST_F(MainWindowLayout, ThreeRowsLeftToRightWithEqualBandSpacingAndTheMastersAtTheRight) {
  auto rowOf = [&](std::vector<int> numbers) {
    std::vector<QRect> r;
    for (int n : numbers) r.push_back(place(slider(n)));
    return r;
  };
  std::vector<int> music, mic, bottom;
  for (int k = 1; k <= 32; ++k) music.push_back(k);
  for (int k = 34; k <= 65; ++k) mic.push_back(k);
  for (int k = 67; k <= 78; ++k) bottom.push_back(k);
  for (const auto& row : {rowOf(music), rowOf(mic), rowOf(bottom)}) {
    for (std::size_t i = 1; i < row.size(); ++i) {
      EXPECT_EQ(row[i].top(), row[0].top()) << "slider " << i << " of its row";
      EXPECT_GT(row[i].left(), row[i - 1].right()) << "slider " << i << " of its row";
    }
  }
  const auto m = rowOf(music), c = rowOf(mic), b = rowOf(bottom);
  EXPECT_GT(c[0].top(), m[0].bottom());
  EXPECT_GT(b[0].top(), c[0].bottom());
  // Bands are evenly spaced; the master stands apart at the right end.
  for (const auto* row : {&m, &c}) {
    const int pitch = (*row)[1].center().x() - (*row)[0].center().x();
    for (std::size_t i = 2; i < 31; ++i)
      EXPECT_NEAR((*row)[i].center().x() - (*row)[i - 1].center().x(), pitch, 1) << i;
    EXPECT_GT((*row)[31].center().x() - (*row)[30].center().x(), pitch);
  }
  // Usable faders, not slivers.
  for (const auto& r : m) EXPECT_GE(r.height(), 80);
  for (const auto& r : b) EXPECT_GE(r.height(), 80);
}

TEST_F(MainWindowLayout, GroupCaptionsHeadTheirGroups) {
  auto above = [&](int labelNo, int sliderNo) {
    SCOPED_TRACE("Label" + std::to_string(labelNo));
    QLabel* caption = label(labelNo);
    ASSERT_NE(caption, nullptr);
    const QRect c = place(caption), s = place(slider(sliderNo));
    EXPECT_LT(c.bottom(), s.top());
    EXPECT_LT(s.top() - c.bottom(), 40);
    EXPECT_LE(c.left(), s.right());
  };
  above(1, 1);
  above(2, 34);
  above(6, 67);
  above(5, 73);
  // The step buttons' caption heads their row from the left.
  const QRect key = place(label(4)), first = place(step(1));
  EXPECT_LT(key.right(), first.left());
  EXPECT_TRUE(key.top() < first.bottom() && key.bottom() > first.top());
}

TEST_F(MainWindowLayout, CaptionButtonsStandUnderTheLevelSliders) {
  const char* captions[] = {"L",   "R",   "SL",   "SR",      "C",       "SUB",
                            "REP", "DEL", "ECHO", "REV VOL", "REV DEL", "MASTER"};
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE(captions[i]);
    auto* b = find<QPushButton>(QString("Command%1").arg(84 + i));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->text(), QString(captions[i]));
    EXPECT_EQ(p->form4.Command(84 + i).caption(), captions[i]);
    const QRect g = place(b), s = place(slider(67 + i));
    EXPECT_GT(g.top(), s.bottom());
    EXPECT_LT(g.top() - s.bottom(), 12);
    EXPECT_NEAR(g.center().x(), s.center().x(), 2);
    // The whole caption is readable.
    EXPECT_GE(g.width(), b->fontMetrics().horizontalAdvance(b->text()));
  }
}

TEST_F(MainWindowLayout, StepRowWithTheMusicPairAtItsRightAndTheMicPairAboveTheLevels) {
  const char* captions[] = {"b7", "b6", "b5", "b4", "b3", "b2", "b1", "",
                            "#1", "#2", "#3", "#4", "#5", "#6", "#7"};
  for (int s = 1; s <= 15; ++s) {
    SCOPED_TRACE("step " + std::to_string(s));
    ASSERT_NE(step(s), nullptr);
    EXPECT_EQ(step(s)->text(), QString(captions[s - 1]));
    if (s > 1) {
      EXPECT_GT(place(step(s)).left(), place(step(s - 1)).right());
      EXPECT_EQ(place(step(s)).top(), place(step(1)).top());
    }
  }
  const QRect steps = place(step(1)).united(place(step(15)));
  EXPECT_GT(steps.top(), place(slider(1)).bottom());
  EXPECT_LT(steps.bottom(), place(slider(34)).top());

  const QRect save = place(find<QWidget>("Command67")), reset = place(find<QWidget>("Command68"));
  EXPECT_GT(save.left(), steps.right());
  EXPECT_GT(reset.left(), save.right());
  EXPECT_TRUE(save.top() < steps.bottom() && save.bottom() > steps.top());

  const QRect micSave = place(find<QWidget>("Command143"));
  const QRect micReset = place(find<QWidget>("Command144"));
  EXPECT_GT(micSave.top(), place(slider(64)).bottom());
  EXPECT_LT(micSave.bottom(), place(label(71)).top());
  EXPECT_GT(micReset.left(), micSave.right());
  EXPECT_GT(micSave.left(), window->width() / 2);
  EXPECT_NE(find<QComboBox>("Combo1"), nullptr);
  EXPECT_NE(find<QComboBox>("Combo2"), nullptr);
}

TEST_F(MainWindowLayout, WholeWindowFitsALaptopScreen) {
  const QSize hint = window->sizeHint();
  EXPECT_LE(hint.width(), 1366);
  EXPECT_LE(hint.height(), 740);
  const QSize least = window->minimumSizeHint();
  EXPECT_LE(least.width(), 1366);
  EXPECT_LE(least.height(), 740);
  // At the size it opens with, nothing is cut off.
  const QWidget* area = find<QWidget>("panelArea");
  ASSERT_NE(area, nullptr);
  EXPECT_GE(area->width(), area->minimumSizeHint().width());
  EXPECT_GE(area->height(), area->minimumSizeHint().height());
  for (const char* name : {"cpvSlider32", "cpvSlider65", "Command68", "Command144", "Label3"})
    EXPECT_TRUE(window->rect().contains(place(find<QWidget>(name)))) << name;
}

// ---------------------------------------------------------------------------
// Operator input and values from code.

using SliderInput = MainWindowTest;

TEST_F(SliderInput, ArrowAndPageKeysOnAFocusedSliderGoThroughTheModelAndOutWhenLinked) {
  link();
  QSlider* band = slider(1);
  band->setFocus();
  press(band, Qt::Key_Down);
  EXPECT_EQ(p->form4.cpvSlider(1).value(), -1);
  EXPECT_EQ(label(7)->text(), "-1");
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(45, 14)});

  press(band, Qt::Key_PageUp);
  const int afterPage = p->form4.cpvSlider(1).value();
  EXPECT_GT(afterPage, 0);
  EXPECT_EQ(band->value(), afterPage);
  EXPECT_EQ(label(7)->text().toStdString(), std::to_string(afterPage));
  ASSERT_EQ(frames().size(), 2u);
  EXPECT_EQ(frames()[1], commandFrame(45, static_cast<std::uint8_t>(afterPage + 15)));
}

TEST_F(SliderInput, UnlinkedTheReadoutFollowsAndNothingIsSent) {
  QSlider* band = slider(64);
  press(band, Qt::Key_Up);
  press(band, Qt::Key_Up);
  EXPECT_EQ(p->form4.cpvSlider(64).value(), 2);
  EXPECT_EQ(label(55)->text(), "2");
  EXPECT_TRUE(frames().empty());
}

TEST_F(SliderInput, ADragOfTheLevelSlidersSendsTheirValues) {
  link();
  p->form4.cpvSlider(kMusicMaster).setUpperLimit(100);
  slider(67)->setValue(50);  // what a drag to the top does
  slider(78)->setValue(40);
  slider(32)->setValue(100);
  EXPECT_EQ(label(71)->text(), "100%");
  EXPECT_EQ(label(81)->text(), "40%");
  EXPECT_EQ(label(24)->text(), "100%");
  EXPECT_EQ(frames(),
            (std::vector<Bytes>{commandFrame(88, 50), commandFrame(76, 40), commandFrame(6, 100)}));
}

TEST_F(SliderInput, ADisabledSurroundSliderIgnoresTheOperator) {
  link(/*fullModel=*/false);
  QSlider* left = slider(67);
  const int before = p->form4.cpvSlider(67).value();
  EXPECT_FALSE(left->isEnabled());
  press(left, Qt::Key_Up);
  EXPECT_EQ(p->form4.cpvSlider(67).value(), before);
  EXPECT_TRUE(frames().empty());
  EXPECT_FALSE(label(6)->isEnabled());
  p->panel.Is_unlink_Command();
  EXPECT_TRUE(left->isEnabled());
  EXPECT_TRUE(label(6)->isEnabled());
}

TEST_F(SliderInput, TabWalksTheFadersInReadingOrderAndSkipsTheCaptionButtons) {
  auto nextStop = [](QWidget* w) {
    do {
      w = w->nextInFocusChain();
    } while ((w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus || !w->isVisible());
    return w;
  };
  for (int n = 1; n < 32; ++n)
    EXPECT_EQ(nextStop(slider(n)), slider(n + 1)) << "after cpvSlider" << n;
  for (int n = 34; n < 65; ++n)
    EXPECT_EQ(nextStop(slider(n)), slider(n + 1)) << "after cpvSlider" << n;
  for (int n = 67; n < 78; ++n)
    EXPECT_EQ(nextStop(slider(n)), slider(n + 1)) << "after cpvSlider" << n;
  for (int i = 84; i <= 95; ++i)
    EXPECT_EQ(find<QWidget>(QString("Command%1").arg(i))->focusPolicy(), Qt::NoFocus);
}

TEST_F(SliderInput, TheMusicResetButtonFlattensTheBandsOnScreen) {
  p->form4.cpvSlider(1).setValue(5);
  p->form4.cpvSlider(31).setValue(-4);
  p->form4.cpvSlider(kMusicMaster).setValue(30);
  auto* reset = find<QPushButton>("Command68");
  ASSERT_TRUE(reset->isEnabled());
  reset->click();
  EXPECT_EQ(slider(1)->value(), 0);
  EXPECT_EQ(slider(31)->value(), 0);
  EXPECT_EQ(label(7)->text(), "0");
  EXPECT_EQ(label(23)->text(), "0");
  EXPECT_EQ(slider(kMusicMaster)->value(), 30);  // the master is not part of it
  EXPECT_TRUE(frames().empty());
}

TEST_F(SliderInput, AValueFromCodeMovesTheWidgetWithoutAnEcho) {
  link();
  Slider& master = p->form4.cpvSlider(kMicMaster);
  master.setUpperLimit(60);
  EXPECT_EQ(slider(kMicMaster)->maximum(), 60);
  // Code may go above the operator's limit; the view must not pull it back.
  ASSERT_TRUE(master.setValue(90));
  EXPECT_EQ(slider(kMicMaster)->value(), 90);
  EXPECT_EQ(master.value(), 90);
  EXPECT_EQ(label(70)->text(), "90%");
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(5, 90)});

  rig.port.clearLog();
  ASSERT_TRUE(p->form4.cpvSlider(5).setValue(-7));
  EXPECT_EQ(slider(5)->value(), -7);
  EXPECT_EQ(label(12)->text(), "-7");
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(49, 8)});
}

// ---------------------------------------------------------------------------
// Step buttons.

using StepButtonView = MainWindowTest;

TEST(ModelColour, WindowsColoursAndTheButtonFace) {
  QPalette palette;
  palette.setColor(QPalette::Button, QColor(10, 20, 30));
  EXPECT_EQ(ui::modelColour(255, palette), QColor(255, 0, 0));
  EXPECT_EQ(ui::modelColour(65280, palette), QColor(0, 255, 0));
  EXPECT_EQ(ui::modelColour(0xFF0000, palette), QColor(0, 0, 255));
  EXPECT_EQ(ui::modelColour(0x336699, palette), QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(ui::modelColour(Button::kButtonFace, palette), QColor(10, 20, 30));
}

TEST_F(StepButtonView, AClickMarksTheStepInForceInColourAndOnScreen) {
  link();
  ASSERT_TRUE(step(1)->isEnabled());
  step(1)->click();
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(87, 1)});
  const QColor face = window->palette().color(QPalette::Button);
  EXPECT_EQ(step(1)->faceColour(), QColor(255, 0, 0));
  for (int s = 2; s <= 15; ++s)
    if (s != 8) {
      EXPECT_EQ(step(s)->faceColour(), face) << "step " << s;
    }
  // The colour is what is drawn, not only what is kept.
  const QImage red = step(1)->grab().toImage();
  EXPECT_EQ(red.pixelColor(4, red.height() / 2), QColor(255, 0, 0));
  const QImage plain = step(2)->grab().toImage();
  EXPECT_EQ(plain.pixelColor(4, plain.height() / 2), face);

  step(8)->click();
  EXPECT_EQ(step(8)->faceColour(), QColor(0, 255, 0));
  EXPECT_TRUE(step(8)->hasPicture());
  EXPECT_EQ(step(8)->picturePath().toStdString(), rig.folder.file("2.JPG"));
  EXPECT_EQ(step(1)->faceColour(), face);

  step(15)->click();
  EXPECT_EQ(step(15)->faceColour(), QColor(255, 0, 0));
  EXPECT_EQ(step(8)->picturePath().toStdString(), rig.folder.file("1.JPG"));
  EXPECT_TRUE(step(8)->hasPicture());
  EXPECT_EQ(frames(),
            (std::vector<Bytes>{commandFrame(87, 1), commandFrame(87, 8), commandFrame(87, 15)}));
}

TEST_F(StepButtonView, UnlinkedTheStepButtonsTakeNoClick) {
  for (int s = 1; s <= 15; ++s) EXPECT_FALSE(step(s)->isEnabled()) << s;
  step(3)->click();
  EXPECT_EQ(p->form4.Command(71).backColor(), Button::kButtonFace);
  EXPECT_TRUE(frames().empty());
}

class StepButtonWithoutPictures : public MainWindowTest {
 protected:
  StepButtonWithoutPictures() : MainWindowTest(/*withPictures=*/false) {}
};

TEST_F(StepButtonWithoutPictures, MissingPicturesLeaveTheCentreBareButStillMarked) {
  link();
  step(8)->click();
  EXPECT_FALSE(step(8)->hasPicture());
  EXPECT_EQ(step(8)->faceColour(), QColor(0, 255, 0));
  const QImage centre = step(8)->grab().toImage();
  EXPECT_EQ(centre.pixelColor(centre.width() / 2, centre.height() / 2), QColor(0, 255, 0));
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(87, 8)});
}

// ---------------------------------------------------------------------------
// Toolbar and status.

using ToolbarView = MainWindowTest;

TEST_F(ToolbarView, TenButtonsWithTheirTooltipsAndPicturesOfTheirOwn) {
  // Each button shows the text of the menu item it stands for.
  const char* tips[] = {"t2", "t3", "t6", "t7", "t8", "t11", "t9", "t10", "t12", "t4"};
  auto* bar = find<QToolBar>("Toolbar1");
  ASSERT_NE(bar, nullptr);
  std::vector<QImage> pictures;
  for (int i = 1; i <= 10; ++i) {
    SCOPED_TRACE("Toolbar1_" + std::to_string(i));
    auto* a = find<QAction>(QString("Toolbar1_%1").arg(i));
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(bar->actions().contains(a));
    EXPECT_EQ(a->toolTip(), QString::fromUtf8(tips[i - 1]));
    ASSERT_FALSE(a->icon().isNull());
    const QImage img = a->icon().pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32);
    int inked = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) inked += qAlpha(img.pixel(x, y)) > 0;
    EXPECT_GT(inked, 40);
    pictures.push_back(img);
  }
  for (std::size_t i = 0; i < pictures.size(); ++i)
    for (std::size_t j = i + 1; j < pictures.size(); ++j)
      EXPECT_NE(pictures[i], pictures[j]) << "buttons " << i + 1 << " and " << j + 1;
  // Sharp on a HiDPI screen: drawn at the device's pixel count.
  const QPixmap hidpi = find<QAction>("Toolbar1_1")->icon().pixmap(QSize(24, 24), 2.0);
  EXPECT_EQ(hidpi.size(), QSize(48, 48));
}

TEST_F(ToolbarView, AButtonRunsTheItemItStandsFor) {
  EXPECT_FALSE(p->form2.visible());
  find<QAction>("Toolbar1_5")->trigger();
  EXPECT_TRUE(p->form2.visible());
}

// Rooms added in the Rooms window and never saved: opening the window again
// leaves them (the last rooms file is not opened over them); closing asks,
// and a Save As cancelled keeps the panel open.
TEST_F(ToolbarView, RoomsNotSavedAreKeptAndClosingAsksFirst) {
  rig.folder.write("rooms.csv", "room,port\nA,COM3\nB,COM4\n");
  Write_Ini("config", "Rooms_File", rig.folder.file("rooms.csv"), p->state.configPath());
  p->roomsWindow.Add1.onClick();
  p->form4.rooms1.onClick();
  EXPECT_EQ(p->roomsWindow.rows.size(), 1u);
  rig.dialogs.askAnswers = {true};
  EXPECT_FALSE(window->close());
  EXPECT_EQ(rig.dialogs.questions.size(), 1u);
  rig.dialogs.askAnswers = {false};
  EXPECT_TRUE(window->close());
}

using StatusView = MainWindowTest;

TEST_F(StatusView, TheStatusLabelShowsTheLinkStateOnFourLines) {
  QLabel* status = label(3);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->textFormat(), Qt::PlainText);
  EXPECT_EQ(status->text(), "\nA\n\nC");
  link();
  EXPECT_EQ(status->text(), "\nA\n\nB");
  // Every line fits: the label is tall enough for four lines of its font.
  EXPECT_GE(status->height(), 4 * status->fontMetrics().lineSpacing());
}

// What a screen reader or UI automation hears: a name of its own for every
// slider, readout and button, in the current language.
TEST_F(StatusView, EverySliderReadoutAndButtonHasAnAccessibleNameOfItsOwn) {
  rig.config(std::string(kConfig) + "Name_c_1=m %1\r\nName_c_2=k %1\r\nName_c_3=%1 r\r\n" +
             "Name_c_4=s %1\r\nName_c_5=n\r\nName_c_6=save\r\nName_c_7=reset\r\n" +
             "Name_c_8=mode\r\nName_c_10=compare\r\n");
  p->language.Set_Extra_Language();
  settle();
  auto heard = [](QObject* o) {
    return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
  };
  QStringList all;
  for (QSlider* s : window->findChildren<QSlider*>()) all << heard(s);
  for (const auto& sp : sliderCatalogue()) all << heard(label(sp.label));
  for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
    // The caption under a level slider repeats the slider's name.
    const int n = b->objectName().mid(7).toInt();
    if (n >= 84 && n <= 95)
      EXPECT_EQ(heard(b), heard(slider(n - 84 + kFirstSurround)));
    else if (b->isVisible())
      all << heard(b);
  }
  EXPECT_EQ(all.size(), 76 * 2 + 15 + 6 + 10);
  EXPECT_FALSE(all.contains(QString()));
  EXPECT_EQ(all.removeDuplicates(), 0) << all.join(", ").toStdString();
  EXPECT_EQ(heard(slider(19)), "m 1.25k");
  EXPECT_EQ(heard(label(sliderParam(kMicMaster)->label)), "k MASTER r");
  EXPECT_EQ(heard(step(8)), "s n");
  EXPECT_EQ(heard(find<QPushButton>("micCompare")), "k compare");
  // The mode lists are named, not read out by the mode they show.
  EXPECT_EQ(heard(find<QComboBox>("Combo1")), "m mode");
  EXPECT_EQ(heard(find<QComboBox>("Combo2")), "k mode");
}

TEST_F(StatusView, TheWorkBarShowsOnlyWhileWorkRunsAndLongNamesNeverWidenTheWindow) {
  auto* bar = find<QProgressBar>("workBar");
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(bar->isVisible());
  p->form4.workBar.setVisible(true);
  p->form4.fileName.setCaption(std::string(200, 'x') + ".dat");
  p->form4.workText.setCaption(std::string(200, 'y') + ".dat");
  settle();
  EXPECT_TRUE(window->rect().contains(place(bar)));
  EXPECT_LE(window->minimumSizeHint().width(), 1366);
  EXPECT_LE(window->sizeHint().width(), 1366);
}

}  // namespace
}  // namespace kp::test
