#include "platform/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
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

FileLock::FileLock(const std::filesystem::path& file) {
    if (!makePrivateFolders(file.parent_path().empty() ? "." : file.parent_path()))
        return;
    fd_.reset(::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    while (fd_ && ::flock(fd_.get(), LOCK_EX) != 0)
        if (errno != EINTR)
            fd_.reset();
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

namespace {

constexpr std::string_view TemporaryLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The name a temporary sibling of `path` takes: ".<name>." and six letters, as mkstemp makes them.
std::string temporaryPattern(const std::filesystem::path& path) {
    return "." + path.filename().string() + ".";
}

bool isTemporaryOf(std::string_view name, std::string_view prefix) {
    return name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
           name.substr(prefix.size()).find_first_not_of(TemporaryLetters) == std::string::npos;
}

// Gives the unnamed file `fd` a temporary name beside `path`; the name is returned.
std::optional<std::string> linkTemporary(int fd, const std::filesystem::path& path) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    static thread_local std::minstd_rand letters{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = (path.parent_path() / temporaryPattern(path)).string();
        for (int i = 0; i < 6; ++i)
            name += TemporaryLetters[letters() % TemporaryLetters.size()];
        if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return name;
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

void removeStaleTemporaries(const std::filesystem::path& path, std::chrono::seconds olderThan) {
    namespace fs = std::filesystem;
    const std::string prefix = temporaryPattern(path);
    const auto folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    const auto now = fs::file_time_type::clock::now();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!isTemporaryOf(it->path().filename().string(), prefix))
            continue;
        std::error_code ignored;
        const auto written = fs::last_write_time(it->path(), ignored);
        if (!ignored && now - written >= olderThan)
            fs::remove(it->path(), ignored);
    }
}

std::optional<UniqueFd> replaceFile(const std::filesystem::path& path, std::string_view text,
                                    mode_t mode) {
    const auto folder = path.parent_path();
    const std::string folderName = folder.empty() ? "." : folder.string();
    // An unnamed file leaves nothing behind when the process dies while writing it; only where the
    // file system has none does the temporary file carry a name from the start.
    UniqueFd fd(::open(folderName.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
    std::string temporary;
    if (!fd) {
        temporary = (folder / (temporaryPattern(path) + "XXXXXX")).string();
        fd.reset(::mkostemp(temporary.data(), O_CLOEXEC));
        if (!fd)
            return std::nullopt;
    }
    bool written =
        ::fchmod(fd.get(), mode) == 0 && writeFully(fd.get(), text) && ::fsync(fd.get()) == 0;
    if (written && temporary.empty()) {
        // Linking cannot replace a file, so the finished file gets a name for the moment until
        // the rename; a save killed right there leaves it for removeStaleTemporaries.
        const auto named = linkTemporary(fd.get(), path);
        written = named.has_value();
        if (named)
            temporary = *named;
    }
    written = written && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!written) {
        const int error = errno;
        if (!temporary.empty())
            ::unlink(temporary.c_str());
        errno = error;
        return std::nullopt;
    }
    // The rename is only durable once the folder is flushed too. The new file is in place
    // already, so a folder that cannot be flushed is not a failed save.
    UniqueFd dir(::open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir)
        ::fsync(dir.get());
    removeStaleTemporaries(path, StaleTemporaryAge);
    return fd;
}

} // namespace brenvik::platform
