#pragma once
// File names as a case-insensitive file system sees them. Backup and report
// folders move between Windows and Linux machines, so two rooms whose files
// would be one file on Windows collide on both platforms alike.
#include <string>
#include <string_view>

namespace kp {

// utf8 with its letters in one case: ASCII, and the simple one-to-one pairs
// of Latin, Greek, Cyrillic, Armenian and the full-width Latin letters, as
// NTFS folds them. Bytes that are not UTF-8 are kept as they are.
std::string caseFolded(std::string_view utf8);

}  // namespace kp
