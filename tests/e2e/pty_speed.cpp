#include "tests/e2e/pty_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool readPtyLine(int fd, PtyLine* line) {
  // termios2 carries the exact speed, which the classic call can only name
  // when it is one of the standard rates (28800 is not).
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  line->inputSpeed = tio.c_ispeed;
  line->outputSpeed = tio.c_ospeed;
  line->twoStopBits = (tio.c_cflag & CSTOPB) != 0;
  line->hardwareFlow = (tio.c_cflag & CRTSCTS) != 0;
  line->softwareFlow = (tio.c_iflag & (IXON | IXOFF)) != 0;
  return true;
}
