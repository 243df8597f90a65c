#pragma once
// Ports for what a COMn stands for (link/port_target.h): the system's serial
// port layer for a system port or a device path, the network port for a
// serial device server.
#include <memory>
#include <string>

#include "core/ports.h"
#include "link/port_target.h"

// A port that opens `target` whatever port number it is given (the number
// only names it in messages). programFolder is the program's folder.
std::unique_ptr<kp::SerialPort> makePortFor(const kp::PortTarget& target,
                                            const std::string& programFolder);

// The panel's port: at every open it looks up what its COMn stands for
// (lookupPortTarget: [ports] of config.ini, ports/comN, the system's port)
// and opens that, so that an edit of config.ini takes effect at the next
// connect. A [ports] entry that does not parse fails the open with the
// reason.
std::unique_ptr<kp::SerialPort> makePanelSerialPort(const std::string& programFolder);
