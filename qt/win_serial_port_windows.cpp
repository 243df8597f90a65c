#include "qt/win_serial_port_windows.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSerial, "kp.serial")

WinSerialPort::WinSerialPort() : kp::CommPort(driver, clock, pump) {
  // Line errors and the switch to polling, for support: shown with
  // QT_LOGGING_RULES="kp.serial.info=true".
  onLog = [](const std::string& line) { qCInfo(lcSerial, "%s", line.c_str()); };
}
