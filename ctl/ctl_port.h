#pragma once
// Every port karaoke-ctl reaches goes through here: what a PORT text stands
// for, the port that opens it, and the list of COMn for `karaoke-ctl ports`.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ports.h"
#include "link/transport/port_choice.h"

namespace kp::ctl {

// A closed port for spec, set up for the unit's line. It keeps its port
// whatever number the program's settings select (config.ini's COM is the
// panel's choice, not this command's); what it stands for is looked up at
// its opening, which says what fails.
std::unique_ptr<SerialPort> makePort(const PortChoice& spec, const std::string& programFolder);

// One line per COMn the panel offers, and per further ports/comN: what it
// stands for and whether it is there.
std::vector<std::string> portListing(const std::string& programFolder);

}  // namespace kp::ctl
