#pragma once
// karaoke-ctl's command line: a command, its PORT and FILE arguments, and
// the options. Checked as a whole before anything is opened or written.
#include <optional>
#include <string>
#include <vector>

namespace kp::ctl {

enum class Command { Ports, Probe, Backup, Restore, Verify, Diff, Show, Report, Eq };

// eq's choices: the target, the limits and the values measured with.
struct EqOptions {
  std::string target;                 // --target FILE: a house curve
  std::optional<double> tilt;         // --tilt DB per octave around 1 kHz
  double lowHz = 40, highHz = 16000;  // --range LOW-HIGH
  int maxBoost = 6;                   // --max-boost DB
  std::optional<double> q;            // --q Q: instead of config.ini's
  bool mic = false;                   // --channel music|mic
  std::string from;                   // --from PRESET
  int slot = 0;                       // --slot RAM1..RAM3 as 0..2
};

struct Options {
  Command command = Command::Ports;
  std::string port;                // PORT, or report's --port
  std::vector<std::string> files;  // FILE arguments after PORT
  std::string rooms;               // --rooms CSV
  int jobs = 0;                    // -j N; 0: every room at once
  int model = 4;                   // --model: the connect dialog's entry
  bool modelGiven = false;
  bool dryRun = false;
  bool noVerify = false;
  bool json = false;
  bool english = true;  // --lang en|zh
  std::string room;     // --room NAME
  std::string folder;   // --folder DIR
  std::string output;   // -o OUT
  EqOptions eq;
  bool progressLines = false;  // progress for a rooms run that started this one
  bool help = false;
};

const char* commandName(Command c);

// nullopt with the reason for a command line that does not make sense;
// Options with help set for -h/--help.
std::optional<Options> parseArgs(const std::vector<std::string>& args, std::string* error);

extern const char* const kUsage;

}  // namespace kp::ctl
