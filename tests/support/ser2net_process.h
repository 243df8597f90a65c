#pragma once
// Runs Debian's ser2net beside the tests, on 127.0.0.1 only, with a
// configuration of its own in the test's folder: a device server in a box,
// set up as the README advises (kickolduser, and chardelay off: by default
// ser2net holds what the unit sends for a few character times before it
// passes it on, which costs milliseconds at every turn of the line).
#include <string>

namespace kp::test {

class Ser2netProcess {
 public:
  // The accepter's protocol; for rfc2217 the panel sets the line itself.
  enum class Protocol { RawTcp, Rfc2217 };

  // The program, or "" when ser2net is not installed.
  static std::string program();

  // Serves `connector` (a ser2net connector such as
  // "serialdev,/dev/pts/3,28800e81,local") on a free port of 127.0.0.1;
  // files go to `folder`. Waits (up to 5 s) until it listens.
  Ser2netProcess(const std::string& folder, const std::string& connector, Protocol protocol);
  ~Ser2netProcess();
  Ser2netProcess(const Ser2netProcess&) = delete;
  Ser2netProcess& operator=(const Ser2netProcess&) = delete;

  // The connector for a serial device at 28800,E,8,1 without modem lines.
  static std::string serialConnector(const std::string& device);

  bool ready() const { return ready_; }
  int port() const { return port_; }
  // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT".
  std::string url() const;
  // Ends it at once (SIGKILL), as a crash or a pulled plug would, and waits.
  void kill();
  // Starts it again on the same port; returns ready().
  bool restart();
  // What ser2net printed, for failure messages.
  std::string log() const;

 private:
  bool start();

  std::string folder_;
  std::string config_;
  Protocol protocol_;
  int port_ = 0;
  int pid_ = -1;
  bool ready_ = false;
};

// The target of the link <folder>/ports/com<n> (the simulator's terminal).
std::string linkTarget(const std::string& folder, int n);

// A free TCP port on 127.0.0.1 at the time of the call.
int freeLoopbackPort();

}  // namespace kp::test
