#include "venue/venue.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/state.h"
#include "core/utf8_path.h"
#include "venue/file_name_case.h"
#include "venue/venue_parts.h"

namespace kp {

namespace fs = std::filesystem;

std::string absoluteVenuePath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(pathFromUtf8(path), ec);
  return ec ? path : utf8FromPath(p.lexically_normal());
}

const std::array<std::string, Venue::kTexts>& Venue::englishTexts() {
  static const std::array<std::string, kTexts> texts = {
      "Rooms",
      "Open",
      "New",
      "Save",
      "Save As",
      "Add room",
      "Remove",
      "Check",
      "Verify",
      "Back up",
      "Restore",
      "Report",
      "Link to room",
      "Stop",
      "Rooms at once (0: all)",
      "Room",
      "Port",
      "Stands for",
      "Reference",
      "State",
      "Checked",
      "Progress",
      "Rooms file: %1",
      "No rooms file: add rooms, or open one",
      "waiting",
      "answers: %1 dump",
      "same",
      "values differ: %1",
      "backed up: %1",
      "restored and verified",
      "restored, but values differ: %1",
      "report written",
      "skipped: the panel itself holds this port",
      "no reference file",
      "stopped: not started",
      "%1 same",
      "%1 differ",
      "%1 no answer",
      "%1 failed",
      "%1 stopped",
      "%1 answer",
      "%1 done",
      "Restore each room's own reference file?\n(No: choose one preset file for all of them.)",
      "Restore %1 into these rooms: %2?\nWhat their units hold now is replaced.",
      "The panel is linked. Unlink it and link to room %1?",
      "The work on the rooms needs karaoke-ctl beside the panel (%1).",
      "Stop the work on the rooms first.",
      "room %1",
      "Choose one room to link to.",
      "The rooms have changes that are not saved. Save them?\n(No: the changes are lost.)",
      "long",
      "short",
      "reading the unit",
      "sending settings"};
  return texts;
}

Venue::Venue(RoomsWindow& window, VenueEnv env) : w_(window), env_(std::move(env)) {
  texts_ = englishTexts();
  wire();
  applyTexts();
  availability();
}

void Venue::setTexts(const std::array<std::string, kTexts>& texts) {
  for (std::size_t i = 0; i < texts.size(); ++i)
    texts_[i] = texts[i].empty() ? englishTexts()[i] : texts[i];
  applyTexts();
}

void Venue::wire() {
  w_.Open1.onClick = [this] {
    if (busy()) return env_.dialogs->message(text(kBusy));
    if (!keepEdits()) return;
    if (const auto path = env_.dialogs->openFile(file_, "*.csv")) openFile(*path);
  };
  w_.New1.onClick = [this] {
    if (busy()) return env_.dialogs->message(text(kBusy));
    if (keepEdits()) newFile();
  };
  w_.SaveAs1.onClick = [this] {
    if (const auto path = env_.dialogs->saveFile(file_, "*.csv")) saveFile(*path);
  };
  w_.Save1.onClick = [this] {
    if (!file_.empty()) {
      saveFile(file_);
    } else if (w_.SaveAs1.onClick) {
      w_.SaveAs1.onClick();
    }
  };
  w_.Add1.onClick = [this] { addRoom(); };
  w_.Remove1.onClick = [this] { removeSelected(); };
  w_.Check1.onClick = [this] { run(Action::Check); };
  w_.Verify1.onClick = [this] { run(Action::Verify); };
  w_.Backup1.onClick = [this] { run(Action::Backup); };
  w_.Restore1.onClick = [this] { run(Action::Restore); };
  w_.Report1.onClick = [this] { run(Action::Report); };
  w_.Stop1.onClick = [this] { stop(); };
  w_.LinkRoom1.onClick = [this] {
    std::vector<int> chosen;
    for (std::size_t i = 0; i < w_.rows.size(); ++i)
      if (w_.rows[i].selected) chosen.push_back(static_cast<int>(i));
    if (chosen.size() != 1) return env_.dialogs->message(text(kNoSelection));
    if (w_.onActivated) w_.onActivated(chosen.front());
  };
  w_.onActivated = [this](int row) {
    if (busy()) return env_.dialogs->message(text(kBusy));
    if (row >= 0 && row < static_cast<int>(w_.rows.size()) && env_.linkToRoom)
      env_.linkToRoom(w_.rows[static_cast<std::size_t>(row)].room);
  };
  w_.onCellEdited = [this](int row, int column, const std::string& t) { editCell(row, column, t); };
}

