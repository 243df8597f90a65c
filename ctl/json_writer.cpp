#include "ctl/json_writer.h"

#include <cstdio>

namespace kp::ctl {

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);  // UTF-8 passes as it is
        }
    }
  }
  return out + "\"";
}

void JsonObject::key(std::string_view k) {
  if (!body_.empty()) body_ += ",";
  body_ += jsonString(k) + ":";
}

JsonObject& JsonObject::add(std::string_view k, std::string_view text) {
  key(k);
  body_ += jsonString(text);
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, std::int64_t number) {
  key(k);
  body_ += std::to_string(number);
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, bool on) {
  key(k);
  body_ += on ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::addSeconds(std::string_view k, std::int64_t ms) {
  key(k);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(ms) / 1000.0);
  body_ += buf;
  return *this;
}

JsonObject& JsonObject::add(std::string_view k, const std::vector<std::string>& texts) {
  key(k);
  body_ += "[";
  for (std::size_t i = 0; i < texts.size(); ++i) body_ += (i ? "," : "") + jsonString(texts[i]);
  body_ += "]";
  return *this;
}

JsonObject& JsonObject::addRaw(std::string_view k, std::string_view json) {
  key(k);
  body_ += json;
  return *this;
}

}  // namespace kp::ctl
