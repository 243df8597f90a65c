#include "ctl/ctl_args.h"

#include <cstdlib>

#include "tuning/decimal.h"

namespace kp::ctl {

const char* const kUsage =
    "usage: karaoke-ctl COMMAND [options] ARGUMENTS\n"
    "commands:\n"
    "  ports                         each COMn, what it stands for, whether it is there\n"
    "  probe PORT                    link, print the unit's dump form and answer time, unlink\n"
    "  backup PORT FILE              write the unit's whole state to the preset file FILE\n"
    "  restore PORT FILE             send FILE to the unit, every frame confirmed, then verify\n"
    "  verify PORT FILE              compare the unit with FILE (status 1 when they differ)\n"
    "  diff FILE1 FILE2              compare two preset files (status 1 when they differ)\n"
    "  show FILE                     a preset file as a table\n"
    "  report (FILE | --port PORT) -o OUT.html\n"
    "                                a commissioning sheet in one HTML file\n"
    "  eq MEASUREMENT [--target FILE | --tilt DB] [--range LOW-HIGH] [--max-boost DB]\n"
    "     [--q Q] [--channel music|mic] [--from PRESET --slot RAM1|RAM2|RAM3] [-o OUT.dat]\n"
    "                                the 31 bands proposed from a room's measured\n"
    "                                response (text as room-measurement programs export it)\n"
    "PORT is COMn (what [ports] of config.ini says it is, else ports/comN of the\n"
    "program's folder, else the system's port), a device path, or a serial device\n"
    "server: rfc2217://HOST:PORT (RFC 2217; the line is set here) or tcp://HOST:PORT\n"
    "(raw TCP; the server sets the line).\n"
    "options:\n"
    "  --rooms CSV     run the command for every room of CSV (columns room,port[,file]),\n"
    "                  rooms in parallel; PORT comes from the file, FILE from its third\n"
    "                  column or the command line (backup, report -o: a folder, the\n"
    "                  files named by room)\n"
    "  -j N            at most N rooms at a time (default: all)\n"
    "  --model N       the unit's model as the connect dialog lists it, 0..7; 0..3 send\n"
    "                  the short dump, 4..7 the long one with the 5.1 outputs (default 4)\n"
    "  --dry-run       restore: list what would be sent and send nothing\n"
    "  --no-verify     restore: do not link again to verify\n"
    "  --json          one JSON object per room on standard output\n"
    "  --lang en|zh    language of names and of the report (default en)\n"
    "  --room NAME     the room's name, for the report and the output\n"
    "  --folder DIR    the program folder (config.ini, Pro.dat, ports/) to use\n"
    "  -o OUT          report: the HTML file to write; eq: a copy of --from (or of the\n"
    "                  folder's Pro.dat) with the slot's bands replaced by the proposal\n"
    "  --target FILE   eq: the target, a house curve in the measurement's format\n"
    "  --tilt DB       eq: a target falling (or rising) DB per octave around 1 kHz\n"
    "                  (default: flat)\n"
    "  --range LOW-HIGH  eq: the bands corrected, in Hz (default 40-16k); the others\n"
    "                  keep their values\n"
    "  --max-boost DB  eq: the highest value a band may end at, 0..15 (default 6)\n"
    "  --q Q           eq: the bands' Q in the model (default EQ_Q of config.ini, 4.32)\n"
    "  --channel music|mic  eq: the equaliser the room was measured through (default music)\n"
    "  --from PRESET   eq: the preset file holding the values the room was measured with\n"
    "                  (default: all bands 0)\n"
    "  --slot RAMn     eq: the user slot of --from and -o, RAM1..RAM3 (default RAM1)\n"
    "exit status: 0 done, 1 differences found, 2 bad usage, 3 the unit did not answer,\n"
    "4 the port cannot be opened, 5 a file cannot be read or written (or is not a\n"
    "measurement), 6 the unit did not confirm or report every setting; with --rooms the\n"
    "largest of the rooms'.\n";

const char* commandName(Command c) {
  switch (c) {
    case Command::Ports:
      return "ports";
    case Command::Probe:
      return "probe";
    case Command::Backup:
      return "backup";
    case Command::Restore:
      return "restore";
    case Command::Verify:
      return "verify";
    case Command::Diff:
      return "diff";
    case Command::Show:
      return "show";
    case Command::Report:
      return "report";
    case Command::Eq:
      return "eq";
  }
  return "?";
}

namespace {

std::optional<Command> commandOf(const std::string& word) {
  for (Command c : {Command::Ports, Command::Probe, Command::Backup, Command::Restore,
                    Command::Verify, Command::Diff, Command::Show, Command::Report, Command::Eq})
    if (word == commandName(c)) return c;
  return std::nullopt;
}

std::optional<int> number(const std::string& text, int lo, int hi) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  const int n = std::atoi(text.c_str());
  if (n < lo || n > hi) return std::nullopt;
  return n;
}

// "40", "16k", "1.25k": hertz as the bands are written.
std::optional<double> hertz(std::string text) {
  double scale = 1;
  if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) {
    text.pop_back();
    scale = 1000;
  }
  const auto v = tuning::parseDecimal(text);
  if (!v) return std::nullopt;
  return *v * scale;
}

