// The karaoke panel: starts the main window on Qt and hands the core its
// serial port, clock, event loop and dialogs.
#include <QApplication>
#include <QDir>
#include <QStyleFactory>

#include "app/program.h"
#include "app/program_folder.h"
#include "core/os_files.h"
#include "qt/frame_log.h"
#include "qt/port_factory.h"
#include "qt/qt_child_processes.h"
#include "qt/qt_platform.h"
#include "qt/system_end.h"
#include "ui/connect_dialog.h"
#include "ui/equalise_dialog.h"
#include "ui/main_window.h"
#include "ui/panel_style.h"
#include "ui/password_dialog.h"
#include "ui/port_dialog.h"
#include "ui/qt_dialogs.h"
#include "ui/rooms_view.h"
#include "ui/save_slot_dialog.h"
#include "ui/settings_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("karaoke-panel");
  QApplication::setApplicationDisplayName("卡拉OK 控制面板");
  // Dialogs are top-level windows: they take the panel's look from here.
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setPalette(kp::ui::panelPalette());
  const std::string exeDir =
      QDir::toNativeSeparators(QApplication::applicationDirPath()).toStdString();
  const std::string userDir = kp::os::userDataFolder("karaoke-panel");
  const std::string folder = kp::chooseProgramFolder(exeDir, userDir);

  // COMn is what config.ini's [ports] says, or the system's own port.
  const std::unique_ptr<kp::ChosenPort> panelSerial = makePanelSerialPort(folder);
  LoggingSerialPort serial(*panelSerial);
  QtClock clock;
  QtEventPump pump(clock);
  QtDialogs dialogs;
  QtDesktop desktop;
  // The Rooms window's work: karaoke-ctl beside the panel, a process a room.
  QtChildProcesses children;
  kp::Platform platform{serial, clock, pump, dialogs, desktop, &children};

  kp::Program program(platform, folder);
  program.chosenPort = panelSerial.get();
  program.venue.setEngine(
      QDir(QApplication::applicationDirPath()).filePath("karaoke-ctl").toStdString(), &children);
  kp::ui::MainWindow window(program.form4);
  kp::ui::PortDialog portDialog(program.form2, QString::fromStdString(folder), &window);
  kp::ui::ConnectDialog connectDialog(program.form1, &window);
  kp::ui::SettingsDialog settingsDialog(program.form3, &window);
  kp::ui::PasswordDialog passwordDialog(program.form5, &window);
  kp::ui::SaveSlotDialog saveSlotDialog(program.form6, &window);
  kp::ui::RoomsView roomsView(program.roomsWindow, &window);
  kp::ui::EqualiseDialog equaliseDialog(program.equalise, &window);
  dialogs.setParent(&window);

  program.onExit = [] { QApplication::quit(); };
  // Ended by the system (a logout, a shutdown, kill), the panel shuts down
  // as when its window is closed.
  onSystemEnd([&program] { program.exit(); });
  QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
  program.startUp();
  return app.exec();
}
