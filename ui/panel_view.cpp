#include "ui/panel_view.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "forms/form4.h"
#include "panel/catalogue.h"
#include "panel/panel.h"
#include "ui/bindings.h"
#include "ui/graphic_button.h"
#include "ui/panel_style.h"
#include "ui/slider_view.h"

namespace kp::ui {

namespace {

constexpr int kSteps = 15;
constexpr int kFirstCaptionButton = 84;  // Command84..95 under sliders 67..78
const char* const kStepCaptions[kSteps] = {"b7", "b6", "b5", "b4", "b3", "b2", "b1", "",
                                           "#1", "#2", "#3", "#4", "#5", "#6", "#7"};
const char* const kLevelCaptions[12] = {"L",   "R",   "SL",   "SR",      "C",       "SUB",
                                        "REP", "DEL", "ECHO", "REV VOL", "REV DEL", "MASTER"};

QFont scaledFont(const QFont& base, double factor, bool bold = false) {
  QFont f = base;
  f.setPointSizeF(base.pointSizeF() * factor);
  f.setBold(bold);
  return f;
}

// A framed area in the section colour.
QFrame* sectionFrame(const char* name, QWidget* parent) {
  auto* f = new QFrame(parent);
  f->setObjectName(name);
  f->setFrameShape(QFrame::StyledPanel);
  QPalette pal = f->palette();
  pal.setColor(QPalette::Window, colours::kSection);
  f->setPalette(pal);
  f->setAutoFillBackground(true);
  return f;
}

// The caption of a group, with a bar in the channel's colour before it.
QHBoxLayout* captionRow(kp::Label& model, const char* name, QColor accent, QWidget* parent) {
  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  auto* bar = new QFrame(parent);
  bar->setFixedSize(4, 14);
  QPalette pal = bar->palette();
  pal.setColor(QPalette::Window, accent);
  bar->setPalette(pal);
  bar->setAutoFillBackground(true);
  row->addWidget(bar);
  auto* caption = new QLabel(parent);
  caption->setObjectName(name);
  caption->setFont(scaledFont(parent->font(), 1.0, true));
  bind(model, caption);
  row->addWidget(caption);
  return row;
}

QLabel* readout(kp::Label& model, int number, QColor accent, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString("Label%1").arg(number));
  l->setTextFormat(Qt::PlainText);
  l->setAlignment(Qt::AlignCenter);
  l->setFrameShape(QFrame::Panel);
  l->setFrameShadow(QFrame::Sunken);
  QFont f("DejaVu Sans Mono");
  f.setStyleHint(QFont::Monospace);
  f.setPointSizeF(parent->font().pointSizeF() * 0.85);
  l->setFont(f);
  QPalette pal = l->palette();
  pal.setColor(QPalette::Window, colours::kDisplay);
  pal.setColor(QPalette::WindowText, accent.lighter(125));
  l->setPalette(pal);
  l->setAutoFillBackground(true);
  // Equal columns whatever the text: the readout never widens its column.
  l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  l->setMinimumWidth(18);
  bind(model, l);
  return l;
}

QLabel* scaleText(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  l->setFont(scaledFont(parent->font(), 0.78));
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, colours::kDimText);
  l->setPalette(pal);
  l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  return l;
}

SliderView* slider(Form4& f, int number, QColor accent, QWidget* parent) {
  const SliderParam* p = sliderParam(number);
  const bool band = p && p->encoding == Encoding::Band;
  const int span = p ? p->max - p->min : 100;
  auto* s = new SliderView(band ? SliderView::Scale::Centre : SliderView::Scale::Level, accent,
                           band ? 5 : span / 10, parent);
  s->setObjectName(QString("cpvSlider%1").arg(number));
  s->setSingleStep(1);
  s->setPageStep(band ? 3 : span / 10);
  bind(f.cpvSlider(number), s);
  return s;
}

QPushButton* sectionButton(Button& model, int number, QWidget* parent) {
  auto* b = new QPushButton(parent);
  b->setObjectName(QString("Command%1").arg(number));
  b->setMinimumWidth(76);
  b->setAutoDefault(false);
  bind(model, b);
  return b;
}

