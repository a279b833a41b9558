#include "platform/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brenvik::platform {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

std::optional<std::string> readAll(int fd, std::size_t limit) {
    std::string text;
    char buffer[16384];
    off_t offset = 0;
    while (true) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            return text;
        if (text.size() + static_cast<std::size_t>(got) > limit)
            return std::nullopt;
        text.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t limit) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return std::nullopt;
    return readAll(fd.get(), limit);
}

bool makePrivateFolders(const std::filesystem::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const auto parent = folder.parent_path();
    if (parent != folder && !parent.empty() && !makePrivateFolders(parent))
        return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

namespace {

bool writeFully(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

std::optional<std::filesystem::path> replacementTarget(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error)))
        return path;
    const auto linked = std::filesystem::read_symlink(path, error);
    if (error)
        return std::nullopt;
    return linked.is_absolute() ? linked : path.parent_path() / linked;
}

std::optional<UniqueFd> replaceFile(const std::filesystem::path& path, std::string_view text,
                                    mode_t mode) {
    const auto folder = path.parent_path();
    std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd)
        return std::nullopt;
    const bool written = ::fchmod(fd.get(), mode) == 0 && writeFully(fd.get(), text) &&
                         ::fsync(fd.get()) == 0 && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!written) {
        ::unlink(temporary.c_str());
        return std::nullopt;
    }
    // The rename is only durable once the folder is flushed too. The new file is in place
    // already, so a folder that cannot be flushed is not a failed save.
    UniqueFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir)
        ::fsync(dir.get());
    return fd;
}

} // namespace brenvik::platform
