// The commands on preset files alone: diff, show, and a report of a file.
#include "ctl/file_commands.h"

#include "core/utf8_path.h"
#include "ctl/input_checks.h"
#include "ctl/preset_text.h"
#include "ctl/report_html.h"
#include "shell/progress_display.h"

namespace kp::ctl {

namespace {

Outcome diff(const Options& o, const ParameterTexts& texts) {
  Outcome out;
  out.json.add("command", "diff").add("files", o.files);
  PresetContents a, b;
  std::string why;
  for (auto [path, into] : {std::pair{o.files[0], &a}, std::pair{o.files[1], &b}}) {
    if ((out.status = checkReadablePreset(path, into, &why)) != Status::Done) {
      out.error = why;
      return out;
    }
  }
  // Named by the files' own names; by their paths when those are the same.
  std::string first = fileNameOf(o.files[0]), second = fileNameOf(o.files[1]);
  if (first == second) {
    first = o.files[0];
    second = o.files[1];
  }
  const auto diffs = comparePresets(a, b, true);
  out.details = differenceLines(diffs, first, second, texts);
  out.json.add("differences_count", static_cast<int>(diffs.size()));
  out.json.addRaw("differences", differencesJson(diffs, first, second, texts));
  out.status = diffs.empty() ? Status::Done : Status::Differences;
  out.summary = diffs.empty() ? first + " and " + second + " hold the same settings"
                              : first + " and " + second + " differ in " + settings(diffs.size());
  return out;
}

Outcome show(const Options& o, const ParameterTexts& texts) {
  Outcome out;
  out.json.add("command", "show").add("file", o.files[0]);
  PresetContents c;
  std::string why;
  if ((out.status = checkReadablePreset(o.files[0], &c, &why)) != Status::Done) {
    out.error = why;
    return out;
  }
  out.details = contentsTable(c, texts);
  out.json.addRaw("values", contentsJson(c));
  return out;
}

Outcome reportOfFile(const Options& o, const std::string& folder) {
  Outcome out;
  out.json.add("command", "report").add("source", o.files[0]).add("file", o.output);
  PresetContents c;
  std::string why;
  if ((out.status = checkReadablePreset(o.files[0], &c, &why)) != Status::Done ||
      (out.status = checkWritable(o.output, &why)) != Status::Done) {
    out.error = why;
    return out;
  }
  ReportInfo info;
  info.room = o.room;
  info.file = o.files[0];
  // A file saved from a short-dump unit holds no 5.1 or ultra-low values.
  info.fullModel = false;
  for (std::size_t i = 0; i < presetKeys().size(); ++i)
    info.fullModel = info.fullModel || (presetKeys()[i].fullModelOnly && c.values[i]);
  info.english = o.english;
  out.status = writeReport(o.output, c, info, folder, &why);
  out.error = why;
  if (out.status == Status::Done) out.summary = o.files[0] + " → " + o.output + ": report written";
  return out;
}

}  // namespace

Outcome runFileCommand(const Options& o, const std::string& folder, const ParameterTexts& texts) {
  switch (o.command) {
    case Command::Diff:
      return diff(o, texts);
    case Command::Show:
      return show(o, texts);
    case Command::Report:
      return reportOfFile(o, folder);
    default:
      break;
  }
  Outcome out;
  out.status = Status::Usage;
  out.error = std::string(commandName(o.command)) + " needs a port";
  return out;
}

}  // namespace kp::ctl
