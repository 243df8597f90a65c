#include "ctl/eq_command.h"

#include <cstdio>
#include <filesystem>

#include "core/os_files.h"
#include "core/utf8_path.h"
#include "ctl/input_checks.h"
#include "ini/ini.h"
#include "panel/catalogue.h"
#include "shell/progress_display.h"
#include "tuning/eq_proposal.h"
#include "tuning/measurement.h"

namespace kp::ctl {

namespace {

namespace fs = std::filesystem;
using tuning::kBands;

std::string sectionOf(const EqOptions& eq) {
  return (eq.mic ? "Mic_" : "Music_") + std::to_string(eq.slot);
}

std::string slotName(const EqOptions& eq) {
  return std::string(eq.mic ? "Microphone" : "Music") + " RAM" + std::to_string(eq.slot + 1);
}

std::string figure(double v, const char* format = "%.2f") {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::string signedText(int v) { return v > 0 ? "+" + std::to_string(v) : std::to_string(v); }

std::string numbersJson(const tuning::BandValues& values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) out += (i ? "," : "") + std::to_string(values[i]);
  return out + "]";
}

// The values of the slot a preset file holds: all 31 bands, or why not.
Status readSlot(const EqOptions& eq, tuning::BandValues* values, std::string* error) {
  PresetContents contents;
  if (const Status s = checkReadablePreset(eq.from, &contents, error); s != Status::Done) return s;
  const std::string section = sectionOf(eq);
  for (int k = 1; k <= kBands; ++k) {
    const auto byte = contents.value(section, std::to_string(k));
    if (!byte) {
      *error = eq.from + ": [" + section + "] " + std::to_string(k) + ": missing";
      return Status::FileFailed;
    }
    (*values)[static_cast<std::size_t>(k - 1)] = *byte - kBandOffset;
  }
  return Status::Done;
}

// A copy of source with the slot's bands replaced, put in place of output
// in one step: a failure leaves output as it was.
Status writeCopy(const std::string& source, const std::string& output, const EqOptions& eq,
                 const tuning::BandValues& values, std::string* error) {
  const fs::path target = pathFromUtf8(output);
  fs::path working = target;
  working += ".eq-working";
  std::error_code ec;
  fs::copy_file(pathFromUtf8(source), working, fs::copy_options::overwrite_existing, ec);
  std::string why = ec ? ec.message() : "";
  const std::string copy = utf8FromPath(working);
  for (int k = 1; k <= kBands && why.empty(); ++k)
    Write_Ini(sectionOf(eq), std::to_string(k),
              std::to_string(values[static_cast<std::size_t>(k - 1)] + kBandOffset), copy, &why,
              IniDurability::WorkingCopy);
  if (why.empty()) Sync_Ini(copy, &why);
  if (why.empty() && os::replaceFile(working, target, true, why)) return Status::Done;
  os::removeFile(working);
  *error = "cannot write " + output + ": " + why;
  return Status::FileFailed;
}

}  // namespace

Outcome runEqCommand(const Options& o, const std::string& folder) {
  Outcome out;
  const EqOptions& eq = o.eq;
  const std::string& path = o.files.front();
  out.json.add("command", "eq").add("measurement", path).add("channel", eq.mic ? "mic" : "music");
  auto failed = [&](Status s, const std::string& why) {
    out.status = s;
    out.error = why;
    return out;
  };

  const tuning::ResponseText measured =
      tuning::readResponseFile(path, tuning::kMinMeasurementPoints);
  if (!measured.ok()) return failed(Status::FileFailed, path + ": " + measured.describe());
  tuning::Target target;
  if (!eq.target.empty()) {
    const tuning::ResponseText curve =
        tuning::readResponseFile(eq.target, tuning::kMinTargetPoints);
    if (!curve.ok()) return failed(Status::FileFailed, eq.target + ": " + curve.describe());
    target.curve = tuning::LogCurve(curve.points);
  }
  target.tiltDbPerOctave = eq.tilt.value_or(0);
  tuning::BandValues current{};
  std::string why;
  if (!eq.from.empty())
    if (const Status s = readSlot(eq, &current, &why); s != Status::Done) return failed(s, why);
  // -o without --from copies the program folder's default preset.
  const std::string source = eq.from.empty() ? joinPath(folder, "Pro.dat") : eq.from;
  if (!o.output.empty()) {
    PresetContents unused;
    if (const Status s = checkReadablePreset(source, &unused, &why); s != Status::Done)
      return failed(s, why);
    if (const Status s = checkWritable(o.output, &why); s != Status::Done) return failed(s, why);
  }

  tuning::EqModel model = tuning::EqModel::fromConfig(joinPath(folder, "config.ini"));
  if (eq.q) model.q = *eq.q;
  tuning::Limits limits;
  limits.lowHz = eq.lowHz;
  limits.highHz = eq.highHz;
  limits.maxBoost = eq.maxBoost;
  const tuning::LogCurve curve(measured.points);
  const auto proposal = tuning::proposeBands({curve, target, limits, current, model}, &why);
  if (!proposal) return failed(Status::FileFailed, path + ": " + why);

  out.details.push_back("band     current  proposed");
  for (int k = 1; k <= kBands; ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    char line[64];
    std::snprintf(line, sizeof line, "%-8s %7s  %8s%s", bandFrequency(k),
                  signedText(current[i]).c_str(), signedText(proposal->proposed[i]).c_str(),
                  proposal->corrected[i] ? "" : "  (outside the range)");
    out.details.push_back(line);
  }
  out.json.add("slot", slotName(eq))
      .addRaw("bands", numbersJson(proposal->proposed))
      .addRaw("current", numbersJson(current))
      .addRaw("error_before_db", figure(proposal->errorBeforeDb))
      .addRaw("error_after_db", figure(proposal->errorAfterDb));
  out.summary =
      fileNameOf(path) + ", " + slotName(eq) + ", " + tuning::frequencyText(limits.lowHz) + " to " +
      tuning::frequencyText(limits.highHz) + ": error " + figure(proposal->errorBeforeDb, "%.1f") +
      " dB before, " + figure(proposal->errorAfterDb, "%.1f") + " dB after (RMS)";
  if (!o.output.empty()) {
    if (const Status s = writeCopy(source, o.output, eq, proposal->proposed, &why);
        s != Status::Done)
      return failed(s, why);
    out.json.add("file", o.output);
    out.summary += "; " + o.output + " written";
  }
  return out;
}

}  // namespace kp::ctl
