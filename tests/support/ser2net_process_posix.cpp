#include "tests/support/ser2net_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace kp::test {

namespace fs = std::filesystem;

namespace {

// Whether something listens on 127.0.0.1:port, from the kernel's table, so
// that looking does not itself open a connection (ser2net would open the
// device for it).
bool listening(int port) {
  std::ifstream in("/proc/net/tcp");
  char want[32];
  std::snprintf(want, sizeof want, "0100007F:%04X", port);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (local == want && state == "0A") return true;
  }
  return false;
}

}  // namespace

std::string Ser2netProcess::program() {
  std::vector<std::string> dirs;
  if (const char* path = std::getenv("PATH")) {
    std::stringstream s(path);
    for (std::string d; std::getline(s, d, ':');) dirs.push_back(d);
  }
  // Debian puts it where a user's PATH often does not reach.
  dirs.insert(dirs.end(), {"/usr/sbin", "/sbin", "/usr/local/sbin"});
  for (const auto& d : dirs) {
    const std::string p = d + "/ser2net";
    if (access(p.c_str(), X_OK) == 0) return p;
  }
  return {};
}

std::string Ser2netProcess::serialConnector(const std::string& device) {
  return "serialdev," + device + ",28800e81,local";
}

Ser2netProcess::Ser2netProcess(const std::string& folder, const std::string& connector,
                               Protocol protocol)
    : folder_(folder), config_(folder + "/ser2net.yaml"), protocol_(protocol) {
  port_ = freeLoopbackPort();
  std::ofstream yaml(config_);
  yaml << "connection: &kp\n"
       << "  accepter: " << (protocol == Protocol::Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,")
       << "127.0.0.1," << port_ << "\n"
       << "  connector: " << connector << "\n"
       << "  options:\n"
       << "    kickolduser: true\n    chardelay: false\n";
  yaml.close();
  start();
}

Ser2netProcess::~Ser2netProcess() { kill(); }

std::string Ser2netProcess::url() const {
  return std::string(protocol_ == Protocol::Rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" +
         std::to_string(port_);
}

bool Ser2netProcess::start() {
  ready_ = false;
  const std::string exe = program();
  if (exe.empty() || port_ <= 0) return false;
  const std::string pidFile = folder_ + "/ser2net.pid";
  const std::string logFile = folder_ + "/ser2net.log";
  std::vector<std::string> args = {exe, "-n", "-u", "-P", pidFile, "-c", config_};
  std::fflush(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    const int fd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  for (int i = 0; i < 500 && pid_ > 0; ++i) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    if (listening(port_)) return ready_ = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void Ser2netProcess::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  ready_ = false;
}

bool Ser2netProcess::restart() {
  kill();
  return start();
}

std::string Ser2netProcess::log() const {
  std::ifstream in(folder_ + "/ser2net.log");
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string linkTarget(const std::string& folder, int n) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(fs::path(folder) / "ports" / ("com" + std::to_string(n)), ec);
  return ec ? std::string() : target.string();
}

int freeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  int port = -1;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

}  // namespace kp::test
