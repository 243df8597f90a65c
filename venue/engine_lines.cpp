#include "venue/engine_lines.h"

#include <sstream>

namespace kp {

std::string progressLine(const std::string& what, int done, int total) {
  return kProgressTag + what + " " + std::to_string(done) + " " + std::to_string(total);
}

bool parseProgressLine(const std::string& line, std::string* what, int* done, int* total) {
  std::istringstream in(line);
  std::string tag;
  return in >> tag >> *what >> *done >> *total && tag + " " == kProgressTag;
}

bool taggedLine(const std::string& line, const char* tag, std::string* rest) {
  const std::string t(tag);
  if (line.compare(0, t.size(), t) != 0) return false;
  *rest = line.substr(t.size());
  return true;
}

}  // namespace kp
