#pragma once

// The freedesktop base directories, read from the environment at each call so that tests can
// point them at temporary folders.

#include <filesystem>
#include <vector>

namespace brenvik::platform::xdg {

std::filesystem::path home();
std::filesystem::path configHome(); // $XDG_CONFIG_HOME or ~/.config
std::filesystem::path dataHome();   // $XDG_DATA_HOME or ~/.local/share
std::filesystem::path stateHome();  // $XDG_STATE_HOME or ~/.local/state
std::filesystem::path cacheHome();  // $XDG_CACHE_HOME or ~/.cache
std::vector<std::filesystem::path> configDirs(); // $XDG_CONFIG_DIRS or /etc/xdg
std::vector<std::filesystem::path> dataDirs();   // $XDG_DATA_DIRS or /usr/local/share:/usr/share

// The program's own folders below them.
std::filesystem::path appConfigDir(); // configHome()/brenvik
std::filesystem::path appDataDir();   // dataHome()/brenvik
std::filesystem::path appStateDir();  // stateHome()/brenvik

} // namespace brenvik::platform::xdg
