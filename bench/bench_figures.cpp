// The panel's figures in one table: start-up to the first painted window and
// the memory it holds then and once linked, the link with the long dump, a
// linked preset load (unpaced, paced, and paced with the unit's messages in
// pieces), the same through ser2net on loopback as a device server (RFC
// 2217 and raw TCP) beside the pseudo-terminal, what a turn of
// the line costs the test rig alone, the CPU a silent wait costs, the
// slider latency and the time of one equaliser proposal.
// Everything runs through Qt (offscreen) and karaoke-unit-sim on a
// pseudo-terminal. It prints; it never fails. With --ser2net it prints only
// the rows that the ser2net rows stand beside, and those.
#include <QApplication>
#include <QEvent>
#include <QStyleFactory>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "bench/bench_eq.h"
#include "bench/bench_wait.h"
#include "ui/connect_dialog.h"
#include "ui/main_window.h"
#include "ui/panel_style.h"
#include "ui/password_dialog.h"
#include "ui/port_dialog.h"
#include "ui/save_slot_dialog.h"
#include "ui/settings_dialog.h"

namespace {

using kp::bench::QtPanel;
using kp::bench::Route;

struct Row {
  std::string what, value, reference;
};
std::vector<Row> rows;

std::string fmt(const char* f, double a) {
  char buf[96];
  std::snprintf(buf, sizeof buf, f, a);
  return buf;
}
std::string fmt(const char* f, double a, double b) {
  char buf[96];
  std::snprintf(buf, sizeof buf, f, a, b);
  return buf;
}

// Notes the first paint of the window or any widget inside it.
class FirstPaint : public QObject {
 public:
  explicit FirstPaint(QWidget* window) : window_(window) {}
  bool seen = false;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (!seen && e->type() == QEvent::Paint && o->isWidgetType()) {
      auto* w = static_cast<QWidget*>(o);
      if (w == window_ || window_->isAncestorOf(w)) seen = true;
    }
    return false;
  }

 private:
  QWidget* window_;
};

// The program as the shipped main builds it, timed from the program's
// construction until the main window's first paint; then its resident
// memory, and again once linked to the unit.
void startUpAndMemory() {
  QtPanel panel(5, {});
  const long before = kp::bench::residentKiB();
  const auto t0 = std::chrono::steady_clock::now();
  panel.program = std::make_unique<kp::Program>(panel.platform, panel.folder.str());
  kp::Program& p = *panel.program;
  kp::ui::MainWindow window(p.form4);
  const QString folder = QString::fromStdString(panel.folder.str());
  kp::ui::PortDialog portDialog(p.form2, folder, &window);
  kp::ui::ConnectDialog connectDialog(p.form1, &window);
  kp::ui::SettingsDialog settingsDialog(p.form3, &window);
  kp::ui::PasswordDialog passwordDialog(p.form5, &window);
  kp::ui::SaveSlotDialog saveSlotDialog(p.form6, &window);
  // The views go before the program: it must close while they still exist.
  struct CloseFirst {
    kp::Program& p;
    ~CloseFirst() { p.shutDown(); }
  } closeFirst{p};
  FirstPaint paint(&window);
  qApp->installEventFilter(&paint);
  p.startUp();  // shows the main window
  const bool painted = kp::bench::runUntil(
      panel.pump, panel.clock, [&] { return paint.seen; }, 10000);
  const double startS = kp::bench::secondsSince(t0);
  qApp->removeEventFilter(&paint);
  const long afterStart = kp::bench::residentKiB();
  rows.push_back({"start-up to the first painted main window",
                  painted ? fmt("%.1f ms", startS * 1e3) : "NOT PAINTED",
                  "Program + MainWindow + dialogs + startUp, QApplication already up"});
  rows.push_back({"resident memory after start-up", fmt("%.1f MiB", afterStart / 1024.0),
                  fmt("%.1f MiB before the program was built", before / 1024.0)});

  if (!panel.simReady()) {
    rows.push_back({"resident memory once linked", "no karaoke-unit-sim", ""});
    return;
  }
  panel.clickConnect(4);
  const bool linked = panel.waitLinked(30000);
  kp::bench::runUntil(
      panel.pump, panel.clock, [] { return false; }, 200);  // redraws settle
  const long afterLink = kp::bench::residentKiB();
  rows.push_back({"resident memory once linked (long dump)",
                  linked ? fmt("%.1f MiB", afterLink / 1024.0) : "NO LINK",
                  fmt("%+.1f MiB over start-up", (afterLink - afterStart) / 1024.0)});
}

// How the simulator speaks: as fast as it can, at the line's speed with
// whole messages, or at the line's speed with each message in pieces, as a
// device server reads them off a real serial port.
enum Pace { Unpaced, Paced, InPieces, kPaces };
const char* const kPaceName[kPaces] = {"unpaced", "paced 28800 baud",
                                       "paced 28800 baud, in pieces"};
