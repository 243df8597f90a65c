#include "ctl/unit_commands.h"

#include <cstdio>

#include "ctl/input_checks.h"
#include "ctl/preset_text.h"
#include "ctl/report_html.h"
#include "forms/form1.h"

namespace kp::ctl {

namespace {

constexpr std::size_t kNamesShown = 12;

std::string seconds(std::int64_t ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f s", static_cast<double>(ms) / 1000.0);
  return buf;
}

std::string dumpForm(const Session& s) { return s.dumpMode == 2 ? "long" : "short"; }

Outcome failed(Outcome out, Status status, std::string error) {
  out.status = status;
  out.error = std::move(error);
  return out;
}

void probe(const UnitJob& job, Session& s, Outcome& out) {
  out.summary = job.port.text + ": " + dumpForm(s) + " dump, " + std::to_string(s.dumpMessages) +
                " messages; first answer after " + std::to_string(s.answerMs) +
                " ms, its data in " + seconds(s.dumpMs);
  out.json.add("dump", dumpForm(s)).add("messages", s.dumpMessages);
  out.json.add("answer_ms", s.answerMs).add("dump_ms", s.dumpMs);
  s.unlink();
}

void backup(const UnitJob& job, Session& s, Outcome& out) {
  std::string why;
  out.status = s.save(job.file, &why);
  out.error = why;
  out.json.add("file", job.file).add("dump", dumpForm(s));
  if (out.status == Status::Done)
    out.summary = job.port.text + " → " + job.file + ": the unit's " + dumpForm(s) +
                  " dump saved (" + std::to_string(s.dumpMessages) + " messages in " +
                  seconds(s.answerMs + s.dumpMs) + ")";
}

// The unit's values against the file's, after a link; how many differ.
std::size_t compareWithFile(const UnitJob& job, Session& s, const PresetContents& file,
                            Outcome& out) {
  PresetContents unit;
  std::string why;
  const Status st = s.snapshot(&unit, &why);
  if (st != Status::Done) {
    out.status = st;
    out.error = why;
    return 0;
  }
  const auto diffs = comparePresets(file, unit, s.fullModel());
  for (std::string& line : differenceLines(diffs, "file", "unit", job.texts))
    out.details.push_back(std::move(line));
  out.json.add("differences_count", static_cast<int>(diffs.size()));
  out.json.addRaw("differences", differencesJson(diffs, "file", "unit", job.texts));
  out.status = diffs.empty() ? Status::Done : Status::Differences;
  return diffs.size();
}

void verify(const UnitJob& job, Session& s, const PresetContents& file, Outcome& out) {
  out.json.add("file", job.file);
  const std::size_t n = compareWithFile(job, s, file, out);
  if (out.status == Status::Done)
    out.summary = job.port.text + " holds what " + job.file + " holds";
  if (out.status == Status::Differences)
    out.summary = job.port.text + " differs from " + job.file + " in " + settings(n);
}

void restore(const UnitJob& job, Session& s, const PresetContents& file, Outcome& out) {
  std::string why;
  Status st = s.load(job.file, &why);
  out.json.add("file", job.file).add("frames", s.framesSent).add("resent", s.resent);
  out.json.add("unconfirmed", s.unconfirmed());
  // A link that falls leaves every later frame unconfirmed: the first of
  // them say where; --json lists them all.
  const auto& names = s.unconfirmed();
  for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i)
    out.details.push_back("not confirmed: " + names[i]);
  if (names.size() > kNamesShown)
    out.details.push_back("not confirmed: and " + std::to_string(names.size() - kNamesShown) +
                          " more");
  std::string sent =
      job.file + " → " + job.port.text + ": " + std::to_string(s.framesSent) + " frames sent";
  if (s.resent > 0) sent += ", " + std::to_string(s.resent) + " sent again";
  if (st == Status::NoAnswer || st == Status::PortFailed || st == Status::Stopped ||
      job.options.noVerify) {
    out.status = st;
    out.error = why;
    out.summary = sent + (st == Status::Done ? ", every one confirmed" : "");
    return;
  }
  // What the unit holds now is the test of the load, confirmed or not.
  s.unlink();
  st = s.link(job.options.model, &why);
  if (st != Status::Done) {
    out.status = st;
    out.error = "linking again to verify: " + why;
    return;
  }
  const std::size_t n = compareWithFile(job, s, file, out);
  out.json.add("verified", out.status == Status::Done);
  if (out.status == Status::Done)
    out.summary = sent + "; verified: the unit holds what the file holds";
  else if (out.status == Status::Differences)
    out.summary = sent + "; verified: the unit differs in " + settings(n);
}

void report(const UnitJob& job, Session& s, Outcome& out) {
  PresetContents unit;
  std::string why;
  out.status = s.snapshot(&unit, &why);
  out.error = why;
  out.json.add("file", job.file);
  if (out.status != Status::Done) return;
  ReportInfo info;
  info.room = job.options.room;
  info.port = job.port.text;
  info.dumpForm = dumpForm(s);
  info.fullModel = s.fullModel();
  info.english = job.options.english;
  out.status = writeReport(job.file, unit, info, job.folder, &why);
  out.error = why;
  if (out.status == Status::Done)
    out.summary = job.port.text + " → " + job.file + ": report written";
}

}  // namespace

Unit::Unit(Clock& clock, EventPump& pump, std::unique_ptr<SerialPort> port,
           const std::string& programFolder, const ParameterTexts& texts)
    : port_(std::move(port)),
      platform_{*port_, clock, pump, dialogs_, desktop_},
      session_(platform_, dialogs_, programFolder, texts) {}

Outcome runUnitCommand(const UnitJob& job) {
  const Options& o = job.options;
  Outcome out;
  out.json.add("command", commandName(o.command)).add("port", job.port.text);
  const bool full = o.model >= Form1::kFirstFullModel;
  PresetContents file;
  std::string why;
  Status st = Status::Done;
  if (o.command == Command::Backup || o.command == Command::Report)
    st = checkWritable(job.file, &why);
  if (o.command == Command::Restore || o.command == Command::Verify)
    st = checkPresetFile(job.file, full, &file, &why);
  if (st != Status::Done) return failed(std::move(out), st, why);

  if (job.stop && job.stop->requested())
    return failed(std::move(out), Status::Stopped, "stopped before it began");
  Unit unit(job.clock, job.pump, makePort(job.port, job.folder), job.folder, job.texts);
  Session& s = unit.session();
  s.onProgress = job.onProgress;
  // A stop from here on ends the session's work as the panel's closing does.
  struct Holder {
    StopRequest* stop;
    ~Holder() {
      if (stop) stop->onRequest = nullptr;
    }
  } holder{job.stop};
  if (job.stop) job.stop->onRequest = [&s] { s.stop(); };
  if ((st = s.start(&why)) != Status::Done) {
    s.finish();
    return failed(std::move(out), st, job.port.text + ": " + why);
  }
  if ((st = s.link(o.model, &why)) != Status::Done) {
    s.finish();
    return failed(std::move(out), st, job.port.text + ": " + why);
  }
  if (s.stopped()) {
    s.finish();
    return failed(std::move(out), Status::Stopped, job.port.text + ": stopped");
  }
  switch (o.command) {
    case Command::Probe:
      probe(job, s, out);
      break;
    case Command::Backup:
      backup(job, s, out);
      break;
    case Command::Restore:
      restore(job, s, file, out);
      break;
    case Command::Verify:
      verify(job, s, file, out);
      break;
    case Command::Report:
      report(job, s, out);
      break;
    default:
      break;
  }
  s.finish();
  return out;
}

}  // namespace kp::ctl
