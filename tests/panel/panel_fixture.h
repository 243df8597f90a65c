#pragma once
// A started program on virtual time, with helpers to put the main window into
// the linked state and to read what went out on the serial line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/frames.h"
#include "tests/support/rig.h"

namespace kp::test {

inline constexpr const char* kPanelConfig =
    "[config]\r\n"
    "COM=1\r\n"
    "Connect_c_1=A\r\n"
    "Connect_c_2=B\r\n"
    "Connect_c_3=C\r\n"
    "Connect_e_1=Status\r\n"
    "Connect_e_2=Linked\r\n"
    "Connect_e_3=Offline\r\n";

class PanelTest : public ::testing::Test {
 protected:
  PanelTest() {
    rig.config(kPanelConfig);
    // The default preset file beside the program: full master ranges and
    // nothing else, so each test sets up the values it looks at.
    rig.folder.write("Pro.dat", "[config]\r\nMIC_MAX_VOLUME=100\r\nMUSIC_MAX_VOLUME=100\r\n");
    p = &rig.make();
    p->startUp();
    rig.port.clearLog();
    rig.dialogs.messages.clear();
  }

  Program& prog() { return *p; }
  SharedState& state() { return p->state; }
  Form4& f4() { return p->form4; }
  Form3& f3() { return p->form3; }

  // The panel as the end of a dump leaves it.
  void link(bool fullModel = true) {
    state().Full_Model = fullModel;
    state().Is_Linked = true;
    p->panel.Is_link_Command();
  }

  // Both lists with all eight modes, then the given entries selected while
  // unlinked (which only shows the table slots), so a later link starts with
  // a mode in force.
  void selectModesOffline(int music, int mic) {
    p->presetSets.Is_connect_Value();
    if (music >= 0) f4().Combo1.setIndex(music);
    if (mic >= 0) f4().Combo2.setIndex(mic);
  }

  // Six-byte frames written to the port, without the single acknowledge bytes.
  std::vector<Bytes> frames() const {
    std::vector<Bytes> out;
    for (const auto& w : rig.port.writes)
      if (w.size() == kFrameSize) out.push_back(w);
    return out;
  }

  // The unit sends one parameter frame; the receive handling runs.
  void unitReports(std::uint8_t address, std::uint8_t value) {
    rig.port.receive(commandFrame(address, value));
    rig.loop.settle();
  }

  std::vector<Window*> windows() { return {&p->form1, &p->form2, &p->form3, &p->form4}; }

  const std::vector<std::string>& messages() const { return rig.dialogs.messages; }

  Rig rig;
  Program* p = nullptr;
};

}  // namespace kp::test
