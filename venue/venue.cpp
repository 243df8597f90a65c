#include "venue/venue.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/state.h"
#include "core/utf8_path.h"
#include "venue/engine_lines.h"
#include "venue/file_name_case.h"

namespace kp {

namespace fs = std::filesystem;

namespace {

// The statuses karaoke-ctl ends with (its README's table).
constexpr int kDone = 0;
constexpr int kDifferences = 1;
constexpr int kNoAnswer = 3;
constexpr int kStopped = 7;

std::string fill(const std::string& text, const std::string& first,
                 const std::string& second = {}) {
  std::string out = text;
  for (const auto& [mark, with] :
       {std::pair<std::string, std::string>{"%1", first}, {"%2", second}}) {
    for (auto at = out.find(mark); at != std::string::npos; at = out.find(mark, at + with.size()))
      out.replace(at, mark.size(), with);
  }
  return out;
}

// A field of the one JSON object a room's process prints: a string's text
// or a number's digits; empty when the object has no such field.
std::string jsonField(const std::string& json, const std::string& key) {
  const std::string head = "\"" + key + "\":";
  const auto at = json.find(head);
  if (at == std::string::npos) return {};
  std::size_t i = at + head.size();
  if (i < json.size() && json[i] == '"') {
    const auto end = json.find('"', i + 1);
    return end == std::string::npos ? std::string() : json.substr(i + 1, end - i - 1);
  }
  const auto end = json.find_first_of(",}", i);
  return json.substr(i, end == std::string::npos ? std::string::npos : end - i);
}

std::string absolute(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(pathFromUtf8(path), ec);
  return ec ? path : utf8FromPath(p.lexically_normal());
}

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(pathFromUtf8(path), ec);
}

const char* commandOf(Venue::Action a) {
  switch (a) {
    case Venue::Action::Check:
      return "probe";
    case Venue::Action::Verify:
      return "verify";
    case Venue::Action::Backup:
      return "backup";
    case Venue::Action::Restore:
      return "restore";
    case Venue::Action::Report:
      return "report";
  }
  return "probe";
}

}  // namespace

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
      "Choose one room to link to."};
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
    if (const auto path = env_.dialogs->openFile(file_, "*.csv")) openFile(*path);
  };
  w_.New1.onClick = [this] { newFile(); };
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
  w_.FileLabel.setCaption(file_.empty() ? text(kNoFile) : fill(text(kFileName), file_));
  w_.headings.clear();
  for (int id = kColRoom; id <= kColProgress; ++id) w_.headings.push_back(text(id));
  refreshSummary();
  w_.rowChanged(-1);
}

// The reference as the rooms file writes it: relative to its folder.
std::string Venue::shownReference(const Room& room) const {
  if (room.file.empty()) return {};
  const std::string base = file_.empty() ? env_.programFolder : folderOfFile(file_);
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
  std::string error;
  auto rooms = readRoomsFile(path, env_.programFolder, &error);
  if (!rooms) {
    env_.dialogs->message(error);
    return false;
  }
  file_ = absolute(path);
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
  file_ = absolute(path);
  for (RoomRow& r : w_.rows) r.reference = shownReference(r.room);
  applyTexts();
  if (onFileChanged) onFileChanged(file_);
  return true;
}

void Venue::newFile() {
  if (busy()) return env_.dialogs->message(text(kBusy));
  file_.clear();
  setRows({});
  applyTexts();
}

// The rooms as a whole, checked as a rooms file is when it is read: a room
// named twice or two rooms on one port are refused.
bool Venue::checkRooms(const std::vector<Room>& rooms, std::string* error) const {
  if (rooms.empty()) return true;
  const std::string base = file_.empty() ? env_.programFolder : folderOfFile(file_);
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
    const std::string base = file_.empty() ? env_.programFolder : folderOfFile(file_);
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
    room.name = fill(text(kNewRoom), std::to_string(n));
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
  w_.rows = std::move(kept);
  verdicts_ = std::move(verdicts);
  refreshSummary();
  w_.rowChanged(-1);
}

std::vector<int> Venue::chosenRows() const {
  std::vector<int> all, selected;
  for (std::size_t i = 0; i < w_.rows.size(); ++i) {
    all.push_back(static_cast<int>(i));
    if (w_.rows[i].selected) selected.push_back(static_cast<int>(i));
  }
  return selected.empty() ? all : selected;
}

