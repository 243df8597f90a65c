#pragma once
// Where the program keeps config.ini, Pro.dat, the pictures and the help.
#include <string>

namespace kp {

// A portable build (config.ini beside the executable) keeps the executable's
// folder. An installed program, whose executable's folder is not its own,
// finds its resources under <prefix>/share/karaoke-panel and uses a folder of
// the user's instead, seeded from those resources at the first start (files
// the user already has are never overwritten, but a config.ini of an earlier
// version gets the keys it lacks).
std::string chooseProgramFolder(const std::string& exeDir, const std::string& userDir);

// Adds to the user's config.ini each key of the shipped one that it lacks,
// with the shipped value; what the user's file has is kept as it is.
void addMissingSettings(const std::string& shipped, const std::string& mine);

// The installed resources for an executable in <prefix>/bin, or "" if none.
std::string installedResources(const std::string& exeDir);

}  // namespace kp
