// karaoke-unit-sim: the virtual unit on a pseudo-terminal, so that the panel
// (or anything that speaks the protocol) can link to it as to a serial port.
// The slave side is published as <folder>/ports/comN.
#include <sys/prctl.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>

#include "core/bytes.h"
#include "sim/poll_clock.h"
#include "sim/pty_server.h"
#include "sim/sim_options.h"
#include "sim/unit_state_text.h"
#include "sim/virtual_unit.h"

namespace fs = std::filesystem;
using kp::sim::PollClock;
using kp::sim::PtyServer;
using kp::sim::SimOptions;
using kp::sim::TraceEvent;
using kp::sim::VirtualUnit;

namespace {

fs::path programFolder(const char* argv0) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) exe = fs::absolute(argv0, ec);
  return exe.parent_path();
}

std::string stamp(std::int64_t us) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld.%03lld", static_cast<long long>(us / 1'000'000),
                static_cast<long long>((us / 1000) % 1000));
  return buf;
}

// Where the log goes: nowhere, standard output ("-"), or the end of a file.
bool openLog(const std::string& name, std::ofstream& file, std::ostream** log) {
  if (name == "-") {
    *log = &std::cout;
  } else if (!name.empty()) {
    file.open(name, std::ios::app);
    if (!file) {
      std::cerr << "karaoke-unit-sim: cannot write the log " << name << "\n";
      return false;
    }
    *log = &file;
  }
  return true;
}

// The state the unit starts in: drawn at random, then read from the state
// file when there is one.
bool loadState(const SimOptions& args, VirtualUnit& unit) {
  if (args.randomSeed) unit.setState(kp::sim::randomState(*args.randomSeed));
  if (!args.stateFile.empty()) {
    std::ifstream in(args.stateFile);
    if (in) {
      const std::string text((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
      const auto state = kp::sim::parseStateText(text);
      if (!state) {
        std::cerr << "karaoke-unit-sim: " << args.stateFile
                  << " is not a state the unit can hold\n";
        return false;
      }
      unit.setState(*state);
    }
  }
  return true;
}

void saveState(const std::string& stateFile, const kp::sim::UnitState& state) {
  if (stateFile.empty()) return;
  // Whole or not at all: a test reads it as soon as the program has ended.
  const std::string part = stateFile + ".part";
  std::ofstream(part) << kp::sim::stateText(state);
  std::error_code ec;
  fs::rename(part, stateFile, ec);
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions args;
  if (!kp::sim::parseSimOptions(argc, argv, &args)) return 0;
  // Paced bytes are 382 us apart: the kernel's usual 50 us of slack on each
  // wake-up would stretch the line.
  if (args.unit.paced) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

  std::ostream* log = nullptr;
  std::ofstream logFile;
  if (!openLog(args.log, logFile, &log)) return 1;

  PtyServer server;
  if (!server.openTerminal()) return 1;
  const fs::path folder = args.folder.empty() ? programFolder(argv[0]) : fs::path(args.folder);
  if (!server.publish(folder / "ports" / ("com" + std::to_string(args.port)))) return 1;
  if (!server.catchSignals()) return 1;

  PollClock clock;
  VirtualUnit unit(clock, args.unit);
  if (!loadState(args, unit)) return 1;
  auto saveUnitState = [&] { saveState(args.stateFile, unit.state()); };
  auto logLine = [&](const std::string& line) {
    if (!log) return;
    *log << stamp(clock.nowUs()) << ' ' << line << '\n';
    log->flush();
  };
  // Only with a log: the unit then spends nothing on describing its frames.
  if (log) {
    unit.onTrace = [&](const TraceEvent& e) {
      const bool in = e.direction == TraceEvent::Direction::PanelToUnit;
      logLine(std::string(in ? "panel→unit " : "unit→panel ") + kp::toHex(e.bytes) + " (" + e.text +
              ")");
    };
  }
  unit.onOutput = [&](const kp::Bytes& bytes) { server.sendToPanel(bytes); };

  server.serve(clock, unit, args.unit.paced, logLine, saveUnitState);
  saveUnitState();
  server.withdraw();
  return 0;
}
