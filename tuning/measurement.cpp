#include "tuning/measurement.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <system_error>

#include "core/os_files.h"
#include "core/utf8_path.h"
#include "tuning/decimal.h"

namespace kp::tuning {

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (blank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> splitOn(std::string_view s, std::string_view separators) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= s.size(); ++i) {
    if (i < s.size() && separators.find(s[i]) == std::string_view::npos) continue;
    if (i > start) out.push_back(s.substr(start, i - start));
    start = i + 1;
  }
  return out;
}

struct Fields {
  std::vector<std::string_view> texts;
  bool decimalComma = false;
};

Fields fieldsOf(std::string_view line) {
  if (line.find(';') != std::string_view::npos) {
    Fields f{{}, true};
    for (std::string_view part : splitOn(line, ";"))
      if (!trimmed(part).empty()) f.texts.push_back(trimmed(part));
    return f;
  }
  // "20,5 63,2": blank-separated columns, each with one decimal comma.
  const auto words = splitOn(line, " \t");
  bool comma = words.size() >= 2 && line.find('.') == std::string_view::npos &&
               line.find(',') != std::string_view::npos;
  for (std::string_view w : words)
    comma = comma && w.find(',') == w.rfind(',') && w.front() != ',' && w.back() != ',';
  if (comma) return {words, true};
  return {splitOn(line, " \t,"), false};
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Why a field is not a number the reader can use.
std::string whyNotNumber(std::string_view field) {
  const std::string l = lower(field);
  if (l.find("nan") != std::string::npos || l.find("inf") != std::string::npos ||
      l.find_first_not_of("0123456789+-.,e") == std::string::npos)
    return "\"" + std::string(field) + "\" is NaN or infinite";
  return "\"" + std::string(field) + "\" is not a number";
}

std::string hz(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g Hz", v);
  return buf;
}

ResponseText failed(int line, std::string problem) {
  ResponseText r;
  r.line = line;
  r.problem = std::move(problem);
  return r;
}

}  // namespace

std::string ResponseText::describe() const {
  return line > 0 ? "line " + std::to_string(line) + ": " + problem : problem;
}

ResponseText parseResponseText(std::string_view text, std::size_t minPoints) {
  if (text.size() >= 2 &&
      ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
    return failed(1, "UTF-16 text: export or save it as plain (ANSI or UTF-8) text");
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  ResponseText r;
  int lineNo = 0, previousLine = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view raw = text.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    for (char c : raw) {
      const auto u = static_cast<unsigned char>(c);
      if ((u < 0x20 && c != '\t' && c != '\r') || u == 0x7F)
        return failed(lineNo, "binary data, not text");
    }
    const std::string_view line = trimmed(raw);
    if (line.empty() || line.front() == '*') continue;
    const Fields f = fieldsOf(line);
    const auto first = f.texts.empty() ? std::nullopt : parseDecimal(f.texts[0], f.decimalComma);
    if (!first) {
      // Column names before the first row; after it, something is wrong.
      if (r.points.empty()) continue;
      return failed(lineNo, "not a row of frequency and level");
    }
    if (f.texts.size() < 2) return failed(lineNo, "a frequency without a level");
    if (f.texts.size() > 3)
      return failed(lineNo, "more than three columns (frequency, level, phase)");
    for (std::size_t i = 1; i < f.texts.size(); ++i)
      if (!parseDecimal(f.texts[i], f.decimalComma))
        return failed(lineNo, whyNotNumber(f.texts[i]));
    const double level = *parseDecimal(f.texts[1], f.decimalComma);
    if (*first <= 0) return failed(lineNo, "frequency " + hz(*first) + " is not above 0 Hz");
    if (!r.points.empty() && *first <= r.points.back().hz)
      return failed(lineNo, "frequency " + hz(*first) + " does not increase (line " +
                                std::to_string(previousLine) + " has " + hz(r.points.back().hz) +
                                ")");
    r.points.push_back({*first, level});
    previousLine = lineNo;
  }
  if (r.points.empty()) return failed(0, "no rows of frequency and level");
  if (r.points.size() < minPoints)
    return failed(0, "only " + std::to_string(r.points.size()) +
                         " rows of frequency and level; at least " + std::to_string(minPoints) +
                         " are needed");
  return r;
}

ResponseText readResponseFile(const std::string& path, std::size_t minPoints) {
  const int fd = os::openFile(pathFromUtf8(path), os::OpenMode::Read);
  os::FileInfo info;
  if (fd < 0 || !os::statFile(fd, info)) {
    const std::string why = std::generic_category().message(errno);
    if (fd >= 0) os::closeFile(fd);
    return failed(0, "cannot be read: " + why);
  }
  std::string content;
  long long n = 0;
  if (!info.regular) {
    n = -1;
  } else if (info.size > kMaxResponseBytes) {
    os::closeFile(fd);
    return failed(0, "too large for a measurement (" + std::to_string(info.size >> 20) + " MiB)");
  } else {
    char buffer[16 * 1024];
    while ((n = os::readFile(fd, buffer, sizeof buffer)) > 0 && content.size() <= kMaxResponseBytes)
      content.append(buffer, static_cast<std::size_t>(n));
  }
  const int err = errno;
  os::closeFile(fd);
  if (!info.regular) return failed(0, "cannot be read: not a regular file");
  if (n < 0) return failed(0, "cannot be read: " + std::generic_category().message(err));
  if (content.size() > kMaxResponseBytes) return failed(0, "too large for a measurement");
  return parseResponseText(content, minPoints);
}

}  // namespace kp::tuning
