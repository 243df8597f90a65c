// karaoke-ctl: the panel's program without windows, for installers and
// support staff: back up, restore, verify and report units from a command
// line, one room or a whole venue. Qt Core gives it the event loop, the
// timers and the serial ports; everything else is the panel's own code.
#include <QCoreApplication>
#include <QDir>

#include <optional>

#include "app/program_folder.h"
#include "core/os_console.h"
#include "core/os_files.h"
#include "core/state.h"
#include "core/utf8_path.h"
#include "ctl/ctl_args.h"
#include "ctl/ctl_port.h"
#include "ctl/eq_command.h"
#include "ctl/file_commands.h"
#include "ctl/outcome_output.h"
#include "ctl/progress_view.h"
#include "ctl/rooms_runner.h"
#include "ctl/stop_request.h"
#include "ctl/unit_commands.h"
#include "qt/qt_child_processes.h"
#include "qt/qt_platform.h"
#include "qt/system_end.h"

using namespace kp::ctl;

namespace {

int usageError(const std::string& why) {
  kp::os::writeText(stderr, "karaoke-ctl: " + why + "\n(karaoke-ctl --help lists the commands)\n");
  return exitCode(Status::Usage);
}

int listPorts(const Options& o, const std::string& folder) {
  for (const std::string& line : portListing(folder)) {
    if (o.json) {
      const auto colon = line.find(':');
      kp::os::writeText(
          stdout,
          JsonObject()
                  .add("port", line.substr(0, colon))
                  .add("stands_for", colon == std::string::npos ? "" : line.substr(colon + 2))
                  .str() +
              "\n");
    } else {
      kp::os::writeText(stdout, line + "\n");
    }
  }
  return exitCode(Status::Done);
}

// The command itself; parsed holds the command line once it is understood.
int run(int argc, char** argv, std::optional<Options>& parsed) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("karaoke-ctl");
  std::vector<std::string> args = kp::os::utf8Arguments(argc, argv);
  if (!args.empty()) args.erase(args.begin());
  std::string error;
  parsed = parseArgs(args, &error);
  if (!parsed) return usageError(error);
  Options o = *parsed;
  if (o.help) {
    kp::os::writeText(stdout, kUsage);
    return 0;
  }

  std::string folder = o.folder;
  if (folder.empty()) {
    const std::string exeDir =
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
    folder = kp::chooseProgramFolder(exeDir, kp::os::userDataFolder("karaoke-panel"));
  } else if (std::error_code ec; !std::filesystem::is_directory(kp::pathFromUtf8(folder), ec)) {
    return usageError("--folder " + folder + " is not a folder");
  }
  const kp::ParameterTexts texts =
      kp::parameterTexts(kp::joinPath(folder, "config.ini"), o.english);
  QtClock clock;
  QtEventPump pump(clock);
  // Ended by the system, or by the rooms run that started it, the work
  // stops as the panel does when its window is closed.
  StopRequest stop;
  onSystemEnd([&stop] { stop.request(); });
  if (o.progressLines) onEndOfInput([&stop] { stop.request(); });

  if (!o.rooms.empty()) {
    QtChildProcesses children;
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    return runRooms({o, self, folder, clock, pump, children, kp::os::isTerminal(stderr), &stop});
  }
  if (o.command == Command::Ports) return listPorts(o, folder);

  Outcome out;
  if (o.command == Command::Eq) {
    out = runEqCommand(o, folder);
  } else if (o.command == Command::Diff || o.command == Command::Show ||
             (o.command == Command::Report && o.port.empty())) {
    out = runFileCommand(o, folder, texts);
  } else if (o.command == Command::Restore && o.dryRun) {
    out = dryRunRestore(o, o.files.front(), folder, texts);
  } else {
    const auto spec = kp::parsePortChoice(o.port, &error);
    if (!spec) return usageError(error);
    const ProgressView::Mode mode = o.progressLines              ? ProgressView::Mode::Lines
                                    : kp::os::isTerminal(stderr) ? ProgressView::Mode::Bar
                                                                 : ProgressView::Mode::None;
    ProgressView progress(mode);
    const std::string file = o.command == Command::Report ? o.output
                             : o.files.empty()            ? std::string()
                                                          : o.files.back();
    UnitJob job{
        o,     clock,
        pump,  *spec,
        file,  folder,
        texts, [&](const char* what, int done, int total) { progress.update(what, done, total); },
        &stop};
    out = runUnitCommand(job);
    progress.clear();
  }
  printOutcome(out, o);
  return exitCode(out.status);
}

// Last resort: whatever escaped is told in words, never an abort that a
// rooms run would read as a unit that did not answer.
int stopped(const std::optional<Options>& parsed, const std::string& what) {
  Outcome out;
  out.status = parsed ? Status::FileFailed : Status::Usage;
  out.error = "stopped by a fault: " + what;
  if (!parsed) return usageError(out.error);
  printOutcome(out, *parsed);
  return exitCode(out.status);
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Options> parsed;
  try {
    return run(argc, argv, parsed);
  } catch (const std::exception& e) {
    return stopped(parsed, e.what());
  } catch (...) {
    return stopped(parsed, "an unknown exception");
  }
}
