#pragma once
// Waiting for a serial driver to send what it holds: what differs between
// systems. The Windows port (win_serial_port_windows.cpp) drains its own way.
#include <QtGlobal>

// Waits, for at most maxMs, until the driver of the open port behind handle
// has sent every byte it was given; false when it has not.
bool drainSerialDriver(qintptr handle, int maxMs);
