#pragma once
// A new, empty file beside another, for work that then takes its place or is
// read back. Rooms run side by side in processes of their own: a name made
// from a random number alone may be one another room has just taken.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kp {

// Creates ".NAME.ctl-PID-N" beside target, NAME being target's file name,
// exclusively, with further numbers N while a name is taken. nullopt, with
// the reason in *error, when no such file can be made. random gives the
// numbers (the system's random source when empty).
std::optional<std::filesystem::path> claimFreshFile(
    const std::filesystem::path& target, std::string* error,
    const std::function<std::uint32_t()>& random = {});

}  // namespace kp
