#include "platform/XdgPaths.h"

#include <cstdlib>
#include <string>

namespace brenvik::platform::xdg {

namespace {

// Relative values are invalid by the base-directory rules and are ignored.
std::filesystem::path fromEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return value;
}

std::filesystem::path orHome(const char* name, const char* relative) {
    auto path = fromEnv(name);
    return path.empty() ? home() / relative : path;
}

std::vector<std::filesystem::path> list(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    std::string text = (value != nullptr && value[0] != '\0') ? value : fallback;
    std::vector<std::filesystem::path> paths;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t colon = text.find(':', at);
        const std::string part = text.substr(at, colon == std::string::npos ? colon : colon - at);
        if (!part.empty() && part.front() == '/')
            paths.emplace_back(part);
        if (colon == std::string::npos)
            break;
        at = colon + 1;
    }
    return paths;
}

} // namespace

std::filesystem::path home() {
    auto path = fromEnv("HOME");
    return path.empty() ? std::filesystem::path("/") : path;
}

std::filesystem::path configHome() { return orHome("XDG_CONFIG_HOME", ".config"); }
std::filesystem::path dataHome() { return orHome("XDG_DATA_HOME", ".local/share"); }
std::filesystem::path stateHome() { return orHome("XDG_STATE_HOME", ".local/state"); }
std::filesystem::path cacheHome() { return orHome("XDG_CACHE_HOME", ".cache"); }
std::vector<std::filesystem::path> configDirs() { return list("XDG_CONFIG_DIRS", "/etc/xdg"); }
std::vector<std::filesystem::path> dataDirs() {
    return list("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
}

std::filesystem::path appConfigDir() { return configHome() / "brenvik"; }
std::filesystem::path appDataDir() { return dataHome() / "brenvik"; }
std::filesystem::path appStateDir() { return stateHome() / "brenvik"; }

} // namespace brenvik::platform::xdg
