#include "ctl/input_checks.h"

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

#include "core/os_files.h"
#include "core/utf8_path.h"

namespace kp::ctl {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kProblemsShown = 3;

std::string joinProblems(const std::vector<std::string>& lines) {
  std::string out;
  for (std::size_t i = 0; i < lines.size() && i < kProblemsShown; ++i)
    out += (i ? "; " : "") + lines[i];
  if (lines.size() > kProblemsShown)
    out += " (and " + std::to_string(lines.size() - kProblemsShown) + " more)";
  return out;
}

}  // namespace

Status checkPresetFile(const std::string& path, bool fullModel, PresetContents* contents,
                       std::string* error) {
  std::string why;
  if (!readPresetContents(path, contents, &why)) {
    *error = path + ": " + why;
    return Status::FileFailed;
  }
  const auto lines = contents->problemLines(fullModel);
  if (lines.empty()) return Status::Done;
  *error = path + ": " + joinProblems(lines);
  if (!fullModel) return Status::FileFailed;
  // A file saved from a unit of the short-dump group has no 5.1 or ultra-low keys.
  if (contents->problemLines(false).empty())
    *error += "; for a unit without 5.1 outputs give --model 0..3";
  return Status::FileFailed;
}

Status checkReadablePreset(const std::string& path, PresetContents* contents, std::string* error) {
  std::string why;
  if (!readPresetContents(path, contents, &why)) {
    *error = path + ": " + why;
    return Status::FileFailed;
  }
  const auto bad = contents->problemLines(true, false);
  if (bad.empty()) return Status::Done;
  *error = path + ": " + joinProblems(bad);
  return Status::FileFailed;
}

Status checkWritable(const std::string& path, std::string* error) {
  std::error_code ec;
  fs::path target = fs::absolute(pathFromUtf8(path), ec);
  if (ec) target = pathFromUtf8(path);
  const fs::path folder = target.parent_path();
  if (fs::is_directory(target, ec)) {
    *error = path + " is a folder";
    return Status::FileFailed;
  }
  if (!fs::is_directory(folder, ec)) {
    *error = "cannot write " + path + ": the folder " + utf8FromPath(folder) + " does not exist";
    return Status::FileFailed;
  }
  if (fs::exists(target, ec) && !os::isWritable(target)) {
    *error = "cannot write " + path + ": " + std::generic_category().message(errno);
    return Status::FileFailed;
  }
  // The only sure test: a new file in that folder.
  std::random_device rd;
  const fs::path probe = folder / pathFromUtf8(".karaoke-ctl-" + std::to_string(os::processId()) +
                                               "-" + std::to_string(rd() % 100000));
  const int fd = os::openFile(probe, os::OpenMode::CreateNew);
  if (fd < 0) {
    *error =
        "cannot write into " + utf8FromPath(folder) + ": " + std::generic_category().message(errno);
    return Status::FileFailed;
  }
  os::closeFile(fd);
  os::removeFile(probe);
  return Status::Done;
}

}  // namespace kp::ctl
