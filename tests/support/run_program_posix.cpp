#include "tests/support/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kp::test {

namespace {
std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
}  // namespace

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args) {
  char outName[] = "/tmp/kp-run-out-XXXXXX";
  char errName[] = "/tmp/kp-run-err-XXXXXX";
  const int out = ::mkstemp(outName);
  const int err = ::mkstemp(errName);
  ProgramResult result;
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t child = out >= 0 && err >= 0 ? ::fork() : -1;
  if (child == 0) {
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  if (out >= 0) ::close(out);
  if (err >= 0) ::close(err);
  result.out = slurp(outName);
  result.err = slurp(errName);
  ::unlink(outName);
  ::unlink(errName);
  return result;
}

}  // namespace kp::test