void Venue::applyTexts() {
  w_.setCaption(text(kTitle));
  const std::pair<Button*, int> buttons[] = {
      {&w_.Open1, kOpen},       {&w_.New1, kNew},       {&w_.Save1, kSave},
      {&w_.SaveAs1, kSaveAs},   {&w_.Add1, kAdd},       {&w_.Remove1, kRemove},
      {&w_.Check1, kCheck},     {&w_.Verify1, kVerify}, {&w_.Backup1, kBackup},
      {&w_.Restore1, kRestore}, {&w_.Report1, kReport}, {&w_.LinkRoom1, kLinkToRoom},
      {&w_.Stop1, kStop}};
  for (const auto& [b, id] : buttons) {
    b->setCaption(text(id));
    b->setAccessibleName(text(id));
  }
  w_.JobsLabel.setCaption(text(kJobs));
  w_.Jobs1.setAccessibleName(text(kJobs));
  w_.FileLabel.setCaption(file_.empty() ? text(kNoFile) : fillText(text(kFileName), file_));
  w_.headings.clear();
  for (int id = kColRoom; id <= kColProgress; ++id) w_.headings.push_back(text(id));
  refreshSummary();
  w_.rowChanged(-1);
}

// Where the rooms file's relative paths start: its folder, or the program's
// while there is no file yet.
std::string Venue::baseFolder() const {
  return file_.empty() ? env_.programFolder : folderOfFile(file_);
}

// The reference as the rooms file writes it: relative to its folder.
std::string Venue::shownReference(const Room& room) const {
  if (room.file.empty()) return {};
  const std::string base = baseFolder();
  std::error_code ec;
  const auto rel = fs::relative(pathFromUtf8(room.file), pathFromUtf8(base), ec);
  return !ec && !rel.empty() && *rel.begin() != ".." ? utf8FromPath(rel) : room.file;
}

void Venue::setRows(std::vector<Room> rooms) {
  w_.rows.clear();
  for (Room& r : rooms) {
    RoomRow row;
    row.standsFor = describePortChoice(r.port, env_.programFolder);
    row.room = std::move(r);
    row.reference = shownReference(row.room);
    w_.rows.push_back(std::move(row));
  }
  verdicts_.assign(w_.rows.size(), Verdict::None);
  refreshSummary();
  w_.rowChanged(-1);
}

bool Venue::openFile(const std::string& path) {
  // The rows of rooms at work stay as they are until the work ends.
  if (busy()) {
    env_.dialogs->message(text(kBusy));
    return false;
  }
  std::string error;
  auto rooms = readRoomsFile(path, env_.programFolder, &error);
  if (!rooms) {
    env_.dialogs->message(error);
    return false;
  }
  file_ = absoluteVenuePath(path);
  edited_ = false;
  setRows(std::move(*rooms));
  applyTexts();
  if (onFileChanged) onFileChanged(file_);
  return true;
}

bool Venue::saveFile(const std::string& path) {
  std::vector<Room> rooms;
  for (const RoomRow& r : w_.rows) rooms.push_back(r.room);
  std::string error;
  if (!saveRoomsFile(path, rooms, &error)) {
    env_.dialogs->message(error);
    return false;
  }
  file_ = absoluteVenuePath(path);
  edited_ = false;
  for (RoomRow& r : w_.rows) r.reference = shownReference(r.room);
  applyTexts();
  if (onFileChanged) onFileChanged(file_);
  return true;
}

void Venue::newFile() {
  if (busy()) return env_.dialogs->message(text(kBusy));
  file_.clear();
  edited_ = false;
  setRows({});
  applyTexts();
}

bool Venue::keepEdits() {
  if (!edited_ || (file_.empty() && w_.rows.empty())) return true;
  if (!env_.dialogs->ask(text(kAskSaveRooms))) return true;
  if (!file_.empty()) return saveFile(file_);
  const auto path = env_.dialogs->saveFile(file_, "*.csv");
  return path && saveFile(*path);
}

// The rooms as a whole, checked as a rooms file is when it is read: a room
// named twice or two rooms on one port are refused.
bool Venue::checkRooms(const std::vector<Room>& rooms, std::string* error) const {
  if (rooms.empty()) return true;
  const std::string base = baseFolder();
  return parseRooms(roomsText(rooms, base), file_.empty() ? "rooms" : file_, env_.programFolder,
                    base, error)
      .has_value();
}

