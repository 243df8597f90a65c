#pragma once
// A JSON object on one line, built field by field in the order given.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kp::ctl {

std::string jsonString(std::string_view text);

class JsonObject {
 public:
  JsonObject& add(std::string_view key, std::string_view text);
  JsonObject& add(std::string_view key, const char* text) {
    return add(key, std::string_view(text));
  }
  JsonObject& add(std::string_view key, std::int64_t number);
  JsonObject& add(std::string_view key, int number) {
    return add(key, static_cast<std::int64_t>(number));
  }
  JsonObject& add(std::string_view key, bool on);
  JsonObject& addSeconds(std::string_view key, std::int64_t ms);
  JsonObject& add(std::string_view key, const std::vector<std::string>& texts);
  // Already JSON: an object or an array of them.
  JsonObject& addRaw(std::string_view key, std::string_view json);

  std::string str() const { return "{" + body_ + "}"; }

 private:
  void key(std::string_view k);
  std::string body_;
};

}  // namespace kp::ctl
