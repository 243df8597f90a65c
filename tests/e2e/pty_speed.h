#pragma once
// Reads back the line settings a pseudo-terminal holds. Kept apart because
// the kernel header it needs clashes with <termios.h>.

struct PtyLine {
  unsigned inputSpeed = 0;
  unsigned outputSpeed = 0;
  bool twoStopBits = false;
  bool hardwareFlow = false;  // RTS/CTS
  bool softwareFlow = false;  // XON/XOFF either way
};

// Any side of the pair reports the terminal's settings. False when the
// descriptor is not a terminal.
bool readPtyLine(int fd, PtyLine* line);
