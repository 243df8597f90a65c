#include "tests/e2e/qt_rig.h"

#include <poll.h>
#include <QApplication>

namespace kp::test {

void ensureQtApp() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char* argv[] = {const_cast<char*>("kp_tests_e2e"), nullptr};
  static QApplication app(argc, argv);
}

bool pumpUntil(const std::function<bool()>& pred, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > timeoutMs) return pred();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    poll(nullptr, 0, 1);
  }
  return true;
}

}  // namespace kp::test
