#pragma once
// What a karaoke-ctl process started for one room (--progress-lines) tells
// whoever started it on its standard error, besides its words: how far its
// work has come, and its outcome's summary, details and error, one line
// each. A rooms run of karaoke-ctl and the panel's Rooms window read them.
#include <string>

namespace kp {

inline constexpr const char* kProgressTag = "@progress ";
inline constexpr const char* kSummaryTag = "@summary ";
inline constexpr const char* kDetailTag = "@detail ";
inline constexpr const char* kErrorTag = "@error ";

// "@progress dump 150 302"
std::string progressLine(const std::string& what, int done, int total);
bool parseProgressLine(const std::string& line, std::string* what, int* done, int* total);

// The text after tag, when line starts with it.
bool taggedLine(const std::string& line, const char* tag, std::string* rest);

}  // namespace kp
