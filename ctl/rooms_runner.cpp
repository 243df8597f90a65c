#include "ctl/rooms_runner.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "core/os_console.h"
#include "core/state.h"
#include "core/utf8_path.h"
#include "ctl/input_checks.h"
#include "ctl/json_writer.h"
#include "ctl/outcome_output.h"
#include "ctl/progress_view.h"
#include "ctl/rooms_board.h"
#include "forms/form1.h"
#include "venue/file_name_case.h"

namespace kp::ctl {

namespace fs = std::filesystem;

namespace {

constexpr int kTurnMs = 200;

bool isFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(pathFromUtf8(path), ec);
}

fs::path absolutePath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(pathFromUtf8(path), ec);
  return ec ? pathFromUtf8(path) : p;
}

// Two names of one file, as a case-blind file system sees them (file_name_case.h).
std::string sameFileKey(const std::string& path) {
  return caseFolded(utf8FromPath(absolutePath(path).lexically_normal()));
}

void say(std::FILE* f, const std::string& text) {
  os::writeText(f, text + "\n");
  std::fflush(f);
}

struct Running {
  std::string json;
  std::string summary, error;
  std::vector<std::string> details, stray;
};

}  // namespace

std::optional<std::vector<RoomJob>> planRooms(const Options& o, const std::vector<Room>& rooms,
                                              const std::string& folder, std::string* error,
                                              Status* status) {
  *status = Status::Usage;
  const std::string given = o.files.empty() ? std::string() : o.files.front();
  const bool writes = o.command == Command::Backup || o.command == Command::Report;
  const std::string outFolder = o.command == Command::Report ? o.output : given;
  if (writes && !outFolder.empty() && !isFolder(outFolder)) {
    *error = outFolder + " is not a folder: with --rooms, " +
             (o.command == Command::Report ? "-o names" : "backup takes") +
             " the folder the rooms' files go into";
    *status = Status::FileFailed;
    return std::nullopt;
  }
  std::vector<RoomJob> jobs;
  std::set<std::string> targets, references;
  for (const Room& r : rooms)
    if (!r.file.empty()) references.insert(sameFileKey(r.file));
  std::map<std::string, Status> checked;  // preset files already found good (or not)
  for (const Room& r : rooms) {
    RoomJob job{r,
                {commandName(o.command), "--json", "--progress-lines", "--room", r.name, "--folder",
                 folder},
                {}};
    if (o.modelGiven) job.args.insert(job.args.end(), {"--model", std::to_string(o.model)});
    if (!o.english) job.args.insert(job.args.end(), {"--lang", "zh"});
    if (o.noVerify) job.args.push_back("--no-verify");
    if (o.dryRun) job.args.push_back("--dry-run");
    // A report goes into -o's folder: the third column is the room's
    // reference preset, never something to write over.
    std::string file = o.command == Command::Report ? std::string() : r.file;
    if (writes && file.empty() && !outFolder.empty())
      file = joinPath(outFolder, r.name + (o.command == Command::Report ? ".html" : ".dat"));
    if (o.command == Command::Restore || o.command == Command::Verify) {
      if (file.empty()) file = given;
      if (file.empty()) {
        *error = "room " + r.name + " (line " + std::to_string(r.line) +
                 ") names no preset file, and none was given";
        return std::nullopt;
      }
      auto it = checked.find(file);
      if (it == checked.end()) {
        PresetContents c;
        it = checked
                 .emplace(file, checkPresetFile(file, o.model >= Form1::kFirstFullModel, &c, error))
                 .first;
      }
      if (it->second != Status::Done) {
        *status = it->second;
        *error = "room " + r.name + ": " + *error;
        return std::nullopt;
      }
    }
    if (writes) {
      if (file.empty()) {
        *error = "room " + r.name + " (line " + std::to_string(r.line) +
                 ") names no file, and no folder was given";
        return std::nullopt;
      }
      const std::string key = sameFileKey(file);
      if (!targets.insert(key).second) {
        *error = "room " + r.name + " would write " + file + ", which another room writes too";
        return std::nullopt;
      }
      if (o.command == Command::Report && references.count(key)) {
        *error = "room " + r.name + "'s report " + file + " is a room's preset file";
        return std::nullopt;
      }
      if ((*status = checkWritable(file, error)) != Status::Done) {
        *error = "room " + r.name + ": " + *error;
        return std::nullopt;
      }
      job.target = file;
    }
    if (o.command == Command::Report) {
      job.args.insert(job.args.end(), {"--port", r.port.text, "-o", file});
    } else {
      job.args.push_back(r.port.text);
      if (!file.empty()) job.args.push_back(file);
    }
    jobs.push_back(std::move(job));
  }
  *status = Status::Done;
  return jobs;
}

