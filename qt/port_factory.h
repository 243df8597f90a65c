#pragma once
// Ports for what a port choice stands for (link/transport/port_choice.h):
// the system's serial port layer for a system port or a device path, the
// network port for a serial device server.
#include <memory>
#include <string>

#include "core/ports.h"
#include "link/transport/chosen_port.h"
#include "link/transport/port_target.h"

// A closed port that opens `target`; the port number given to it only names
// it in messages. nullptr, with the reason in *error, where the system
// cannot open such a target.
std::unique_ptr<kp::SerialPort> makePortFor(const kp::PortTarget& target, std::string* error);

// The panel's port: at every open it looks up what its COMn stands for
// ([ports] of config.ini, ports/comN, the system's port) and opens that, so
// that an edit of config.ini takes effect at the next connect; or the port
// held instead (a room's). programFolder is the program's folder.
std::unique_ptr<kp::ChosenPort> makePanelSerialPort(const std::string& programFolder);
