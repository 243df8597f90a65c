#pragma once
// Debian's ser2net beside the tests and benchmarks, on 127.0.0.1 only, with
// a configuration of its own in the test's folder, set up as the README
// advises (kickolduser; chardelay off, or ser2net holds what the unit sends
// for a few character times at every turn of the line).
#include <unistd.h>

#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kp::test {

class Ser2netProcess {
 public:
  enum class Protocol { RawTcp, Rfc2217 };

  // The program, or "" when ser2net is not installed (Debian: /usr/sbin).
  static std::string program() {
    return access("/usr/sbin/ser2net", X_OK) == 0 ? "/usr/sbin/ser2net" : "";
  }
  // A serial device at 28800,E,8,1 without modem lines.
  static std::string serialConnector(const std::string& device) {
    return "serialdev," + device + ",28800e81,local";
  }
  // The target of <folder>/ports/com<n>: the simulator's terminal.
  static std::string linkTarget(const std::string& folder, int n) {
    std::error_code ec;
    return std::filesystem::read_symlink(folder + "/ports/com" + std::to_string(n), ec).string();
  }
  // A port nothing listens on at the time of the call.
  static int freePort() {
    QTcpServer s;
    return s.listen(QHostAddress::LocalHost, 0) ? s.serverPort() : 0;
  }

  // Serves `connector` on a free port of 127.0.0.1 and waits until it listens.
  Ser2netProcess(const std::string& folder, const std::string& connector, Protocol protocol)
      : folder_(folder), port_(freePort()), protocol_(protocol) {
    std::ofstream(folder + "/ser2net.yaml")
        << "connection: &kp\n  accepter: "
        << (protocol == Protocol::Rfc2217 ? "telnet(rfc2217)," : "") << "tcp,127.0.0.1," << port_
        << "\n  connector: " << connector
        << "\n  options:\n    kickolduser: true\n    chardelay: false\n";
    process_.setStandardOutputFile(QString::fromStdString(folder + "/ser2net.log"),
                                   QIODevice::Append);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    restart();
  }
  ~Ser2netProcess() { kill(); }

  bool ready() const { return ready_; }
  int port() const { return port_; }
  std::string url() const {
    return (protocol_ == Protocol::Rfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") +
           std::to_string(port_);
  }
  std::string log() const {
    std::ifstream in(folder_ + "/ser2net.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Ends it at once, as a crash or a pulled plug would.
  void kill() {
    process_.kill();
    process_.waitForFinished(5000);
    ready_ = false;
  }
  // Starts it (again, on the same port); returns ready().
  bool restart() {
    kill();
    if (program().empty()) return false;
    const QString f = QString::fromStdString(folder_);
    process_.start(QString::fromStdString(program()),
                   {"-n", "-u", "-P", f + "/ser2net.pid", "-c", f + "/ser2net.yaml"});
    for (int i = 0; i < 500 && process_.state() != QProcess::NotRunning && !ready_; ++i) {
      ready_ = listening();
      if (!ready_) QThread::msleep(10);
    }
    return ready_;
  }

 private:
  // From the kernel's table: a probe connection would make ser2net open the device.
  bool listening() const {
    std::ifstream in("/proc/net/tcp");
    char want[32];
    std::snprintf(want, sizeof want, "0100007F:%04X", port_);
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      std::string slot, local, remote, state;
      fields >> slot >> local >> remote >> state;
      if (local == want && state == "0A") return true;
    }
    return false;
  }

  std::string folder_;
  int port_;
  Protocol protocol_;
  QProcess process_;
  bool ready_ = false;
};

}  // namespace kp::test
