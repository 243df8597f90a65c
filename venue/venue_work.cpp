#include <filesystem>
#include <set>
#include <system_error>

#include "core/state.h"
#include "core/utf8_path.h"
#include "venue/engine_lines.h"
#include "venue/file_name_case.h"
#include "venue/venue.h"
#include "venue/venue_parts.h"

// The work on the rooms: one process of karaoke-ctl a room, as many at once
// as the window allows, each outcome put in words on the room's row.
namespace kp {

namespace fs = std::filesystem;

namespace {

// The statuses karaoke-ctl ends with (its README's table).
constexpr int kDone = 0;
constexpr int kDifferences = 1;
constexpr int kNoAnswer = 3;
constexpr int kStopped = 7;

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
      fillText(text(kConfirmRestore), file->empty() ? text(kColReference) : *file, names));
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
      if (!r.room.file.empty()) taken.insert(caseFolded(absoluteVenuePath(r.room.file)));
    for (const auto& [id, j] : jobs_)
      if (!j.target.empty()) taken.insert(caseFolded(absoluteVenuePath(j.target)));
    const std::string stem =
        joinPath(folder, room.name + "-" + (env_.today ? env_.today() : "backup"));
    const char* ext = action == Action::Backup ? ".dat" : ".html";
    target = stem + ext;
    for (int n = 2; taken.count(caseFolded(absoluteVenuePath(target))) ||
                    (action == Action::Backup && exists(target));
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
    return env_.dialogs->message(fillText(text(kNoEngine), env_.engine));
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
    // The engine's word for what it does, in the window's language.
    row.state = what == "dump" ? text(kReading) : what == "load" ? text(kSending) : what;
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

// "long" or "short" as the engine says it, in the window's language.
std::string Venue::dumpName(const std::string& json) const {
  const std::string dump = jsonField(json, "dump");
  return dump == "long" ? text(kLongDump) : dump == "short" ? text(kShortDump) : dump;
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
        settle(row, Verdict::Answer, fillText(text(kAnswers), dumpName(j.json)), RowTone::Good);
        break;
      case Action::Verify:
        settle(row, Verdict::Same, text(kSame), RowTone::Good);
        break;
      case Action::Backup:
        settle(row, Verdict::Done,
               fillText(text(kBackedUp), utf8FromPath(pathFromUtf8(j.target).filename())),
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
           fillText(text(j.action == Action::Restore ? kRestoredDiffer : kDiffer),
                    count.empty() ? std::to_string(j.details.size()) : count),
           RowTone::Differs);
  } else if (code == kStopped) {
    settle(row, Verdict::Stopped, error.empty() ? fillText(text(kSumStopped), "") : error,
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

}  // namespace kp