// A decimal within lo..hi.
std::optional<double> decimal(const std::string& text, double lo, double hi) {
  const auto v = tuning::parseDecimal(text);
  if (!v || *v < lo || *v > hi) return std::nullopt;
  return v;
}

bool fail(std::string* error, const std::string& why) {
  *error = why;
  return false;
}

// The positional arguments each command takes.
bool checkArguments(Options& o, std::vector<std::string> positional, std::string* error) {
  const bool rooms = !o.rooms.empty();
  const std::string name = commandName(o.command);
  auto count = [&](std::size_t n, const char* what) {
    return positional.size() == n || fail(error, name + " takes " + what);
  };
  auto takePort = [&] {
    o.port = positional.front();
    positional.erase(positional.begin());
  };
  switch (o.command) {
    case Command::Ports:
      if (rooms) return fail(error, "ports takes no --rooms");
      return count(0, "no arguments");
    case Command::Probe:
      if (rooms) return count(0, "no PORT with --rooms");
      if (!count(1, "PORT")) return false;
      takePort();
      return true;
    case Command::Backup:
    case Command::Restore:
    case Command::Verify:
      if (rooms) {
        if (positional.size() > 1)
          return fail(error, name + " --rooms takes at most one " +
                                 (o.command == Command::Backup ? "folder" : "FILE"));
      } else {
        if (!count(2, "PORT FILE")) return false;
        takePort();
      }
      o.files = positional;
      return true;
    case Command::Diff:
      if (rooms) return fail(error, "diff takes no --rooms");
      o.files = positional;
      return count(2, "two files");
    case Command::Show:
      if (rooms) return fail(error, "show takes no --rooms");
      o.files = positional;
      return count(1, "one FILE");
    case Command::Eq:
      if (rooms) return fail(error, "eq takes no --rooms");
      o.files = positional;
      return count(1, "one MEASUREMENT");
    case Command::Report:
      if (o.output.empty()) return fail(error, "report needs -o OUT.html");
      if (rooms) {
        if (!o.port.empty())
          return fail(error, "report --rooms takes the ports from the rooms file");
        return count(0, "no FILE with --rooms");
      }
      if (o.port.empty() == positional.empty())
        return fail(error, "report takes either a FILE or --port PORT");
      o.files = positional;
      return positional.size() <= 1 || fail(error, "report takes one FILE");
  }
  return true;
}

}  // namespace