const char* const kPaceShort[kPaces] = {"unpaced", "paced", "paced in pieces"};

// The median of three links, each with a simulator of its own.
kp::bench::LinkFigures medianLink(Pace pace, Route route) {
  std::vector<kp::bench::LinkFigures> links;
  for (int i = 0; i < 3; ++i)
    links.push_back(kp::bench::measureLink(pace != Unpaced, 7, route, pace == InPieces));
  std::sort(links.begin(), links.end(), [](const auto& a, const auto& b) {
    return a.linked != b.linked ? a.linked : a.wallS < b.wallS;
  });
  return links[1];
}

// The median of five loads on one link; done false with the reason in *why
// when none could run.
kp::bench::LoadFigures medianLoad(Pace pace, Route route, std::string* why, bool* allDone,
                                  bool* anyMessage) {
  const auto loads =
      kp::bench::measurePresetLoad(pace != Unpaced, 5, why, 9, route, pace == InPieces);
  if (loads.empty()) return {};
  std::vector<kp::bench::LoadFigures> sorted = loads;
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return a.wallS < b.wallS; });
  *allDone = true;
  *anyMessage = false;
  for (const auto& l : loads) {
    *allDone = *allDone && l.done;
    *anyMessage = *anyMessage || l.messageShown;
  }
  return sorted[sorted.size() / 2];
}

kp::bench::LinkFigures ptyLink[kPaces];
kp::bench::LoadFigures ptyLoad[kPaces];

void link(Pace pace) {
  const auto f = medianLink(pace, Route::Pty);
  ptyLink[pace] = f;
  const std::string what = std::string("link, long dump, ") + kPaceName[pace] + " (median of 3)";
  if (!f.linked) {
    rows.push_back({what, "NO LINK", ""});
    return;
  }
  rows.push_back(
      {what, fmt("%.1f ms", f.wallS * 1e3),
       fmt("wire floor %.1f ms both ways, %.3fx of it", f.floorS() * 1e3, f.wallS / f.floorS()) +
           (pace != Unpaced ? fmt(", %+.0f us a turn", f.usPerExchange()) : "") +
           fmt("; CPU %.1f ms", f.cpuS * 1e3) + " (" + std::to_string(f.out) + " B out, " +
           std::to_string(f.in) + " B in)"});
}

void presetLoad(Pace pace) {
  std::string why;
  bool allDone = false, anyMessage = false;
  const auto m = medianLoad(pace, Route::Pty, &why, &allDone, &anyMessage);
  ptyLoad[pace] = m;
  const std::string what = std::string("linked load of Pro.dat, ") + kPaceName[pace];
  if (!why.empty()) {
    rows.push_back({what, why, ""});
    return;
  }
  rows.push_back(
      {what + " (median of 5)", fmt("%.1f ms", m.wallS * 1e3),
       fmt("floor %.1f ms both ways, %.3fx of it", m.floorS() * 1e3, m.wallS / m.floorS()) +
           (pace != Unpaced ? fmt(", %+.0f us a turn", m.usPerExchange()) : "") +
           fmt("; CPU %.1f ms", m.cpuS * 1e3) + (allDone ? "" : "; LINK LOST") +
           (anyMessage ? "; A MESSAGE WAS SHOWN" : "")});
}

// The same link and load through ser2net on loopback, beside the
// pseudo-terminal's figures of this run.
void throughSer2net(Route route) {
  const std::string via = std::string(" through ") + kp::bench::routeName(route);
  if (kp::test::Ser2netProcess::program().empty()) {
    rows.push_back({"link and load" + via, "NO SER2NET", "apt-get install ser2net"});
    return;
  }
  for (Pace pace : {Unpaced, Paced, InPieces}) {
    const auto f = medianLink(pace, route);
    const auto& base = ptyLink[pace];
    rows.push_back({std::string("link, long dump, ") + kPaceShort[pace] + via + " (median of 3)",
                    f.linked ? fmt("%.1f ms", f.wallS * 1e3) : "NO LINK",
                    f.linked && base.linked ? fmt("%.2fx the pseudo-terminal's %.1f ms",
                                                  f.wallS / base.wallS, base.wallS * 1e3) +
                                                  fmt("; CPU %.1f ms", f.cpuS * 1e3)
                                            : ""});
  }
  for (Pace pace : {Unpaced, Paced, InPieces}) {
    std::string why;
    bool allDone = false, anyMessage = false;
    const auto m = medianLoad(pace, route, &why, &allDone, &anyMessage);
    const auto& base = ptyLoad[pace];
    const std::string what =
        std::string("linked load of Pro.dat, ") + kPaceShort[pace] + via + " (median of 5)";
    if (!why.empty()) {
      rows.push_back({what, why, ""});
      continue;
    }
    rows.push_back({what, fmt("%.1f ms", m.wallS * 1e3),
                    (base.wallS > 0 ? fmt("%.2fx the pseudo-terminal's %.1f ms",
                                          m.wallS / base.wallS, base.wallS * 1e3)
                                    : std::string("no pseudo-terminal figure")) +
                        fmt("; CPU %.1f ms", m.cpuS * 1e3) + (allDone ? "" : "; LINK LOST") +
                        (anyMessage ? "; A MESSAGE WAS SHOWN" : "")});
  }
}

