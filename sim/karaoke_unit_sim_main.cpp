// karaoke-unit-sim: the virtual unit on a pseudo-terminal, so that the panel
// (or anything that speaks the protocol) can link to it as to a serial port.
// The slave side is published as <folder>/ports/comN.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>

#include "core/bytes.h"
#include "sim/unit_state_text.h"
#include "sim/virtual_unit.h"

namespace fs = std::filesystem;
using kp::sim::TraceEvent;
using kp::sim::UnitOptions;
using kp::sim::VirtualUnit;

namespace {

constexpr int kAbsentProbeMs = 50;  // how often to look for a panel that closed the port
// Paced, the last stretch before a byte is due is waited out awake: a sleep
// ends tens of microseconds late, and a line loses that at every message.
constexpr std::int64_t kAwakeUs = 150;

const char* kUsage =
    "usage: karaoke-unit-sim [options]\n"
    "  --port N           publish as ports/comN (default 1)\n"
    "  --folder DIR       program folder holding ports/ (default: this program's folder)\n"
    "  --log FILE         log every frame both ways (- for standard output)\n"
    "  --long-answer      answer changes with AA 60 9F 00 FF 55 instead of AA 60\n"
    "  --force-dump K     report dump kind K (short or long) whatever is asked\n"
    "  --no-reset-confirm start the factory-reset dump without (0, 1|2) first\n"
    "faults:\n"
    "  --silent           hear but never answer\n"
    "  --no-dump          answer the connect but send no dump\n"
    "  --stop-after N     go mute after N messages\n"
    "  --resend P         answer a frame with 55 with probability P\n"
    "  --drop P           ignore a frame with probability P\n"
    "  --chunks           deliver messages in random pieces\n"
    "  --paced            the line's speed both ways, 28800 baud 8E1\n"
    "  --latency MS       wait MS before each message\n"
    "  --seed S           seed of the fault decisions (default 1)\n"
    "state:\n"
    "  --random-state S   start with every value drawn at random (seed S)\n"
    "  --state FILE       start with the state in FILE if it exists; write the\n"
    "                     unit's state there on SIGUSR2 and when the program ends\n"
    "SIGUSR1 sends the volume notice; SIGINT or SIGTERM ends the program.\n";

struct Args {
  int port = 1;
  std::string folder;
  std::string log;
  std::string stateFile;
  std::optional<std::uint64_t> randomSeed;
  UnitOptions unit;
};

[[noreturn]] void usageError(const std::string& what) {
  std::cerr << "karaoke-unit-sim: " << what << "\n" << kUsage;
  std::exit(2);
}

bool parseArgs(int argc, char** argv, Args* args) {
  auto value = [&](int& i) -> std::string {
    if (i + 1 >= argc) usageError(std::string(argv[i]) + " needs a value");
    return argv[++i];
  };
  auto number = [&](int& i, long lo, long hi) {
    const std::string opt = argv[i];
    const std::string text = value(i);
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || n < lo || n > hi) usageError(opt + ": bad number " + text);
    return n;
  };
  auto probability = [&](int& i) {
    const std::string opt = argv[i];
    const std::string text = value(i);
    char* end = nullptr;
    const double p = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !(p >= 0 && p <= 1)) usageError(opt + ": need 0..1, got " + text);
    return p;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return false;
    } else if (a == "--port") {
      args->port = static_cast<int>(number(i, 1, 255));
    } else if (a == "--folder") {
      args->folder = value(i);
    } else if (a == "--log") {
      args->log = value(i);
    } else if (a == "--long-answer") {
      args->unit.longAnswer = true;
    } else if (a == "--force-dump") {
      const std::string k = value(i);
      if (k != "short" && k != "long") usageError("--force-dump: short or long");
      args->unit.forceFullModel = k == "long";
    } else if (a == "--no-reset-confirm") {
      args->unit.confirmFactoryReset = false;
    } else if (a == "--silent") {
      args->unit.silent = true;
    } else if (a == "--no-dump") {
      args->unit.noDump = true;
    } else if (a == "--stop-after") {
      args->unit.stopAfter = static_cast<std::uint64_t>(number(i, 0, 1L << 30));
    } else if (a == "--resend") {
      args->unit.resendProbability = probability(i);
    } else if (a == "--drop") {
      args->unit.dropProbability = probability(i);
    } else if (a == "--chunks") {
      args->unit.chunks = true;
    } else if (a == "--paced") {
      args->unit.paced = true;
    } else if (a == "--latency") {
      args->unit.latencyMs = static_cast<int>(number(i, 0, 60'000));
    } else if (a == "--state") {
      args->stateFile = value(i);
    } else if (a == "--random-state") {
      args->randomSeed = static_cast<std::uint64_t>(number(i, 0, 0x7FFFFFFF));
    } else if (a == "--seed") {
      args->unit.seed = static_cast<std::uint64_t>(number(i, 0, 0x7FFFFFFF));
    } else {
      usageError("unknown option " + a);
    }
  }
  return true;
}

