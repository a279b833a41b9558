#include "platform/SpecialFolders.h"
#include "platform/XdgPaths.h"
#include "platform/linux/LinuxServices.h"

#include <cstdlib>
#include <fstream>
#include <optional>

namespace brenvik::platform {

namespace {

// The value of one line `XDG_<NAME>_DIR="$HOME/..."` of user-dirs.dirs; empty when the line names
// another folder or is not in the file's form (a quoted absolute path or one below $HOME).
std::optional<std::string> userDirValue(const std::string& line, const std::string& key) {
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line.compare(at, key.size(), key) != 0)
        return std::nullopt;
    at += key.size();
    if (line.compare(at, 2, "=\"") != 0)
        return std::nullopt;
    at += 2;
    std::string value;
    for (; at < line.size() && line[at] != '"'; ++at) {
        if (line[at] == '\\' && at + 1 < line.size())
            ++at;
        value += line[at];
    }
    if (at == line.size())
        return std::nullopt;
    for (const std::string home : {"$HOME", "${HOME}"}) {
        if (value.compare(0, home.size(), home) == 0 &&
            (value.size() == home.size() || value[home.size()] == '/'))
            return xdg::home().string() + value.substr(home.size());
    }
    if (value.empty() || value.front() != '/')
        return std::nullopt;
    return value;
}

// A user folder as the xdg-user-dirs tools give it: the user-dirs.dirs line, else the variable of
// the same name, else `fallback`.
std::string userDir(const std::string& name, const std::filesystem::path& fallback) {
    const std::string key = "XDG_" + name + "_DIR";
    std::optional<std::string> found;
    std::ifstream file(xdg::configHome() / "user-dirs.dirs");
    for (std::string line; std::getline(file, line);) {
        if (auto value = userDirValue(line, key))
            found = std::move(value); // the last line wins, as when the file is sourced
    }
    if (found)
        return *found;
    if (const char* value = std::getenv(key.c_str()); value != nullptr && value[0] != '\0')
        return value;
    return fallback.string();
}

class LinuxSpecialFolders : public SpecialFolders {
public:
    std::string shellFolder(ShellFolder folder) override {
        switch (folder) {
        case ShellFolder::AppData:
            return xdg::configHome().string();
        case ShellFolder::Desktop:
            return userDir("DESKTOP", xdg::home() / "Desktop");
        case ShellFolder::Templates:
            return userDir("TEMPLATES", xdg::home());
        case ShellFolder::Fonts:
            return (xdg::dataHome() / "fonts").string();
        case ShellFolder::InternetCache:
            return xdg::cacheHome().string();
        case ShellFolder::Recent:
            return (xdg::dataHome() / "RecentDocuments").string();
        case ShellFolder::StartMenu:
            return (xdg::dataHome() / "applications").string();
        case ShellFolder::Cookies:
        case ShellFolder::Favorites:
        case ShellFolder::History:
        case ShellFolder::Nethood:
        case ShellFolder::SendTo:
            break; // no Linux counterpart
        }
        return {};
    }

    std::string programFilesDirectory() override { return "/usr/bin"; }
    std::string systemDirectory() override { return "/usr/lib"; }
    std::string windowsDirectory() override { return "/"; }

    std::string defaultTempDirectory() override {
        const char* value = std::getenv("TMPDIR");
        return value != nullptr && value[0] != '\0' ? value : "/tmp";
    }

    std::string longPathName(const std::string& path) override {
        std::error_code error;
        auto resolved = std::filesystem::canonical(path, error);
        return error ? std::string() : resolved.string();
    }
};

} // namespace

std::unique_ptr<SpecialFolders> makeLinuxSpecialFolders() {
    return std::make_unique<LinuxSpecialFolders>();
}

} // namespace brenvik::platform