void bareExchange() {
  const double us = kp::bench::bareExchangeUs();
  rows.push_back({"a turn of the line through the pseudo-terminal alone",
                  us < 0 ? "NOT MEASURED" : fmt("%+.0f us", us),
                  "no panel, no Qt: what each turn of the paced figures costs the test rig"});
}

void silentWait() {
  const auto f = kp::bench::measureSilentWait();
  if (!f.ran) {
    rows.push_back({"CPU during a silent wait", f.why, ""});
    return;
  }
  rows.push_back({"CPU during a silent wait (Wait_Reply)",
                  fmt("%.3f %% of one core", f.share() * 100),
                  fmt("%.2f ms CPU over %.2f s", f.cpuS * 1e3, f.wallS) + ", " +
                      std::to_string(f.transmissions) + " transmissions, " +
                      std::to_string(f.turns) + " loop turns"});
}

void idleCpu() {
  const auto f = kp::bench::measureIdleCpu();
  if (!f.ran) {
    rows.push_back({"CPU of an idle panel", "NO LINK", ""});
    return;
  }
  rows.push_back(
      {"CPU of an idle panel, unlinked / linked",
       fmt("%.3f %% / ", f.unlinkedShare * 100) + fmt("%.3f %% of one core", f.linkedShare * 100),
       "10 s each, the port open, karaoke-unit-sim on a pseudo-terminal"});
}

void sliderLatency() {
  const auto f = kp::bench::measureSliderLatency();
  if (!f.ran) {
    rows.push_back({"slider change to frame written", "NO LINK", ""});
    return;
  }
  rows.push_back({"slider change to frame written",
                  fmt("median %.1f us, p99 %.1f us", f.medianUs, f.p99Us),
                  fmt("max %.1f us", f.maxUs) + " over " + std::to_string(f.changes) +
                      " changes while linked"});
}

void eqProposal() {
  const auto f = kp::bench::measureEqProposal(50);
  if (!f.ran) {
    rows.push_back({"one equaliser proposal from a measurement", f.why, ""});
    return;
  }
  rows.push_back({"one equaliser proposal, 1/48-octave measurement (median of 50)",
                  fmt("%.2f ms", f.medianMs),
                  fmt("min %.2f ms", f.minMs) + fmt(", max %.2f ms", f.maxMs) + " from " +
                      std::to_string(f.points) + " points, 40 Hz to 16 kHz; aim under 20 ms"});
}

// The offscreen platform's remarks about window features it lacks would only
// clutter the table.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith("This plugin does not support")) return;
  std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, text).toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(quietOffscreen);
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setPalette(kp::ui::panelPalette());
  if (!std::filesystem::exists(std::filesystem::path(kp::test::binDir()) / "karaoke-unit-sim"))
    std::printf("bench_figures: no karaoke-unit-sim in %s; the link figures are missing\n",
                kp::test::binDir().c_str());

  // The device server's rows move by tens of per cent between runs: they are
  // run many times, and need only the pseudo-terminal's figures beside them.
  const bool onlySer2net = QCoreApplication::arguments().contains("--ser2net");

  // First, while the process holds nothing else: its memory figures are the
  // program's own.
  if (!onlySer2net) startUpAndMemory();
  for (Pace pace : {Unpaced, Paced, InPieces}) link(pace);
  for (Pace pace : {Unpaced, Paced, InPieces}) presetLoad(pace);
  throughSer2net(Route::Ser2netRfc2217);
  throughSer2net(Route::Ser2netRaw);
  if (!onlySer2net) {
    bareExchange();
    silentWait();
    idleCpu();
    sliderLatency();
    eqProposal();
  }

  std::size_t w0 = 0, w1 = 0;
  for (const auto& r : rows) {
    w0 = std::max(w0, r.what.size());
    w1 = std::max(w1, r.value.size());
  }
  const std::string rule(w0 + w1 + 60, '-');
  std::printf("%-*s  %-*s  %s\n%s\n", static_cast<int>(w0), "figure", static_cast<int>(w1), "value",
              "beside it", rule.c_str());
  for (const auto& r : rows)
    std::printf("%-*s  %-*s  %s\n", static_cast<int>(w0), r.what.c_str(), static_cast<int>(w1),
                r.value.c_str(), r.reference.c_str());
  return 0;
}
