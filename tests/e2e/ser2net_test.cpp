// The panel through a serial device server: Debian's ser2net on 127.0.0.1,
// with a configuration of the test's own, serving karaoke-unit-sim's
// pseudo-terminal, once as raw TCP and once as RFC 2217. COM2 reaches it
// through [ports] of config.ini, as an operator would set it up.
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

// The simulator's headers (through the fixture) come before Qt's.
#include "tests/presets/preset_fixture.h"

#include <QTcpServer>
#include <QTcpSocket>

#include "link/messages.h"
#include "link/transport/rfc2217.h"
#include "panel/catalogue.h"
#include "tests/e2e/qt_rig.h"
#include "tests/e2e/ser2net_process.h"

namespace kp {
namespace {

using test::PresetData;
using test::pumpUntil;
using test::Ser2netProcess;
using Protocol = Ser2netProcess::Protocol;

constexpr int kCom = 2;      // the panel's port, mapped in [ports]
constexpr int kSimPort = 9;  // the simulator's ports/com9, which ser2net serves

std::string skipReason() {
  return Ser2netProcess::program().empty() ? "ser2net is not installed (apt-get install ser2net)"
                                           : "";
}

// A preset with a random value of its range in every slot entry, master and
// output; the device settings are the sample's, which keep their own rules.
PresetData randomPreset(std::uint32_t seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto entry = [&](ImageTable t, int row) {
    const SliderParam* p = sliderByImageRow(t, row);
    return static_cast<int>(*encodeValue(*p, pick(p->min, p->max)));
  };
  PresetData d = PresetData::sample();
  for (int n = 0; n < 3; ++n) {
    for (int k = 1; k <= 31; ++k) d.music[n][k] = entry(ImageTable::Music, k);
    for (int k = 1; k <= 37; ++k) d.mic[n][k] = entry(ImageTable::Mic, k);
  }
  // A master never goes above its channel's maximum volume.
  d.set("Music_Master", pick(0, d.num("MUSIC_MAX_VOLUME")));
  d.set("Mic_Master", pick(0, d.num("MIC_MAX_VOLUME")));
  const char* outputs[] = {"L", "R", "SL", "SR", "C", "SUB"};
  for (int i = 0; i < 6; ++i)
    d.set(outputs[i],
          pick(sliderParam(kFirstSurround + i)->min, sliderParam(kFirstSurround + i)->max));
  return d;
}

class Ser2netLink : public ::testing::TestWithParam<Protocol> {
 protected:
  void SetUp() override {
    if (const std::string why = skipReason(); !why.empty()) GTEST_SKIP() << why;
    sim = std::make_unique<test::SimProcess>(
        rig.folder.str(), kSimPort, std::vector<std::string>{"--log", rig.folder.file("unit.log")});
    ASSERT_TRUE(sim->ready());
    server = std::make_unique<Ser2netProcess>(
        rig.folder.str(),
        Ser2netProcess::serialConnector(Ser2netProcess::linkTarget(rig.folder.str(), kSimPort)),
        GetParam());
    ASSERT_TRUE(server->ready()) << server->log();
    rig.folder.write("config.ini", "[config]\r\nCOM=" + std::to_string(kCom) +
                                       "\r\n[ports]\r\nCOM" + std::to_string(kCom) + "=" +
                                       server->url() + "\r\n");
  }
  void TearDown() override {
    if (rig.program) rig.program->shutDown();
  }

  Program& start() {
    Program& p = rig.make();
    p.startUp();
    EXPECT_TRUE(rig.serial->isOpen())
        << (rig.dialogs.messages.empty() ? "" : rig.dialogs.messages[0]);
    return p;
  }
  // Connects as the operator does and waits for the dump to complete.
  bool link(int model) {
    Program& p = *rig.program;
    p.form4.link1.click();
    p.form1.Combo1.setIndex(model);
    p.form1.Command1.click();
    const bool ok = pumpUntil([&] { return p.state.Is_Linked; }, 30000);
    pumpUntil([&] { return !p.state.Awaiting_Reply && !p.state.Is_Busy; }, 1000);
    return ok;
  }

