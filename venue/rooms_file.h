#pragma once
// A venue's rooms file: one line per room, "room,port[,file]" (UTF-8, or GBK
// when it is not UTF-8; an optional header line "room,port,file", blank
// lines and lines starting with # ignored, fields may be quoted). Read and
// checked as a whole: a room without a port, a room named twice, two rooms
// on one device or a name that cannot name a file rejects the file before
// any room runs.
#include <optional>
#include <string>
#include <vector>

#include "link/transport/port_choice.h"

namespace kp {

struct Room {
  std::string name;
  PortChoice port;
  std::string file;  // as written, resolved against the rooms file's folder; may be empty
  int line = 0;
};

// nullopt with the reason, naming the file and line, when the text is not a
// usable rooms file. folder resolves ports; baseFolder relative files.
std::optional<std::vector<Room>> parseRooms(const std::string& bytes, const std::string& fileName,
                                            const std::string& programFolder,
                                            const std::string& baseFolder, std::string* error);

// The fields of one CSV line; quotes "..." keep commas, "" is a quote.
std::optional<std::vector<std::string>> csvFields(const std::string& line);

// Reads and checks the rooms file at path (parseRooms).
std::optional<std::vector<Room>> readRoomsFile(const std::string& path,
                                               const std::string& programFolder,
                                               std::string* error);

// The rooms as a rooms file holds them, UTF-8 with a header line; files
// inside baseFolder are written relative to it.
std::string roomsText(const std::vector<Room>& rooms, const std::string& baseFolder);

// Writes the rooms to path in one step: the old file stays whole until the
// new one has replaced it. False with the reason on failure.
bool saveRoomsFile(const std::string& path, const std::vector<Room>& rooms, std::string* error);

// The folder of a file's path, made absolute.
std::string folderOfFile(const std::string& path);

}  // namespace kp
