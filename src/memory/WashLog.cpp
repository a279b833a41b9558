#include "memory/WashLog.h"

#include "memory/WashReport.h"
#include "platform/XdgPaths.h"

#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

namespace brenvik {

namespace {

// Holds an exclusive lock on the log's lock file for its lifetime.
class LogLock {
public:
    explicit LogLock(const std::filesystem::path& file) {
        const auto lockFile = file.string() + ".lock";
        fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            ::flock(fd_, LOCK_EX);
    }
    ~LogLock() {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    LogLock(const LogLock&) = delete;
    LogLock& operator=(const LogLock&) = delete;

private:
    int fd_ = -1;
};

// A line is complete when it is a whole JSON object; a torn write leaves a fragment that is not.
bool complete(const std::string& line) {
    return line.size() >= 2 && line.front() == '{' && line.back() == '}';
}

std::vector<std::string> readAll(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (complete(line))
            lines.push_back(line);
    return lines;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote <= 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// Replaces the log by its newest lines: temporary file, fsync, rename.
bool compact(const std::filesystem::path& file) {
    auto lines = readAll(file);
    if (lines.size() <= WashLog::Kept)
        return true;
    lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(WashLog::Kept));
    std::string text;
    for (const auto& line : lines)
        text += line + '\n';
    const auto temporary = file.string() + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

WashLog::WashLog() : WashLog(platform::xdg::appStateDir() / "washes.jsonl") {}

WashLog::WashLog(std::filesystem::path file) : file_(std::move(file)) {}

bool WashLog::append(const WashReport& report) {
    return appendLine(washReportJson(report));
}

bool WashLog::appendLine(const std::string& jsonLine) {
    std::error_code error;
    std::filesystem::create_directories(file_.parent_path(), error);
    LogLock lock(file_);
    const int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // A torn line left by a crash is closed off first, so that the new line stands on its own.
    std::string text = jsonLine + '\n';
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size > 0) {
        char last = '\n';
        const int reader = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
        if (reader >= 0) {
            if (::pread(reader, &last, 1, size - 1) != 1)
                last = '\n';
            ::close(reader);
        }
        if (last != '\n')
            text.insert(text.begin(), '\n');
    }
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written)
        return false;
    // Cut back only now and then, so that an append stays one small write.
    std::ifstream in(file_);
    std::size_t count = 0;
    std::string line;
    while (std::getline(in, line))
        ++count;
    return count <= 2 * Kept || compact(file_);
}

std::vector<std::string> WashLog::lines() const {
    auto all = readAll(file_);
    if (all.size() > Kept)
        all.erase(all.begin(), all.end() - static_cast<std::ptrdiff_t>(Kept));
    return all;
}

} // namespace brenvik