// Real time for the unit, driven by the poll loop below. An event reads
// its own time as now: the process may run it a little late, but the unit
// acts when the line says (a byte fully in, the last one fully out), so what
// it does next is timed from there and the lateness does not add up.
class PollClock : public kp::sim::UnitClock {
 public:
  std::int64_t nowUs() const override {
    if (runningAtUs_ >= 0) return runningAtUs_;
    return wallUs();
  }
  std::int64_t wallUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now() - start_)
        .count();
  }
  void at(std::int64_t whenUs, std::function<void()> fn) override {
    events_.emplace(std::make_pair(whenUs, seq_++), std::move(fn));
  }
  // Microseconds until the next event, or -1 when none waits. Paced bytes
  // are 382 us apart, so a millisecond poll would stretch the line.
  std::int64_t usUntilNext() const {
    if (events_.empty()) return -1;
    const std::int64_t d = events_.begin()->first.first - wallUs();
    return d <= 0 ? 0 : d;
  }
  void runDue() {
    // Only what is due now: an event scheduled for now by an event runs at
    // the next turn, after the descriptors have been looked at again.
    const std::int64_t now = wallUs();
    const std::uint64_t limit = seq_;
    while (!events_.empty() && events_.begin()->first.first <= now &&
           events_.begin()->first.second < limit) {
      runningAtUs_ = events_.begin()->first.first;
      auto fn = std::move(events_.begin()->second);
      events_.erase(events_.begin());
      fn();
      runningAtUs_ = -1;
    }
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::int64_t runningAtUs_ = -1;
  std::uint64_t seq_ = 0;
  std::map<std::pair<std::int64_t, std::uint64_t>, std::function<void()>> events_;
};

int signalPipe[2] = {-1, -1};

void onSignal(int sig) {
  const int saved = errno;
  const char c = static_cast<char>(sig);
  [[maybe_unused]] ssize_t n = write(signalPipe[1], &c, 1);
  errno = saved;
}

fs::path programFolder(const char* argv0) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) exe = fs::absolute(argv0, ec);
  return exe.parent_path();
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

