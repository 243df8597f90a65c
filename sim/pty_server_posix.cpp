#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <iostream>
#include <system_error>

namespace kp::sim {

namespace fs = std::filesystem;

namespace {

constexpr int kAbsentProbeMs = 50;  // how often to look for a panel that closed the port
// Paced, the last stretch before a byte is due is waited out awake: a sleep
// ends tens of microseconds late, and a line loses that at every message.
constexpr std::int64_t kAwakeUs = 150;

int signalPipe[2] = {-1, -1};

void onSignal(int sig) {
  const int saved = errno;
  const char c = static_cast<char>(sig);
  [[maybe_unused]] ssize_t n = write(signalPipe[1], &c, 1);
  errno = saved;
}

// Raw bytes both ways; the panel sets its own line settings when it opens.
bool makeRaw(const char* slaveName, std::string* error) {
  const int fd = open(slaveName, O_RDWR | O_NOCTTY);
  if (fd < 0) {
    *error = std::string("open ") + slaveName + ": " + std::strerror(errno);
    return false;
  }
  termios t{};
  bool ok = tcgetattr(fd, &t) == 0;
  if (ok) {
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    ok = tcsetattr(fd, TCSANOW, &t) == 0;
  }
  if (!ok) *error = std::string("raw mode: ") + std::strerror(errno);
  close(fd);
  return ok;
}

}  // namespace

bool PtyServer::openTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    std::cerr << "karaoke-unit-sim: no pseudo-terminal: " << std::strerror(errno) << "\n";
    return false;
  }
  slave_ = ptsname(master_);
  std::string error;
  if (!makeRaw(slave_.c_str(), &error)) {
    std::cerr << "karaoke-unit-sim: " << error << "\n";
    return false;
  }
  return true;
}

bool PtyServer::publish(const fs::path& link) {
  link_ = link;
  std::error_code ec;
  fs::create_directories(link_.parent_path(), ec);
  fs::remove(link_, ec);  // a link left by an earlier run that was killed
  fs::create_symlink(slave_, link_, ec);
  if (ec) {
    std::cerr << "karaoke-unit-sim: cannot create " << link_ << ": " << ec.message() << "\n";
    return false;
  }
  std::cout << link_.string() << std::endl;
  std::cerr << "karaoke-unit-sim: serving " << slave_ << " as " << link_.string() << "\n";
  return true;
}

bool PtyServer::catchSignals() {
  if (pipe(signalPipe) != 0) return false;
  fcntl(signalPipe[0], F_SETFL, O_NONBLOCK);
  fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGUSR1, &sa, nullptr);
  sigaction(SIGUSR2, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return true;
}

void PtyServer::sendToPanel(const Bytes& bytes) {
  // Written while nobody holds the slave, bytes would wait in the terminal
  // and greet the next panel as stale input.
  if (!panelPresent_) return;
  pendingOut_.insert(pendingOut_.end(), bytes.begin(), bytes.end());
}

void PtyServer::serve(PollClock& clock, VirtualUnit& unit, bool paced,
                      const std::function<void(const std::string&)>& logLine,
                      const std::function<void()>& saveState) {
  bool running = true;
  while (running) {
    // Flush what the unit said.
    while (!pendingOut_.empty()) {
      const ssize_t n = write(master_, pendingOut_.data(), pendingOut_.size());
      if (n > 0) {
        pendingOut_.erase(pendingOut_.begin(), pendingOut_.begin() + n);
      } else {
        if (n < 0 && errno != EAGAIN && errno != EINTR) pendingOut_.clear();  // EIO: no panel
        break;
      }
    }

    pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {master_, 0, 0}};
    const bool probe = panelPresent_ || clock.nowUs() >= probeAtUs_;
    if (probe) fds[1].events = static_cast<short>(POLLIN | (pendingOut_.empty() ? 0 : POLLOUT));
    std::int64_t timeoutUs = clock.usUntilNext();
    if (!probe) {
      const std::int64_t untilProbe = std::max<std::int64_t>(0, probeAtUs_ - clock.nowUs());
      timeoutUs = timeoutUs < 0 ? untilProbe : std::min(timeoutUs, untilProbe);
    }
    if (paced && timeoutUs > 0) timeoutUs = std::max<std::int64_t>(0, timeoutUs - kAwakeUs);
    timespec ts{static_cast<time_t>(timeoutUs / 1000000),
                static_cast<long>((timeoutUs % 1000000) * 1000)};
    const int r = ppoll(fds, probe ? 2 : 1, timeoutUs < 0 ? nullptr : &ts, nullptr);
    if (r < 0 && errno != EINTR) {
      std::cerr << "karaoke-unit-sim: poll: " << std::strerror(errno) << "\n";
      break;
    }

    if (r > 0 && (fds[0].revents & POLLIN)) {
      char sig = 0;
      while (read(signalPipe[0], &sig, 1) == 1) {
        if (sig == SIGUSR1) {
          if (!unit.sendVolumeNotice()) logLine("volume notice not sent: not linked");
        } else if (sig == SIGUSR2) {
          saveState();
        } else {
          running = false;
        }
      }
    }

    if (r > 0 && probe) {
      bool gone = false;
      if (fds[1].revents & POLLIN) {
        std::uint8_t buf[256];
        for (;;) {
          const ssize_t n = read(master_, buf, sizeof buf);
          if (n > 0) {
            if (!panelPresent_) {
              panelPresent_ = true;
              logLine("panel opened the port");
            }
            unit.onBytesFromPanel(kp::Bytes(buf, buf + n));
            continue;
          }
          if (n < 0 && errno == EIO) gone = true;
          break;
        }
      }
      if (fds[1].revents & POLLHUP) gone = true;
      if (gone) {
        if (panelPresent_) {
          logLine("panel closed the port");
          tcflush(master_, TCIOFLUSH);
        }
        panelPresent_ = false;
        pendingOut_.clear();
        // While no one holds the slave the master reports hang-up at once
        // on every poll: look again only now and then.
        probeAtUs_ = clock.nowUs() + kAbsentProbeMs * 1000LL;
      } else if (!panelPresent_ && !(fds[1].revents & (POLLHUP | POLLERR))) {
        panelPresent_ = true;
        logLine("panel opened the port");
      }
    } else if (r == 0 && probe && !panelPresent_) {
      // A quiet master without hang-up: someone holds the slave.
      panelPresent_ = true;
      logLine("panel opened the port");
    }

    clock.runDue();
  }
}

void PtyServer::withdraw() {
  std::error_code ec;
  fs::remove(link_, ec);
  ::close(master_);
  std::cerr << "karaoke-unit-sim: stopped, " << link_.string() << " removed\n";
}

}  // namespace kp::sim
