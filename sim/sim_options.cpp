#include "sim/sim_options.h"

#include <cstdlib>
#include <iostream>
#include <string>

namespace kp::sim {

namespace {

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

[[noreturn]] void usageError(const std::string& what) {
  std::cerr << "karaoke-unit-sim: " << what << "\n" << kUsage;
  std::exit(2);
}

}  // namespace

bool parseSimOptions(int argc, char** argv, SimOptions* args) {
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

}  // namespace kp::sim