// What an action asks before it runs: the file a restore sends, the folder a
// backup writes into, the confirmation naming the rooms. False: cancelled.
bool Venue::prepare(Action action, std::string* file, std::string* folder) {
  const std::string rooms =
      folderOfFile(file_.empty() ? joinPath(env_.programFolder, "rooms.csv") : file_);
  if (action == Action::Backup) {
    const auto chosen = env_.dialogs->chooseFolder(rooms);
    if (!chosen) return false;
    *folder = *chosen;
  }
  if (action == Action::Report) {
    *folder = joinPath(rooms, "reports");
    std::error_code ec;
    fs::create_directories(pathFromUtf8(*folder), ec);
  }
  if (action != Action::Restore) return true;
  if (file->empty() && !env_.dialogs->ask(text(kAskRestoreReference))) {
    const auto chosen = env_.dialogs->openFile(rooms, "*.dat");
    if (!chosen) return false;
    *file = *chosen;
  }
  std::string names;
  for (int i : chosenRows())
    names += (names.empty() ? "" : ", ") + w_.rows[static_cast<std::size_t>(i)].room.name;
  return env_.dialogs->ask(
      fill(text(kConfirmRestore), file->empty() ? text(kColReference) : *file, names));
}

std::optional<Venue::Job> Venue::jobFor(int i, Action action, const std::string& file,
                                        const std::string& folder) {
  RoomRow& row = w_.rows[static_cast<std::size_t>(i)];
  const Room& room = row.room;
  if (env_.panelPort && !env_.panelPort().empty() &&
      env_.panelPort() == portChoiceIdentity(room.port, env_.programFolder)) {
    settle(row, Verdict::None, text(kSkipped), RowTone::Failed);
    return std::nullopt;
  }
  Job job;
  job.row = i;
  job.action = action;
  job.args = {commandOf(action), "--json",   "--progress-lines", "--room",
              room.name,         "--folder", env_.programFolder};
  if (env_.english && !env_.english()) job.args.insert(job.args.end(), {"--lang", "zh"});
  std::string target = file;
  if (action == Action::Verify || (action == Action::Restore && file.empty())) target = room.file;
  if ((action == Action::Verify || action == Action::Restore) && target.empty()) {
    settle(row, Verdict::None, text(kNoReference), RowTone::Failed);
    return std::nullopt;
  }
  if (action == Action::Backup || action == Action::Report) {
    // Named after the room and the date; never over a reference file or a
    // file another room of this run writes.
    std::set<std::string> taken;
    for (const RoomRow& r : w_.rows)
      if (!r.room.file.empty()) taken.insert(caseFolded(absolute(r.room.file)));
    for (const auto& [id, j] : jobs_)
      if (!j.target.empty()) taken.insert(caseFolded(absolute(j.target)));
    const std::string stem =
        joinPath(folder, room.name + "-" + (env_.today ? env_.today() : "backup"));
    const char* ext = action == Action::Backup ? ".dat" : ".html";
    target = stem + ext;
    for (int n = 2;
         taken.count(caseFolded(absolute(target))) || (action == Action::Backup && exists(target));
         ++n)
      target = stem + "-" + std::to_string(n) + ext;
    job.target = target;
  }
  if (action == Action::Report) {
    job.args.insert(job.args.end(), {"--port", room.port.text, "-o", target});
  } else {
    job.args.push_back(room.port.text);
    if (!target.empty() && action != Action::Check) job.args.push_back(target);
  }
  return job;
}

void Venue::run(Action action, const std::string& chosenFile) {
  if (busy()) return env_.dialogs->message(text(kBusy));
  if (!env_.children || env_.engine.empty())
    return env_.dialogs->message(fill(text(kNoEngine), env_.engine));
  if (w_.rows.empty()) return;
  std::string file = chosenFile, folder;
  if (!prepare(action, &file, &folder)) return;
  stopping_ = false;
  reports_.clear();
  for (int i : chosenRows()) {
    auto job = jobFor(i, action, file, folder);
    if (!job) continue;
    RoomRow& row = w_.rows[static_cast<std::size_t>(i)];
    row.busy = true;
    row.done = row.total = 0;
    row.details.clear();
    row.state = text(kWaiting);
    row.tone = RowTone::Busy;
    w_.rowChanged(i);
    jobs_.emplace(nextId_++, std::move(*job));
  }
  env_.children->onOutputLine = [this](int id, const std::string& line) {
    if (auto it = jobs_.find(id); it != jobs_.end() && !line.empty()) it->second.json = line;
  };
  env_.children->onErrorLine = [this](int id, const std::string& line) { errorLine(id, line); };
  env_.children->onFinished = [this](int id, int code, const std::string& why) {
    finished(id, code, why);
  };
  availability();
  startNext();
  refreshSummary();
}

void Venue::startNext() {
  int running = 0;
  for (const auto& [id, j] : jobs_) running += j.started ? 1 : 0;
  const int limit = w_.Jobs1.value() > 0 ? w_.Jobs1.value() : static_cast<int>(jobs_.size());
  // Copied out first: a child that cannot start finishes at once, inside start().
  std::vector<int> ready;
  for (auto& [id, j] : jobs_) {
    if (stopping_ || running >= limit) break;
    if (j.started) continue;
    j.started = true;
    ++running;
    ready.push_back(id);
  }
  for (int id : ready) {
    auto it = jobs_.find(id);
    if (it != jobs_.end()) env_.children->start(id, env_.engine, it->second.args);
  }
}