int runRooms(const RoomsRun& run) {
  const Options& o = run.options;
  std::string error;
  const auto rooms = readRoomsFile(o.rooms, run.folder, &error);
  if (!rooms) {
    say(stderr, "karaoke-ctl: " + error);
    return exitCode(Status::Usage);
  }
  Status status = Status::Done;
  const auto jobs = planRooms(o, *rooms, run.folder, &error, &status);
  if (!jobs) {
    say(stderr, "karaoke-ctl: " + error + "; no room was started");
    return exitCode(status);
  }

  RoomsBoard board(run.bars && !o.json);
  std::map<int, Running> running;
  std::map<Status, int> counts;
  int worst = 0, next = 0, active = 0;
  const int limit = o.jobs > 0 ? o.jobs : static_cast<int>(jobs->size());
  const std::int64_t t0 = run.clock.nowMs();
  auto label = [&](int id) {
    const Room& r = (*jobs)[static_cast<std::size_t>(id)].room;
    return r.name + " (" + r.port.text + ")";
  };
  bool stopping = false;
  auto startNext = [&] {
    while (!stopping && active < limit && next < static_cast<int>(jobs->size())) {
      ++active;
      const int id = next++;
      running[id];
      board.progress(id, label(id), "starting", 0, 0);
      run.children.start(id, run.program, (*jobs)[static_cast<std::size_t>(id)].args);
    }
  };
  run.children.onOutputLine = [&](int id, const std::string& line) {
    if (!line.empty()) running[id].json = line;
  };
  run.children.onErrorLine = [&](int id, const std::string& line) {
    Running& r = running[id];
    std::string what;
    int done = 0, total = 0;
    std::string rest;
    if (parseProgressLine(line, &what, &done, &total))
      board.progress(id, label(id), what, done, total);
    else if (taggedLine(line, kSummaryTag, &rest))
      r.summary = rest;
    else if (taggedLine(line, kDetailTag, &rest))
      r.details.push_back(rest);
    else if (taggedLine(line, kErrorTag, &rest))
      r.error = rest;
    else if (!line.empty())
      r.stray.push_back(line);
  };
  run.children.onFinished = [&](int id, int code, const std::string& why) {
    Running& r = running[id];
    const Room& room = (*jobs)[static_cast<std::size_t>(id)].room;
    // A process that died says nothing of its own: its last words are all there is.
    if (code < 0 || code > exitCode(Status::Stopped)) {
      if (r.error.empty())
        r.error = "its process ended abnormally" + (why.empty() ? "" : " (" + why + ")") +
                  (r.stray.empty() ? "" : ": " + r.stray.back());
      code = exitCode(Status::Incomplete);
      r.json.clear();
    }
    const Status st = static_cast<Status>(code);
    ++counts[st];
    worst = std::max(worst, code);
    std::vector<std::string> lines;
    if (o.json) {
      if (r.json.empty())
        r.json = JsonObject()
                     .add("room", room.name)
                     .add("status", statusWord(st))
                     .add("code", code)
                     .add("error", r.error)
                     .add("port", room.port.text)
                     .str();
      lines.push_back(r.json);
    } else {
      lines.push_back(room.name + ": " + statusWord(st) +
                      (r.summary.empty() ? "" : ": " + r.summary));
      for (const std::string& d : r.details) lines.push_back("    " + d);
      if (!r.error.empty()) lines.push_back("    " + r.error);
    }
    board.finished(id, lines);
    --active;
    startNext();
  };
  // A stop ends the rooms under way as each of them ends its own work, and
  // starts no other; the rooms not started say so.
  struct Holder {
    StopRequest* stop;
    ~Holder() {
      if (stop) stop->onRequest = nullptr;
    }
  } holder{run.stop};
  auto stopAll = [&] {
    stopping = true;
    for (const auto& [id, r] : running) run.children.stop(id);
  };
  if (run.stop) run.stop->onRequest = stopAll;
  if (run.stop && run.stop->requested()) stopAll();
  startNext();
  while (active > 0) run.pump.runOnce(run.clock.nowMs() + kTurnMs);
  for (; next < static_cast<int>(jobs->size()); ++next) {
    const Room& room = (*jobs)[static_cast<std::size_t>(next)].room;
    ++counts[Status::Stopped];
    worst = std::max(worst, exitCode(Status::Stopped));
    board.finished(next, {o.json ? JsonObject()
                                       .add("room", room.name)
                                       .add("status", statusWord(Status::Stopped))
                                       .add("code", exitCode(Status::Stopped))
                                       .add("error", "stopped before it began")
                                       .add("port", room.port.text)
                                       .str()
                                 : room.name + ": stopped: not started"});
  }

  const std::int64_t ms = run.clock.nowMs() - t0;
  if (o.json) {
    JsonObject total;
    total.add("rooms", static_cast<int>(jobs->size())).add("code", worst).addSeconds("seconds", ms);
    for (const auto& [st, n] : counts) total.add(statusWord(st), n);
    say(stdout, JsonObject().addRaw("total", total.str()).str());
  } else {
    std::string line = std::to_string(jobs->size()) + " rooms:";
    bool first = true;
    for (const auto& [st, n] : counts) {
      line += (first ? " " : ", ") + std::to_string(n) + " " + statusWord(st);
      first = false;
    }
    char secs[32];
    std::snprintf(secs, sizeof secs, " (%.1f s)", static_cast<double>(ms) / 1000.0);
    say(stdout, line + secs);
  }
  return worst;
}

}  // namespace kp::ctl
