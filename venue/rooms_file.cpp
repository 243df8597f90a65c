#include "venue/rooms_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string_view>

#include "core/fresh_file.h"
#include "core/os_files.h"
#include "core/state.h"
#include "core/utf8_path.h"
#include "ini/gbk.h"
#include "venue/file_name_case.h"

namespace kp {

namespace {

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Room names become file names (backups, reports): nothing a file system
// would read as a folder, a device or a hidden file.
bool namesAFile(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.front() == '.') return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F ||
        std::string("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string::npos)
      return false;
  return true;
}

}  // namespace

std::optional<std::vector<std::string>> csvFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false, wasQuoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (wasQuoted && (c == ' ' || c == '\t')) {
      // Blanks between a closing quote and the comma.
    } else if (c == '"' && trim(field).empty()) {
      quoted = wasQuoted = true;
      field.clear();
    } else if (c == ',') {
      fields.push_back(wasQuoted ? field : trim(field));
      field.clear();
      wasQuoted = false;
    } else {
      field += c;
    }
  }
  if (quoted) return std::nullopt;
  fields.push_back(wasQuoted ? field : trim(field));
  return fields;
}

std::optional<std::vector<Room>> parseRooms(const std::string& bytes, const std::string& fileName,
                                            const std::string& programFolder,
                                            const std::string& baseFolder, std::string* error) {
  std::vector<Room> rooms;
  std::map<std::string, int> names, devices;
  // A spreadsheet may put a BOM first; one on a Chinese Windows saves GBK,
  // which is seldom also valid UTF-8.
  const std::string_view body =
      std::string_view(bytes).substr(bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
  const std::string text = isUtf8(body) ? std::string(body) : gbkToUtf8(body);
  std::size_t pos = 0;
  int lineNo = 0;
  bool first = true;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    pos = nl + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (trim(line).empty() || trim(line)[0] == '#') continue;
    const std::string where = fileName + " line " + std::to_string(lineNo) + ": ";
    const auto fields = csvFields(line);
    if (!fields) {
      *error = where + "a quote is not closed";
      return std::nullopt;
    }
    const bool header = first && lower((*fields)[0]) == "room";
    first = false;
    if (header) continue;
    if (fields->size() < 2 || (*fields)[1].empty()) {
      *error = where + ((*fields)[0].empty() ? "the room and port columns are empty"
                                             : "room " + (*fields)[0] + " has no port column");
      return std::nullopt;
    }
    if (fields->size() > 3) {
      *error = where + "more than the three columns room,port,file";
      return std::nullopt;
    }
    Room r;
    r.name = (*fields)[0];
    r.line = lineNo;
    if (!namesAFile(r.name)) {
      *error = where + "the room name \"" + r.name + "\" cannot name a file";
      return std::nullopt;
    }
    if (auto [it, fresh] = names.emplace(caseFolded(r.name), lineNo); !fresh) {
      *error =
          where + "room " + r.name + " is named on line " + std::to_string(it->second) + " already";
      return std::nullopt;
    }
    std::string why;
    const auto port = parsePortChoice((*fields)[1], &why);
    if (!port) {
      *error = where + why;
      return std::nullopt;
    }
    r.port = *port;
    if (auto [it, fresh] = devices.emplace(portChoiceIdentity(r.port, programFolder), lineNo);
        !fresh) {
      *error = where + "port " + r.port.text + " is the device of line " +
               std::to_string(it->second) + " too: one unit per port";
      return std::nullopt;
    }
    if (fields->size() == 3 && !(*fields)[2].empty()) {
      const auto p = pathFromUtf8((*fields)[2]);
      r.file =
          p.is_absolute() || baseFolder.empty() ? (*fields)[2] : joinPath(baseFolder, (*fields)[2]);
    }
    rooms.push_back(std::move(r));
  }
  if (rooms.empty()) {
    *error = fileName + ": no rooms in it";
    return std::nullopt;
  }
  return rooms;
}

std::string folderOfFile(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(pathFromUtf8(path), ec);
  return utf8FromPath(ec ? pathFromUtf8(path).parent_path() : p.parent_path());
}

std::optional<std::vector<Room>> readRoomsFile(const std::string& path,
                                               const std::string& programFolder,
                                               std::string* error) {
  std::error_code ec;
  std::ifstream in(pathFromUtf8(path), std::ios::binary);
  if (!in || std::filesystem::is_directory(pathFromUtf8(path), ec)) {
    *error = "cannot read the rooms file " + path;
    return std::nullopt;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return parseRooms(text, path, programFolder, folderOfFile(path), error);
}

namespace {

// A field as a spreadsheet writes it: quoted when it holds a comma, a quote
// or blanks at its ends.
std::string csvField(const std::string& text) {
  const bool quote = text.find_first_of(",\"") != std::string::npos || trim(text) != text ||
                     (!text.empty() && text.front() == '#');
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace

std::string roomsText(const std::vector<Room>& rooms, const std::string& baseFolder) {
  std::string text = "room,port,file\r\n";
  const std::filesystem::path base = pathFromUtf8(baseFolder);
  for (const Room& r : rooms) {
    std::string file = r.file;
    if (!file.empty() && !baseFolder.empty()) {
      std::error_code ec;
      const auto rel = std::filesystem::relative(pathFromUtf8(file), base, ec);
      if (!ec && !rel.empty() && *rel.begin() != "..") file = utf8FromPath(rel);
    }
    text += csvField(r.name) + "," + csvField(r.port.text);
    if (!file.empty()) text += "," + csvField(file);
    text += "\r\n";
  }
  return text;
}

bool saveRoomsFile(const std::string& path, const std::vector<Room>& rooms, std::string* error) {
  const std::filesystem::path target = pathFromUtf8(path);
  const std::string text = roomsText(rooms, folderOfFile(path));
  const auto fresh = claimFreshFile(target, error);
  if (!fresh) return false;
  bool ok = false;
  const int fd = os::openFile(*fresh, os::OpenMode::Rewrite);
  if (fd >= 0) {
    ok = os::writeFile(fd, text.data(), text.size()) == static_cast<long long>(text.size()) &&
         os::syncFile(fd) == 0;
    ok = os::closeFile(fd) == 0 && ok;
  }
  std::string why = ok ? "" : std::generic_category().message(errno);
  if (ok) ok = os::replaceFile(*fresh, target, true, why);
  if (!ok) {
    os::removeFile(*fresh);
    *error = "cannot save " + path + ": " + why;
  }
  return ok;
}

}  // namespace kp
