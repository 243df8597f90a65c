// The end of a Windows session for a program with windows (WM_ENDSESSION),
// and a console's close, logoff, shutdown or interrupt for one without.
#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>

#include "qt/system_end.h"

namespace {

std::function<void()> ending;
std::atomic<bool> requested{false};

// Windows ends the process soon after the last top-level window has
// answered WM_ENDSESSION: the shut-down runs before the answer.
class SessionEnd : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "windows_generic_MSG" && type != "windows_dispatcher_MSG") return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message == WM_ENDSESSION && msg->wParam && !requested.exchange(true) && ending)
      ending();
    return false;
  }
};

// Runs on a thread of the system's. The shut-down goes to the program's own
// thread; for a console closed (or a logoff, a shutdown) the process ends
// when this returns, so it waits a while for the program to finish first.
BOOL WINAPI consoleEvent(DWORD type) {
  if (requested.exchange(true)) ExitProcess(3);
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [] {
        if (ending) ending();
      },
      Qt::QueuedConnection);
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
    Sleep(4500);  // the system allows about five seconds
  return TRUE;
}

}  // namespace

void onSystemEnd(std::function<void()> end) {
  if (ending) return;
  ending = std::move(end);
  static SessionEnd filter;
  QCoreApplication::instance()->installNativeEventFilter(&filter);
  SetConsoleCtrlHandler(consoleEvent, TRUE);
}