std::optional<Options> parseArgs(const std::vector<std::string>& args, std::string* error) {
  Options o;
  auto bad = [&](const std::string& why) -> std::optional<Options> {
    *error = why;
    return std::nullopt;
  };
  std::vector<std::string> positional;
  std::optional<Command> command;
  bool reportPort = false, output = false, jobs = false;
  std::string eqOption;  // the first option only eq takes
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    std::string inlineValue;
    bool hasInline = false;
    if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
      inlineValue = a.substr(a.find('=') + 1);
      a = a.substr(0, a.find('='));
      hasInline = true;
    }
    auto value = [&]() -> std::optional<std::string> {
      if (hasInline) return inlineValue;
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    auto need = [&](std::string* into) {
      const auto v = value();
      if (!v || v->empty()) return fail(error, a + " needs a value");
      *into = *v;
      return true;
    };
    std::string v;
    if (a == "-h" || a == "--help") {
      o.help = true;
      return o;
    } else if (a == "--rooms") {
      if (!need(&o.rooms)) return std::nullopt;
    } else if (a == "-j" || a == "--jobs") {
      if (!need(&v)) return std::nullopt;
      const auto n = number(v, 1, 1000);
      if (!n) return bad(a + " needs a number of rooms 1..1000, not " + v);
      o.jobs = *n;
      jobs = true;
    } else if (a == "--model") {
      if (!need(&v)) return std::nullopt;
      const auto n = number(v, 0, 7);
      if (!n) return bad("--model needs 0..7, not " + v);
      o.model = *n;
      o.modelGiven = true;
    } else if (a == "--dry-run") {
      o.dryRun = true;
    } else if (a == "--no-verify") {
      o.noVerify = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--progress-lines") {
      o.progressLines = true;
    } else if (a == "--lang") {
      if (!need(&v)) return std::nullopt;
      if (v != "en" && v != "zh") return bad("--lang is en or zh, not " + v);
      o.english = v == "en";
    } else if (a == "--room") {
      if (!need(&o.room)) return std::nullopt;
    } else if (a == "--folder") {
      if (!need(&o.folder)) return std::nullopt;
    } else if (a == "--port") {
      if (!need(&o.port)) return std::nullopt;
      reportPort = true;
    } else if (a == "-o" || a == "--output") {
      if (!need(&o.output)) return std::nullopt;
      output = true;
    } else if (a == "--target") {
      if (!need(&o.eq.target)) return std::nullopt;
      eqOption = a;
    } else if (a == "--tilt") {
      if (!need(&v)) return std::nullopt;
      o.eq.tilt = decimal(v, -6, 6);
      if (!o.eq.tilt) return bad("--tilt needs dB per octave, -6..6, not " + v);
      eqOption = a;
    } else if (a == "--range") {
      if (!need(&v)) return std::nullopt;
      const auto dash = v.find('-', 1);
      const auto low = dash == std::string::npos ? std::nullopt : hertz(v.substr(0, dash));
      const auto high = dash == std::string::npos ? std::nullopt : hertz(v.substr(dash + 1));
      if (!low || !high || *low < 20 || *high > 20000 || *low >= *high)
        return bad("--range needs LOW-HIGH in Hz within 20-20k, such as 40-16k, not " + v);
      o.eq.lowHz = *low;
      o.eq.highHz = *high;
      eqOption = a;
    } else if (a == "--max-boost") {
      if (!need(&v)) return std::nullopt;
      const auto n = number(v, 0, 15);
      if (!n) return bad("--max-boost needs 0..15 dB, not " + v);
      o.eq.maxBoost = *n;
      eqOption = a;
    } else if (a == "--q") {
      if (!need(&v)) return std::nullopt;
      o.eq.q = decimal(v, 0.1, 50);
      if (!o.eq.q) return bad("--q needs a Q of 0.1..50, not " + v);
      eqOption = a;
    } else if (a == "--channel") {
      if (!need(&v)) return std::nullopt;
      if (v != "music" && v != "mic") return bad("--channel is music or mic, not " + v);
      o.eq.mic = v == "mic";
      eqOption = a;
    } else if (a == "--from") {
      if (!need(&o.eq.from)) return std::nullopt;
      eqOption = a;
    } else if (a == "--slot") {
      if (!need(&v)) return std::nullopt;
      std::string upper = v;
      for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
      if (upper != "RAM1" && upper != "RAM2" && upper != "RAM3")
        return bad("--slot is RAM1, RAM2 or RAM3, not " + v);
      o.eq.slot = upper.back() - '1';
      eqOption = a;
    } else if (a.size() > 1 && a[0] == '-') {
      return bad("unknown option " + a);
    } else if (!command) {
      command = commandOf(a);
      if (!command) return bad("unknown command " + a);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (!command) return bad("no command given");
  o.command = *command;
  const bool port = o.command == Command::Probe || o.command == Command::Backup ||
                    o.command == Command::Restore || o.command == Command::Verify ||
                    o.command == Command::Report;
  if ((o.dryRun || o.noVerify) && o.command != Command::Restore)
    return bad(std::string(o.dryRun ? "--dry-run" : "--no-verify") + " is for restore");
  if (o.modelGiven && !port) return bad("--model is for commands that link");
  if (reportPort && o.command != Command::Report)
    return bad("--port is for report; other commands take PORT first");
  if (output && o.command != Command::Report && o.command != Command::Eq)
    return bad("-o is for report and eq");
  if (!eqOption.empty() && o.command != Command::Eq) return bad(eqOption + " is for eq");
  if (!o.eq.target.empty() && o.eq.tilt) return bad("eq takes --target or --tilt, not both");
  if (jobs && o.rooms.empty()) return bad("-j is for --rooms");
  if (!checkArguments(o, positional, error)) return std::nullopt;
  return o;
}

}  // namespace kp::ctl
