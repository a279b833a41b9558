#pragma once

// Finding programs as a shell does.

#include <filesystem>
#include <string_view>

namespace brenvik::platform {

// A regular file this process may execute.
bool isExecutableFile(const std::filesystem::path& file);
// The program `name` runs: a path with a slash as it is, a bare name looked up in $PATH (or the
// usual folders when it is unset); empty when there is no such executable file.
std::filesystem::path findExecutable(std::string_view name);

} // namespace brenvik::platform
