#pragma once
// The serial port dialog: ten option buttons COM1..COM10, OK and cancel.
// OK stores the chosen number under "COM" in config.ini; the port in use
// changes at the next start.
#include <array>
#include <functional>
#include <string>

#include "core/models.h"
#include "core/ports.h"
#include "core/state.h"

namespace kp {

class Form2 : public Window {
 public:
  static constexpr int kPorts = 10;

  Form2(SharedState& state, Dialogs& dialogs);

  // Option1(i) stands for port COM(i + 1).
  OptionButton& Option1(int i);
  // Selects option i alone; an index outside 0..9 selects nothing and
  // returns false.
  bool select(int i);
  // The index of the first selected option, or -1.
  int selected() const;

  Label Frame1;
  Button Command1;  // OK
  Button Command2;  // cancel

 protected:
  void onLoad() override;
  void onUnload() override;

 private:
  void ok();

  SharedState& s_;
  Dialogs& dialogs_;
  std::array<OptionButton, kPorts> options_;
  OptionButton none_;  // answers an out-of-range index, never shown
};

// Reads "COM" from config.ini, selects it in the port dialog (created hidden
// for this), applies the line settings and opens the port. On any failure
// the remaining steps are skipped and "出错内容为:" with the reason is shown;
// the port stays closed.
void Comm_set(SharedState& state, SerialPort& port, Form2& form2,
              Dialogs& dialogs);

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