void Venue::editCell(int row, int column, const std::string& t) {
  if (row < 0 || row >= static_cast<int>(w_.rows.size())) return;
  if (busy()) {
    env_.dialogs->message(text(kBusy));
    return w_.rowChanged(row);
  }
  std::vector<Room> rooms;
  for (const RoomRow& r : w_.rows) rooms.push_back(r.room);
  Room& room = rooms[static_cast<std::size_t>(row)];
  std::string error;
  if (column == 0) {
    room.name = t;
  } else if (column == 1) {
    const auto port = parsePortChoice(t, &error);
    if (!port) {
      env_.dialogs->message(t + ": " + error);
      return w_.rowChanged(row);
    }
    room.port = *port;
  } else if (column == 3) {
    const std::string base = baseFolder();
    room.file = t.empty() || pathFromUtf8(t).is_absolute() ? t : joinPath(base, t);
  } else {
    return w_.rowChanged(row);
  }
  if (!checkRooms(rooms, &error)) {
    env_.dialogs->message(error);
    return w_.rowChanged(row);
  }
  RoomRow& r = w_.rows[static_cast<std::size_t>(row)];
  r.room = room;
  r.standsFor = describePortChoice(room.port, env_.programFolder);
  r.reference = shownReference(room);
  edited_ = true;
  w_.rowChanged(row);
}

void Venue::addRoom() {
  if (busy()) return env_.dialogs->message(text(kBusy));
  std::vector<Room> rooms;
  std::set<std::string> names, ports;
  for (const RoomRow& r : w_.rows) {
    rooms.push_back(r.room);
    names.insert(caseFolded(r.room.name));
    ports.insert(portChoiceIdentity(r.room.port, env_.programFolder));
  }
  Room room;
  for (int n = static_cast<int>(rooms.size()) + 1;
       room.name.empty() || names.count(caseFolded(room.name)); ++n)
    room.name = fillText(text(kNewRoom), std::to_string(n));
  // The first COMn no room is on yet; the operator changes it in the table.
  for (int n = 1; n <= kMaxComNumber; ++n) {
    room.port = comChoice(n);
    if (!ports.count(portChoiceIdentity(room.port, env_.programFolder))) break;
  }
  rooms.push_back(room);
  std::string error;
  if (!checkRooms(rooms, &error)) return env_.dialogs->message(error);
  RoomRow row;
  row.room = room;
  row.standsFor = describePortChoice(room.port, env_.programFolder);
  w_.rows.push_back(row);
  verdicts_.push_back(Verdict::None);
  edited_ = true;
  refreshSummary();
  w_.rowChanged(-1);
}

void Venue::removeSelected() {
  if (busy()) return env_.dialogs->message(text(kBusy));
  std::vector<RoomRow> kept;
  std::vector<Verdict> verdicts;
  for (std::size_t i = 0; i < w_.rows.size(); ++i) {
    if (w_.rows[i].selected) continue;
    kept.push_back(w_.rows[i]);
    verdicts.push_back(i < verdicts_.size() ? verdicts_[i] : Verdict::None);
  }
  edited_ = edited_ || kept.size() != w_.rows.size();
  w_.rows = std::move(kept);
  verdicts_ = std::move(verdicts);
  refreshSummary();
  w_.rowChanged(-1);
}

std::string Venue::summary() const {
  const std::pair<Verdict, int> order[] = {
      {Verdict::Same, kSumSame},         {Verdict::Differ, kSumDiffer},
      {Verdict::Answer, kSumAnswer},     {Verdict::Done, kSumDone},
      {Verdict::NoAnswer, kSumNoAnswer}, {Verdict::Failed, kSumFailed},
      {Verdict::Stopped, kSumStopped}};
  std::string out;
  for (const auto& [v, id] : order) {
    const auto n = std::count(verdicts_.begin(), verdicts_.end(), v);
    if (n > 0) out += (out.empty() ? "" : ", ") + fillText(text(id), std::to_string(n));
  }
  return out;
}

void Venue::refreshSummary() { w_.Summary.setCaption(summary()); }

void Venue::availability() {
  const bool idle = !busy();
  for (Button* b : {&w_.Open1, &w_.New1, &w_.Add1, &w_.Remove1, &w_.Check1, &w_.Verify1,
                    &w_.Backup1, &w_.Restore1, &w_.Report1, &w_.LinkRoom1})
    b->setEnabled(idle);
  w_.Stop1.setEnabled(!idle);
}

}  // namespace kp