std::string stamp(std::int64_t us) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld.%03lld", static_cast<long long>(us / 1'000'000),
                static_cast<long long>((us / 1000) % 1000));
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (!parseArgs(argc, argv, &args)) return 0;
  // Paced bytes are 382 us apart: the kernel's usual 50 us of slack on each
  // wake-up would stretch the line.
  if (args.unit.paced) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

  std::ostream* log = nullptr;
  std::ofstream logFile;
  if (args.log == "-") {
    log = &std::cout;
  } else if (!args.log.empty()) {
    logFile.open(args.log, std::ios::app);
    if (!logFile) {
      std::cerr << "karaoke-unit-sim: cannot write the log " << args.log << "\n";
      return 1;
    }
    log = &logFile;
  }

  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::cerr << "karaoke-unit-sim: no pseudo-terminal: " << std::strerror(errno) << "\n";
    return 1;
  }
  const std::string slave = ptsname(master);
  std::string error;
  if (!makeRaw(slave.c_str(), &error)) {
    std::cerr << "karaoke-unit-sim: " << error << "\n";
    return 1;
  }

  const fs::path folder = args.folder.empty() ? programFolder(argv[0]) : fs::path(args.folder);
  const fs::path link = folder / "ports" / ("com" + std::to_string(args.port));
  std::error_code ec;
  fs::create_directories(link.parent_path(), ec);
  fs::remove(link, ec);  // a link left by an earlier run that was killed
  fs::create_symlink(slave, link, ec);
  if (ec) {
    std::cerr << "karaoke-unit-sim: cannot create " << link << ": " << ec.message() << "\n";
    return 1;
  }
  std::cout << link.string() << std::endl;
  std::cerr << "karaoke-unit-sim: serving " << slave << " as " << link.string() << "\n";

  if (pipe(signalPipe) != 0) return 1;
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

  PollClock clock;
  VirtualUnit unit(clock, args.unit);
  if (args.randomSeed) unit.setState(kp::sim::randomState(*args.randomSeed));
  if (!args.stateFile.empty()) {
    std::ifstream in(args.stateFile);
    if (in) {
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      const auto state = kp::sim::parseStateText(text);
      if (!state) {
        std::cerr << "karaoke-unit-sim: " << args.stateFile << " is not a state the unit can hold\n";
        return 1;
      }
      unit.setState(*state);
    }
  }
  auto saveState = [&] {
    if (args.stateFile.empty()) return;
    // Whole or not at all: a test reads it as soon as the program has ended.
    const std::string part = args.stateFile + ".part";
    std::ofstream(part) << kp::sim::stateText(unit.state());
    fs::rename(part, args.stateFile, ec);
  };
  bool panelPresent = false;
  std::int64_t probeAtUs = 0;
  kp::Bytes pendingOut;  // what the master could not take yet

  auto logLine = [&](const std::string& line) {
    if (!log) return;
    *log << stamp(clock.nowUs()) << ' ' << line << '\n';
    log->flush();
  };
  // Only with a log: the unit then spends nothing on describing its frames.
  if (log) {
    unit.onTrace = [&](const TraceEvent& e) {
      const bool in = e.direction == TraceEvent::Direction::PanelToUnit;
      logLine(std::string(in ? "panel→unit " : "unit→panel ") + kp::toHex(e.bytes) + " (" +
              e.text + ")");
    };
  }
  unit.onOutput = [&](const kp::Bytes& bytes) {
    // Written while nobody holds the slave, bytes would wait in the terminal
    // and greet the next panel as stale input.
    if (!panelPresent) return;
    pendingOut.insert(pendingOut.end(), bytes.begin(), bytes.end());
  };

  bool running = true;
  while (running) {
    // Flush what the unit said.
    while (!pendingOut.empty()) {
      const ssize_t n = write(master, pendingOut.data(), pendingOut.size());
      if (n > 0) {
        pendingOut.erase(pendingOut.begin(), pendingOut.begin() + n);
      } else {
        if (n < 0 && errno != EAGAIN && errno != EINTR) pendingOut.clear();  // EIO: no panel
        break;
      }
    }

    pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {master, 0, 0}};
    const bool probe = panelPresent || clock.nowUs() >= probeAtUs;
    if (probe) fds[1].events = static_cast<short>(POLLIN | (pendingOut.empty() ? 0 : POLLOUT));
    std::int64_t timeoutUs = clock.usUntilNext();
    if (!probe) {
      const std::int64_t untilProbe = std::max<std::int64_t>(0, probeAtUs - clock.nowUs());
      timeoutUs = timeoutUs < 0 ? untilProbe : std::min(timeoutUs, untilProbe);
    }
    if (args.unit.paced && timeoutUs > 0) timeoutUs = std::max<std::int64_t>(0, timeoutUs - kAwakeUs);
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
          const ssize_t n = read(master, buf, sizeof buf);
          if (n > 0) {
            if (!panelPresent) {
              panelPresent = true;
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
        if (panelPresent) {
          logLine("panel closed the port");
          tcflush(master, TCIOFLUSH);
        }
        panelPresent = false;
        pendingOut.clear();
        // While no one holds the slave the master reports hang-up at once
        // on every poll: look again only now and then.
        probeAtUs = clock.nowUs() + kAbsentProbeMs * 1000LL;
      } else if (!panelPresent && !(fds[1].revents & (POLLHUP | POLLERR))) {
        panelPresent = true;
        logLine("panel opened the port");
      }
    } else if (r == 0 && probe && !panelPresent) {
      // A quiet master without hang-up: someone holds the slave.
      panelPresent = true;
      logLine("panel opened the port");
    }

    clock.runDue();
  }

  saveState();
  fs::remove(link, ec);
  close(master);
  std::cerr << "karaoke-unit-sim: stopped, " << link.string() << " removed\n";
  return 0;
}
