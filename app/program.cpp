#include "app/program.h"

#include <ctime>
#include <filesystem>

#include "core/utf8_path.h"
#include "ini/ini.h"
#include "link/frames.h"
#include "link/messages.h"

namespace kp {

namespace {
constexpr int kMainWindowOffsetTwips = 20;
const char* kRoomsFileKey = "Rooms_File";

std::string localTime(const char* format) {
  const std::time_t now = std::time(nullptr);
  char text[32] = {};
  // On the user-interface thread alone, so the shared buffer is safe.
  if (const std::tm* t = std::localtime(&now)) std::strftime(text, sizeof text, format, t);
  return text;
}
}  // namespace

Program::Program(Platform& platform, const std::string& programFolder, bool editTools)
    : p_(platform),
      form4(platform.pump),
      form1(platform.pump),
      progress(state, form4, form1),
      link(state, platform.serial, platform.clock, platform.pump, *form4.Timer1),
      presetSets(state, form4, link),
      settings(state, form3, form4, link),
      presetFile(state, form4, form3, link, platform.pump, platform.dialogs, presetSets, settings),
      saveToSlot(state, form4, form6, link),
      panel(state, form4, form3, link, platform.dialogs,
            PanelEnv{
                [this] { connection.Lock_Forms(); },
                [this] { connection.Unlock_Forms(); },
                [this] { presetSets.Music_Open_Inis(); },
                [this] { presetSets.Mic_Open_Inis(); },
                [this](std::uint8_t code) { saveToSlot.open(code); },
                [this] { presetSets.Music_Ini_Pro(); },
                [this] { presetSets.Mic_Ini_Pro(); },
            }),
      edits(state, form4, form3, panel, settings),
      connection(state, link, platform.serial, platform.dialogs, form1, *form4.Timer1,
                 ConnectionEnv{
                     {&form1, &form2, &form3, &form4, &form5, &form6},
                     &form4.Combo1,
                     &form4.Combo2,
                     [this] { language.Set_Language(); },
                     [this] {
                       panel.Is_unlink_Command();
                       progress.unlinked();
                     },
                     [this] { presetSets.Is_connect_Value(); },
                     [this](const std::string& path) { Open_Pro_Ini(path); },
                     [this] { progress.connectProgress(); },
                 }),
      receiver(state, link, platform.serial, platform.pump,
               ReceiverEnv{
                   form1.Timer1.get(),
                   &form1,
                   &form3,
                   &form4.Combo1,
                   &form4.Combo2,
                   &form4.cpvSlider(kMusicMaster),
                   &form4.cpvSlider(kMicMaster),
                   [this](std::uint8_t a, std::uint8_t v) {
                     panel.Apply_Value(a, v);
                     if (editTools_) edits.reported(a, v);
                   },
                   [this] {
                     panel.Is_link_Command();
                     if (editTools_) edits.dumpComplete();
                     progress.linked();
                   },
                   [this] { connection.Unlock_Forms(); },
                   [this] {
                     if (editTools_) edits.replacing(kAllValues);
                     progress.connectAnswered();
                   },
                   [this] { progress.dumpMessageTaken(); },
               }),
      language(state, form4, form1, form2, form3, form5, form6, panel, progress, edits),
      password(state, form5, link, platform.dialogs),
      portSettings(state, form2, platform.dialogs),
      venue(roomsWindow, VenueEnv{programFolder,
                                  {},
                                  platform.children,
                                  &platform.dialogs,
                                  &platform.desktop,
                                  [this] { return panelPortIdentity(); },
                                  [this](const Room& room) { linkToRoom(room); },
                                  [] { return localTime("%H:%M"); },
                                  [] { return localTime("%Y-%m-%d"); },
                                  [this] { return state.Is_English != 0; }}),
      equalise(state, form4, edits, platform.dialogs),
      editTools_(editTools) {
  settings.Set_Language = [this] { language.Set_Language(); };
  saveToSlot.Set_Language = [this] { language.Set_Language(); };
  password.Set_Language = [this] { language.Set_Language(); };
  state.programFolder = programFolder;
  state.currentPresetFile = state.defaultPresetPath();
  form4.left = form4.top = kMainWindowOffsetTwips;
  form4.Command(Panel::kCentreStepButton).setPicture(panel.picture("1.JPG"));
  panel.unloadConnectDialog = [this] { form1.unload(); };
  p_.serial.onReadyRead = [this] { receiver.onReadable(); };
  link.onInputDiscarded = [this] { receiver.discardUnread(); };
  p_.serial.onError = [this](const std::string& error) { connection.portLost(error); };
  wireMenus();
  wireProgress();
  if (editTools_) wireEdits();
  wireRooms();
  baseCaption_ = form4.caption();
}

// The Rooms window: Device → Rooms…, its texts in the panel's language, and
// the last rooms file, remembered in config.ini.
void Program::wireRooms() {
  // Its texts follow the language from start-up on (roomsTexts()).
  form4.rooms1.onClick = [this] {
    // The last rooms file, unless rooms are in the window already (a venue
    // being put together, or one at work).
    const std::string last = Read_Ini("config", kRoomsFileKey, state.configPath());
    std::error_code ec;
    if (venue.fileName().empty() && roomsWindow.rows.empty() && !last.empty() &&
        std::filesystem::exists(pathFromUtf8(last), ec))
      venue.openFile(last);
    roomsWindow.show();
  };
  venue.onFileChanged = [this](const std::string& path) {
    Write_Ini("config", kRoomsFileKey, path, state.configPath());
  };
  auto connect = form1.Command1.onClick;
  form1.Command1.onClick = [this, connect] {
    lastModel_ = form1.Combo1.index();
    if (connect) connect();
  };
  auto toggle = form4.China_E1.onClick;
  form4.China_E1.onClick = [this, toggle] {
    if (toggle) toggle();
    roomsTexts();
  };
}

void Program::roomsTexts() {
  std::array<std::string, Venue::kTexts> texts;
  const std::string suffix = state.Is_English ? "_e_" : "_c_";
  for (int n = 1; n <= Venue::kTexts; ++n)
    texts[static_cast<std::size_t>(n - 1)] =
        Read_Ini("config", "Rooms" + suffix + std::to_string(n), state.configPath());
  venue.setTexts(texts);
  form4.rooms1.setCaption(roomsWindow.caption() + "\xE2\x80\xA6");  // "Rooms…"
}

std::string Program::panelPortIdentity() const {
  if (!chosenPort || !p_.serial.isOpen() || !chosenPort->target()) return {};
  return portTargetIdentity(*chosenPort->target());
}

void Program::linkToRoom(const Room& room) {
  if (!chosenPort) return;
  if (state.Is_Busy || form1.Timer1->isActive()) return;  // a link or a load is under way
  if (state.Is_Linked && !p_.dialogs.ask(fillText(venue.linkQuestion(), room.name))) return;
  chosenPort->hold(room.port);
  state.roomName = room.name;
  form4.setCaption(baseCaption_ + " \xE2\x80\x94 " + room.name);
  if (state.Is_Linked) {
    // The unit of the room left hears the disconnect; the reopening opens
    // the new room's port.
    connection.unlink();
    if (!p_.serial.isOpen()) return;  // the reason has been shown
  } else {
    p_.serial.close();
  }
  form4.Label(3).setCaption(panel.statusText(state.Is_Linked));
  form4.link1.click();
  form1.Combo1.setIndex(lastModel_);
  form1.Command1.click();
}

// The operator's view of long work listens to the link and the preset file.
void Program::wireProgress() {
  link.onResent = [this] { progress.frameResent(); };
  link.onBatchStep = [this] { progress.batchStepEnded(); };
  auto& e = presetFile.events;
  e.linkedLoadStarted = [this](const std::string& path, int steps) {
    progress.linkedLoadStarted(path, steps);
  };
  e.linkedLoadReplanned = [this](int more) { progress.linkedLoadReplanned(more); };
  e.linkedLoadEnded = [this](int unconfirmed) { progress.linkedLoadEnded(unconfirmed); };
  e.saveEnded = [this](const std::string& path, const std::string& error) {
    progress.saveEnded(path, error);
  };
  e.currentFileChanged = [this] { progress.currentFileChanged(); };
  auto expiry = form4.Timer1->onTick;
  form4.Timer1->onTick = [this, expiry] {
    if (expiry) expiry();
    progress.watchdogExpired();
  };
  auto reset = form4.All_Reset1.onClick;
  form4.All_Reset1.onClick = [this, reset] {
    const bool linked = state.Is_Linked;
    if (reset) reset();
    if (linked) progress.factoryResetSent();
  };
}

void Program::wireMenus() {
  auto& f = form4;
  f.link1.onClick = [this] { connection.link1(); };
  f.unlink.onClick = [this] { connection.unlink(); };
  f.com_set1.onClick = [this] {
    language.Set_Language();
    form2.show();
  };
  f.Pass_set1.onClick = [this] { password.open(); };
  f.China_E1.onClick = [this] {
    language.toggle();
    equalise.Set_Language();
  };
  f.look_help.onClick = [this] { look_help(state.programFolder, p_.desktop); };
  f.open1.onClick = [this] { presetFile.open1(); };
  f.save1.onClick = [this] { presetFile.save1(); };
  f.Pro_set1.onClick = [this] { settings.open(); };
  // Rooms edited and not saved are not lost with the panel.
  f.mayClose = [this] { return shutDown_ || venue.keepEdits(); };
  f.exit1.onClick = [this] {
    if (form4.mayClose()) exit();
  };
  f.onClose = [this] { shutDown(); };
  // The toolbar's buttons are the menu items they stand for.
  Button* same[Form4::kToolbarButtons + 1] = {nullptr,       &f.open1,    &f.save1,     &f.link1,
                                              &f.unlink,     &f.com_set1, &f.Pass_set1, &f.Pro_set1,
                                              &f.All_Reset1, &f.China_E1, &f.exit1};
  for (int i = 1; i <= Form4::kToolbarButtons; ++i) {
    Button* item = same[i];
    f.Toolbar1(i).onClick = [item] {
      if (item->onClick) item->onClick();
    };
  }
}

void Program::Open_Pro_Ini(const std::string& path) { presetFile.Open_Pro_Ini(path); }

void Program::startUp() {
  form4.left = kMainWindowOffsetTwips;
  form4.top = kMainWindowOffsetTwips;
  form4.show();
  state.Is_English = 0;
  language.Set_Language();
  language.Set_Extra_Language();
  equalise.Set_Language();
  panel.Is_unlink_Command();
  Comm_set(state, p_.serial, form2, p_.dialogs);
  state.Is_Busy = false;
  state.Full_Model = true;
  state.Dump_Section = 0;
  state.currentPresetFile = state.defaultPresetPath();
  Open_Pro_Ini(state.currentPresetFile);
  roomsTexts();
}

void Program::shutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  link.abandonWaits();
  if (state.Is_Linked) link.writeDisconnect();
  if (p_.serial.isOpen()) p_.serial.close();
  venue.stop();
  roomsWindow.unload();
  for (Window* w :
       std::initializer_list<Window*>{&form1, &form2, &form3, &form4, &form5, &form6, &equalise})
    w->unload();
}

void Program::exit() {
  shutDown();
  if (onExit) onExit();
}

}  // namespace kp