// Down while the section's reference is heard, ringed in the colour of the
// marks; its caption says which of the two is heard.
class CompareButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPushButton::paintEvent(e);
    if (!isChecked()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colours::kMark, 2));
    p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
  }
};

QPushButton* compareButton(ToggleButton& model, const char* name, QWidget* parent) {
  auto* b = new CompareButton(parent);
  b->setObjectName(name);
  b->setMinimumWidth(110);
  b->setAutoDefault(false);
  bind(model, b);
  return b;
}

// How many bands differ from the reference, beside the section's caption.
QLabel* changesLabel(kp::Label& model, const char* name, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, colours::kMark);
  l->setPalette(pal);
  bind(model, l);
  return l;
}

}  // namespace

PanelView::PanelView(Form4& form, QWidget* parent) : QWidget(parent), f_(form) {
  // Captions that are the same in every language.
  for (int s = 1; s <= kSteps; ++s) {
    Button& b = f_.Command(Panel::kFirstStepButton + s - 1);
    if (b.caption().empty()) b.setCaption(kStepCaptions[s - 1]);
  }
  for (int i = 0; i < 12; ++i) {
    Button& b = f_.Command(kFirstCaptionButton + i);
    if (b.caption().empty()) b.setCaption(kLevelCaptions[i]);
  }

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(6);
  layout->addWidget(equaliserSection(true), 1);
  layout->addWidget(equaliserSection(false), 1);
  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(6);
  bottom->addWidget(levelSection(true), 6);
  bottom->addWidget(levelSection(false), 7);
  bottom->addWidget(statusSection(), 3);
  layout->addLayout(bottom, 1);
}

QWidget* PanelView::equaliserSection(bool music) {
  const QColor accent = music ? colours::kMusic : colours::kMic;
  auto* frame = sectionFrame(music ? "musicSection" : "micSection", this);
  auto* v = new QVBoxLayout(frame);
  v->setContentsMargins(8, 5, 8, 5);
  v->setSpacing(3);

  auto* header = captionRow(f_.Label(music ? 1 : 2), music ? "Label1" : "Label2", accent, frame);
  header->addSpacing(12);
  auto* mode = new QComboBox(frame);
  mode->setObjectName(music ? "Combo1" : "Combo2");
  mode->setMinimumWidth(110);
  mode->setFocusPolicy(Qt::StrongFocus);
  bind(music ? f_.Combo1 : f_.Combo2, mode);
  header->addWidget(mode);
  header->addSpacing(12);
  header->addWidget(changesLabel(music ? f_.musicChanges : f_.micChanges,
                                 music ? "musicChanges" : "micChanges", frame));
  header->addStretch(1);
  v->addLayout(header);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(2);
  grid->setVerticalSpacing(2);
  SliderView* firstBand = nullptr;
  for (int k = 1; k <= 31; ++k) {
    const int n = music ? musicBandSlider(k) : micBandSlider(k);
    const SliderParam* p = sliderParam(n);
    auto* band = slider(f_, n, accent, frame);
    if (k == 1) firstBand = band;
    grid->addWidget(readout(f_.Label(p->label), p->label, accent, frame), 0, k);
    grid->addWidget(band, 1, k);
    grid->addWidget(scaleText(kp::bandFrequency(k), frame), 2, k);
    grid->setColumnStretch(k, 1);
  }
  grid->addWidget(new ScaleView(firstBand, frame), 1, 0);
  auto* line = new QFrame(frame);
  line->setFrameShape(QFrame::VLine);
  line->setFrameShadow(QFrame::Sunken);
  grid->addWidget(line, 0, 32, 3, 1);
  const int master = music ? kMusicMaster : kMicMaster;
  const SliderParam* mp = sliderParam(master);
  grid->addWidget(readout(f_.Label(mp->label), mp->label, accent, frame), 0, 33);
  grid->addWidget(slider(f_, master, accent, frame), 1, 33);
  grid->addWidget(scaleText("MASTER", frame), 2, 33);
  grid->setColumnStretch(33, 2);
  grid->setRowStretch(1, 1);
  v->addLayout(grid, 1);

  auto* footer = new QHBoxLayout;
  footer->setSpacing(4);
  if (music) {
    footer->addStretch(1);
    auto* caption = new QLabel(frame);
    caption->setObjectName("Label4");
    caption->setFont(scaledFont(font(), 1.0, true));
    bind(f_.Label(4), caption);
    footer->addWidget(caption);
    footer->addSpacing(6);
    for (int s = 1; s <= kSteps; ++s) {
      const int number = Panel::kFirstStepButton + s - 1;
      auto* b = new GraphicButton(frame);
      b->setObjectName(QString("Command%1").arg(number));
      b->setMinimumWidth(34);
      bind(f_.Command(number), b);
      footer->addWidget(b);
      if (s == 7 || s == 8) footer->addSpacing(4);
    }
    footer->addStretch(1);
    footer->addWidget(compareButton(f_.musicCompare, "musicCompare", frame));
    footer->addWidget(sectionButton(f_.Command(67), 67, frame));
    footer->addWidget(sectionButton(f_.Command(68), 68, frame));
  } else {
    footer->addStretch(1);
    footer->addWidget(compareButton(f_.micCompare, "micCompare", frame));
    footer->addWidget(sectionButton(f_.Command(143), 143, frame));
    footer->addWidget(sectionButton(f_.Command(144), 144, frame));
  }
  v->addLayout(footer);
  return frame;
}