void Venue::errorLine(int id, const std::string& line) {
  auto it = jobs_.find(id);
  if (it == jobs_.end()) return;
  Job& j = it->second;
  RoomRow& row = w_.rows[static_cast<std::size_t>(j.row)];
  std::string what, rest;
  int done = 0, total = 0;
  if (parseProgressLine(line, &what, &done, &total)) {
    row.state = what;
    row.done = done;
    row.total = total;
    w_.rowChanged(j.row);
  } else if (taggedLine(line, kSummaryTag, &rest)) {
    j.summary = rest;
  } else if (taggedLine(line, kDetailTag, &rest)) {
    j.details.push_back(rest);
  } else if (taggedLine(line, kErrorTag, &rest)) {
    j.error = rest;
  } else if (!line.empty() && j.error.empty()) {
    j.error = line;
  }
}

void Venue::finished(int id, int code, const std::string& why) {
  auto it = jobs_.find(id);
  if (it == jobs_.end()) return;
  Job j = std::move(it->second);
  jobs_.erase(it);
  RoomRow& row = w_.rows[static_cast<std::size_t>(j.row)];
  row.busy = false;
  row.details = j.details;
  if (!j.summary.empty()) row.details.push_back(j.summary);
  // The engine names the port first; the row says that already.
  std::string error = j.error;
  const std::string head = row.room.port.text + ": ";
  if (error.compare(0, head.size(), head) == 0) error = error.substr(head.size());
  if (!error.empty()) row.details.push_back(j.error);
  const std::string count = jsonField(j.json, "differences_count");
  if (code == kDone) {
    switch (j.action) {
      case Action::Check:
        settle(row, Verdict::Answer, fill(text(kAnswers), jsonField(j.json, "dump")),
               RowTone::Good);
        break;
      case Action::Verify:
        settle(row, Verdict::Same, text(kSame), RowTone::Good);
        break;
      case Action::Backup:
        settle(row, Verdict::Done,
               fill(text(kBackedUp), utf8FromPath(pathFromUtf8(j.target).filename())),
               RowTone::Good);
        break;
      case Action::Restore:
        settle(row, Verdict::Same, text(kRestored), RowTone::Good);
        break;
      case Action::Report:
        settle(row, Verdict::Done, text(kReportWritten), RowTone::Good);
        reports_.push_back(j.target);
        break;
    }
  } else if (code == kDifferences) {
    settle(row, Verdict::Differ,
           fill(text(j.action == Action::Restore ? kRestoredDiffer : kDiffer),
                count.empty() ? std::to_string(j.details.size()) : count),
           RowTone::Differs);
  } else if (code == kStopped) {
    settle(row, Verdict::Stopped, error.empty() ? fill(text(kSumStopped), "") : error,
           RowTone::Failed);
  } else {
    if (error.empty()) error = why.empty() ? "ended with status " + std::to_string(code) : why;
    settle(row, code == kNoAnswer ? Verdict::NoAnswer : Verdict::Failed, error, RowTone::Failed);
  }
  startNext();
  if (jobs_.empty()) {
    stopping_ = false;
    for (const std::string& r : reports_)
      if (env_.desktop) env_.desktop->openDocument(r);
    reports_.clear();
    availability();
  }
  refreshSummary();
}

void Venue::settle(RoomRow& row, Verdict verdict, const std::string& state, RowTone tone) {
  row.busy = false;
  row.state = state;
  row.tone = tone;
  row.checkedAt = env_.timeOfDay ? env_.timeOfDay() : std::string();
  const auto i = static_cast<std::size_t>(&row - w_.rows.data());
  if (i < verdicts_.size()) verdicts_[i] = verdict;
  w_.rowChanged(static_cast<int>(i));
}

void Venue::stop() {
  if (!busy()) return;
  stopping_ = true;
  std::vector<int> waiting;
  for (const auto& [id, j] : jobs_) {
    if (j.started) {
      env_.children->stop(id);
    } else {
      waiting.push_back(id);
    }
  }
  for (int id : waiting) {
    const int row = jobs_.at(id).row;
    jobs_.erase(id);
    settle(w_.rows[static_cast<std::size_t>(row)], Verdict::Stopped, text(kNotStarted),
           RowTone::Failed);
  }
  if (jobs_.empty()) {
    stopping_ = false;
    availability();
  }
  refreshSummary();
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
    if (n > 0) out += (out.empty() ? "" : ", ") + fill(text(id), std::to_string(n));
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
