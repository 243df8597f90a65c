#pragma once
// The core's serial port on the Windows communications API: the port's
// logic (link/transport/comm_port.h) over the Win32 calls (win_comm_driver_windows.h),
// on Qt's clock and event loop. Event-driven, without threads, so an idle
// port costs nothing; see CommPort for when it polls instead.
#include <string>

#include "link/transport/comm_port.h"
#include "qt/qt_platform.h"
#include "qt/win_comm_driver_windows.h"

namespace detail {
// Built before the port that uses them, and gone after it.
struct WinSerialParts {
  WinCommDriver driver;
  QtClock clock;
  QtEventPump pump{clock};
};
}  // namespace detail

class WinSerialPort : private detail::WinSerialParts, public kp::CommPort {
 public:
  WinSerialPort();
};