QWidget* PanelView::levelSection(bool surround) {
  const QColor accent = surround ? colours::kOutput : colours::kMic;
  auto* frame = sectionFrame(surround ? "surroundSection" : "effectSection", this);
  auto* v = new QVBoxLayout(frame);
  v->setContentsMargins(8, 5, 8, 5);
  v->setSpacing(3);
  auto* header =
      captionRow(f_.Label(surround ? 6 : 5), surround ? "Label6" : "Label5", accent, frame);
  header->addStretch(1);
  v->addLayout(header);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  const int first = surround ? kFirstSurround : kFirstEffect;
  for (int i = 0; i < 6; ++i) {
    const int n = first + i;
    const SliderParam* p = sliderParam(n);
    grid->addWidget(readout(f_.Label(p->label), p->label, accent, frame), 0, i);
    grid->addWidget(slider(f_, n, accent, frame), 1, i);
    const int number = kFirstCaptionButton + (n - kFirstSurround);
    auto* caption = new QPushButton(frame);
    caption->setObjectName(QString("Command%1").arg(number));
    caption->setFocusPolicy(Qt::NoFocus);  // it has no action of its own
    caption->setAutoDefault(false);
    caption->setFont(scaledFont(font(), 0.85));
    caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    caption->setMinimumWidth(caption->fontMetrics().horizontalAdvance("REV VOL") + 10);
    bind(f_.Command(number), caption);
    grid->addWidget(caption, 2, i);
    grid->setColumnStretch(i, 1);
  }
  grid->setRowStretch(1, 1);
  v->addLayout(grid, 1);
  return frame;
}

QWidget* PanelView::statusSection() {
  auto* frame = sectionFrame("statusSection", this);
  auto* v = new QVBoxLayout(frame);
  v->setContentsMargins(12, 6, 12, 8);
  auto* status = new QLabel(frame);
  status->setObjectName("Label3");
  status->setTextFormat(Qt::PlainText);
  status->setWordWrap(true);
  status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  status->setFont(scaledFont(font(), 1.2));
  status->setMinimumWidth(160);
  bind(f_.Label(3), status);
  v->addWidget(status, 1);

  // The current preset file, then the progress and outcome of long work.
  // A long file name wraps or is cut, but never widens the window.
  auto* file = new QLabel(frame);
  file->setObjectName("fileName");
  file->setTextFormat(Qt::PlainText);
  file->setWordWrap(true);
  file->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bind(f_.fileName, file);
  v->addWidget(file);
  auto* work = new QLabel(frame);
  work->setObjectName("workText");
  work->setTextFormat(Qt::PlainText);
  work->setWordWrap(true);
  work->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  work->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Room for two lines, so the panel does not jump when work starts.
  work->setMinimumHeight(2 * work->fontMetrics().lineSpacing());
  bind(f_.workText, work);
  v->addWidget(work);
  auto* bar = new QProgressBar(frame);
  bar->setObjectName("workBar");
  bar->setTextVisible(true);
  bind(f_.workBar, bar);
  v->addWidget(bar);
  return frame;
}

}  // namespace kp::ui
