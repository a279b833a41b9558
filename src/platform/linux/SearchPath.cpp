#include "platform/linux/SearchPath.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace brenvik::platform {

bool isExecutableFile(const std::filesystem::path& file) {
    struct stat info {};
    return stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(file.c_str(), X_OK) == 0;
}

std::filesystem::path findExecutable(std::string_view name) {
    if (name.empty())
        return {};
    if (name.find('/') != std::string_view::npos)
        return isExecutableFile(name) ? std::filesystem::path(name) : std::filesystem::path();
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const std::size_t end = folders.find(':');
        const std::string_view folder = folders.substr(0, end);
        folders.remove_prefix(end == std::string_view::npos ? folders.size() : end + 1);
        if (folder.empty())
            continue;
        auto candidate = std::filesystem::path(folder) / name;
        if (isExecutableFile(candidate))
            return candidate;
    }
    return {};
}

} // namespace brenvik::platform
