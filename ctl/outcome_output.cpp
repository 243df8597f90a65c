#include "ctl/outcome_output.h"

#include <cstdio>

#include "core/os_console.h"

namespace kp::ctl {

namespace {
void line(std::FILE* f, const std::string& text) { os::writeText(f, text + "\n"); }
}  // namespace

void printOutcome(Outcome& out, const Options& o) {
  if (o.json) {
    JsonObject j;
    if (!o.room.empty()) j.add("room", o.room);
    j.add("status", statusWord(out.status)).add("code", exitCode(out.status));
    if (!out.error.empty()) j.add("error", out.error);
    if (!out.summary.empty()) j.add("summary", out.summary);
    std::string fields = out.json.str();
    if (fields.size() > 2)
      fields = "," + fields.substr(1, fields.size() - 2);
    else
      fields.clear();
    const std::string whole = j.str();
    line(stdout, whole.substr(0, whole.size() - 1) + fields + "}");
  } else {
    for (const std::string& d : out.details) line(stdout, d);
    if (!out.summary.empty()) line(stdout, out.summary);
    if (!out.error.empty()) line(stderr, "karaoke-ctl: " + out.error);
  }
  if (o.progressLines) {
    for (const std::string& d : out.details) line(stderr, kDetailTag + d);
    if (!out.summary.empty()) line(stderr, kSummaryTag + out.summary);
    if (!out.error.empty()) line(stderr, kErrorTag + out.error);
  }
  std::fflush(stdout);
  std::fflush(stderr);
}

}  // namespace kp::ctl
