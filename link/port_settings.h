#pragma once
// The port settings: the serial port dialog's behaviour (OK stores the
// chosen number under "COM" in config.ini; the port in use changes at the
// next start) and the opening of the stored port at start-up.
#include <optional>
#include <string>

#include "core/ports.h"
#include "core/state.h"
#include "forms/form2.h"

namespace kp {

class PortSettings {
 public:
  PortSettings(SharedState& state, Form2& form2, Dialogs& dialogs);

 private:
  void loadStep();
  void ok();

  SharedState& s_;
  Form2& f2_;
  Dialogs& dialogs_;
};

// Reads "COM" from config.ini, selects it in the port dialog (created hidden
// for this), applies the line settings and opens the port. On any failure
// the remaining steps are skipped and "出错内容为:" with the reason is shown;
// the port stays closed.
void Comm_set(SharedState& state, SerialPort& port, Form2& form2, Dialogs& dialogs);

// The unit's line settings and read size, as Comm_set applies them before it
// opens the port; for a tool that opens a port of its own choosing.
void Configure_Port(SerialPort& port);

// The port number stored in config.ini, as the classic integer conversion
// reads it: a number rounded to the nearest integer (halves to even).
// nullopt for an empty or non-numeric text.
std::optional<int> parsePortNumber(const std::string& text);
// The port dialog's option for the stored text: one less than the number,
// rounded only then ("3.5" is COM3, where the port opened is COM4).
std::optional<int> portOptionIndex(const std::string& text);

}  // namespace kp