  test::PanelRig rig;
  std::unique_ptr<test::SimProcess> sim;
  std::unique_ptr<Ser2netProcess> server;
};

TEST_P(Ser2netLink, LinksWithTheLongDumpAndLoadsARandomPresetWithEveryFrameConfirmed) {
  Program& p = start();
  ASSERT_TRUE(link(4));
  EXPECT_TRUE(p.state.Full_Model);
  EXPECT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages.front();
  EXPECT_EQ(p.receiver.framer().droppedBytes(), 0u);

  const std::uint32_t seed = std::random_device{}();
  SCOPED_TRACE("preset seed " + std::to_string(seed));
  const PresetData file = randomPreset(seed);
  rig.folder.write("Random.dat", file.text());
  rig.dialogs.fileAnswers.push_back(rig.folder.file("Random.dat"));
  p.form4.open1.click();  // returns when the load is done
  EXPECT_TRUE(p.state.Is_Linked);
  EXPECT_EQ(p.link.unconfirmed(), 0) << "every frame was answered by the unit";
  EXPECT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages.front();

  // What the unit holds now comes back in the dump of a new link.
  p.form4.unlink.click();
  ASSERT_FALSE(p.state.Is_Linked);
  test::forgetUnitData(p.state);
  ASSERT_TRUE(link(4));
  test::expectProgramHolds(p, file);

  // Closing the panel sends the disconnect frame, and the unit hears it
  // whole before the connection ends: the unlink's and this one.
  p.shutDown();
  EXPECT_TRUE(
      pumpUntil([&] { return test::disconnectsHeard(rig.folder.read("unit.log")) == 2; }, 3000))
      << rig.folder.read("unit.log");
}

TEST_P(Ser2netLink, AServerKilledWhileLinkedIsAPulledPlugAndLinksAgainOnceBack) {
  Program& p = start();
  ASSERT_TRUE(link(0));
  server->kill();
  ASSERT_TRUE(pumpUntil([&] { return !rig.dialogs.messages.empty(); }, 5000))
      << "the lost connection must reach the operator";
  const std::string& text = rig.dialogs.messages[0];
  EXPECT_EQ(text.rfind(kErrorPrefix, 0), 0u) << text;
  EXPECT_NE(text.find("COM2 (" + server->url() + ") was disconnected"), std::string::npos) << text;
  EXPECT_FALSE(p.state.Is_Linked);
  EXPECT_FALSE(rig.serial->isOpen());
  EXPECT_FALSE(p.form4.Timer1->isActive());
  EXPECT_TRUE(p.form4.enabled());
  pumpUntil([] { return false; }, 500);
  EXPECT_EQ(rig.dialogs.messages.size(), 1u) << "said once";

  // While it is down a connect says so and leaves the dialog usable.
  p.form4.link1.click();
  p.form1.Command1.click();
  ASSERT_EQ(rig.dialogs.messages.size(), 2u);
  EXPECT_EQ(rig.dialogs.messages[1], std::string(kErrorPrefix) + "cannot reach 127.0.0.1:" +
                                         std::to_string(server->port()) + " (Connection refused)");
  EXPECT_TRUE(p.form1.Command1.enabled());

  ASSERT_TRUE(server->restart()) << server->log();
  ASSERT_TRUE(link(0)) << "the same COM2 links again";
  Slider& master = p.form4.cpvSlider(kMusicMaster);
  master.operatorSet(master.value() == 20 ? 21 : 20);
  EXPECT_TRUE(pumpUntil([&] { return !p.state.Awaiting_Reply; }, 3000)) << "and is answered";
  EXPECT_EQ(rig.dialogs.messages.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Protocols, Ser2netLink,
                         ::testing::Values(Protocol::RawTcp, Protocol::Rfc2217),
                         [](const auto& info) {
                           return info.param == Protocol::Rfc2217 ? std::string("Rfc2217")
                                                                  : std::string("RawTcp");
                         });

// A device server behind ser2net (which relays its answers) that cannot do
// even parity: it says yes to every option and answers every setting as
// asked, but parity with none. ser2net sends each command whole.
class NoParityServer {
 public:
  NoParityServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      QTcpSocket* s = server_.nextPendingConnection();
      QObject::connect(s, &QTcpSocket::readyRead, [s] {
        using namespace telnet;
        QByteArray in = s->readAll(), out;
        for (qsizetype i = 0; i + 2 < in.size(); ++i) {
          if (static_cast<std::uint8_t>(in[i]) != IAC) continue;
          const auto verb = static_cast<std::uint8_t>(in[i + 1]);
          if (verb == WILL || verb == DO) {
            out += QByteArray(1, static_cast<char>(IAC)) +
                   static_cast<char>(verb == WILL ? DO : WILL) + in[i + 2];
          } else if (verb == SB && i + 4 < in.size()) {
            QByteArray sub = in.mid(i, in.indexOf("\xFF\xF0", i) + 2 - i);
            sub[3] = static_cast<char>(sub[3] + rfc2217::kServerOffset);
            if (in[i + 3] == rfc2217::SET_PARITY) sub[4] = rfc2217::PARITY_NONE;
            out += sub;
            i += sub.size() - 1;
          }
        }
        s->write(out);
      });
    });
  }
  int port() const { return server_.serverPort(); }

 private:
  QTcpServer server_;
};

TEST(Ser2netRefusal, ASettingTheServerDoesNotTakeIsNamedAndThePortStaysClosed) {
  if (const std::string why = skipReason(); !why.empty()) GTEST_SKIP() << why;
  test::PanelRig rig;
  NoParityServer behind;
  ASSERT_GT(behind.port(), 0);
  struct Case {
    std::string connector;
    std::string says;
  } cases[] = {
      {"telnet(rfc2217),tcp,127.0.0.1," + std::to_string(behind.port()),
       "the server did not take even parity (it answered: no parity)"},
      // A connector that is no serial line agrees to the option but never
      // answers a setting.
      {"stdio,cat", "the server did not answer the setting of 28800 baud within 3 s"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connector);
    Ser2netProcess server(rig.folder.str(), c.connector, Protocol::Rfc2217);
    ASSERT_TRUE(server.ready()) << server.log();
    rig.folder.write("config.ini", "[config]\r\nCOM=2\r\n[ports]\r\nCOM2=" + server.url() + "\r\n");
    rig.dialogs.messages.clear();
    Program& p = rig.make();
    p.startUp();
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0],
              std::string(kErrorPrefix) + "COM2 (" + server.url() + "): " + c.says);
    EXPECT_FALSE(rig.serial->isOpen());
    EXPECT_FALSE(p.state.Is_Linked);
    p.shutDown();
  }
}

}  // namespace
}  // namespace kp
