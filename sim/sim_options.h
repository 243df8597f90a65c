#pragma once
// The command line of karaoke-unit-sim: where it publishes its port, its log
// and state file, and the virtual unit's options and faults.
#include <cstdint>
#include <optional>
#include <string>

#include "sim/virtual_unit.h"

namespace kp::sim {

struct SimOptions {
  int port = 1;
  std::string folder;
  std::string log;
  std::string stateFile;
  std::optional<std::uint64_t> randomSeed;
  UnitOptions unit;
};

// Reads argv into *args. False after --help, with the usage printed on
// standard output: the program then ends at once. A bad option ends the
// program with status 2 and the usage on standard error.
bool parseSimOptions(int argc, char** argv, SimOptions* args);

}  // namespace kp::sim
