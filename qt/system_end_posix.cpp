// The signals that end a program on Linux, taken through a pipe so that the
// shut-down runs on the event loop and not inside the signal handler.
#include "qt/system_end.h"

#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace {

int pipeFds[2] = {-1, -1};
volatile std::sig_atomic_t requested = 0;

void onSignal(int sig) {
  // The second signal while the first is being handled: no more waiting.
  if (requested) _exit(128 + sig);
  requested = 1;
  const char byte = static_cast<char>(sig);
  [[maybe_unused]] const ssize_t n = write(pipeFds[1], &byte, 1);
}

}  // namespace

void onSystemEnd(std::function<void()> end) {
  if (pipeFds[0] >= 0 || pipe(pipeFds) != 0) return;
  for (int fd : pipeFds) fcntl(fd, F_SETFD, FD_CLOEXEC);
  fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);
  auto* notifier =
      new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                   [notifier, end = std::move(end)] {
                     char byte;
                     [[maybe_unused]] const ssize_t n = read(pipeFds[0], &byte, 1);
                     notifier->setEnabled(false);
                     end();
                   });
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}
