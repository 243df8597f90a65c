#pragma once
// Runs one of the built programs with arguments (UTF-8) and collects what it
// printed, the same way on both systems.
#include <string>
#include <vector>

namespace kp::test {

struct ProgramResult {
  int exitCode = -1;  // -1: it could not be started or did not end normally
  std::string out;
  std::string err;
};

// program is a path without the system's executable suffix.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace kp::test
