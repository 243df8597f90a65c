// restore --dry-run: the program's own linked load, run against the virtual
// unit on virtual time, so the list is exactly what a restore sends.
#include "core/virtual_loop.h"
#include "ctl/input_checks.h"
#include "ctl/unit_commands.h"
#include "forms/form1.h"
#include "link/frames.h"
#include "sim/in_process.h"

namespace kp::ctl {

Outcome dryRunRestore(const Options& o, const std::string& file, const std::string& folder,
                      const ParameterTexts& texts) {
  Outcome out;
  out.json.add("command", "restore").add("dry_run", true).add("file", file);
  PresetContents contents;
  std::string why;
  out.status = checkPresetFile(file, o.model >= Form1::kFirstFullModel, &contents, &why);
  if (out.status != Status::Done) {
    out.error = why;
    return out;
  }
  VirtualLoop loop;
  auto owned = std::make_unique<VirtualSerialPort>(loop);
  VirtualSerialPort& port = *owned;
  Unit unit(loop, loop, std::move(owned), folder, texts);
  sim::InProcessUnit virtualUnit(loop, port);
  Session& s = unit.session();
  Status st = s.start(&why);
  if (st == Status::Done) st = s.link(o.model, &why);
  port.clearLog();
  if (st == Status::Done) st = s.load(file, &why);
  s.finish();
  if (st != Status::Done) {
    // The virtual unit takes everything: a failure here is the file's.
    out.status = Status::FileFailed;
    out.error = file + ": " + why;
    return out;
  }
  LoadFrames frames(texts);
  std::vector<std::string> names;
  const Bytes disconnect = disconnectFrame();
  for (const Bytes& w : port.writes) {
    if (w == disconnect) continue;  // the tool's own unlink at the end
    if (!frames.written(w)) continue;
    names.push_back(frames.lastName());
    out.details.push_back(std::to_string(names.size()) + "  " + names.back());
  }
  out.json.add("frames", static_cast<int>(names.size())).add("sent", names);
  out.summary = "restore of " + file + " sends these " + std::to_string(names.size()) +
                " frames to a " + (s.fullModel() ? "long" : "short") +
                "-dump unit (fewer where the unit holds a value already); nothing was sent";
  return out;
}

}  // namespace kp::ctl
