#pragma once

// Small POSIX file helpers shared by the stored hives and the autostart entries: an owned file
// descriptor, whole-file reads, and a replacement that readers see either whole or not at all.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace brenvik::platform {

// Owns one file descriptor; closes it on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// An advisory lock (flock) on "<file>.lock", held while the object lives, that serialises the
// read-modify-write of a file between processes. Its folder is made when missing; false when the
// lock file cannot be opened (the caller goes on unlocked).
class FileLock {
public:
    explicit FileLock(const std::filesystem::path& file);
    explicit operator bool() const { return static_cast<bool>(fd_); }

private:
    UniqueFd fd_; // closing it releases the lock
};

// Reads the whole of an open file from its start; nullopt on a read error or when it holds more
// than `limit` bytes.
std::optional<std::string> readAll(int fd, std::size_t limit);

// Reads the whole file at `path`; nullopt when it cannot be opened or read, or is over `limit`.
std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t limit);

// Creates the missing folders of `folder` with mode 0700 (the base-directory rule for folders
// an application makes). False when one cannot be made.
bool makePrivateFolders(const std::filesystem::path& folder);

// Where a replacement of `path` must go: the file a symbolic link names (a dotfiles setup, where
// the link must stay a link; the file may not exist yet), else `path` itself. Nullopt when the
// link cannot be read.
std::optional<std::filesystem::path> replacementTarget(const std::filesystem::path& path);

// Replaces the file at `path` with `text`: writes an unnamed file in the same folder (a named
// temporary file where the file system cannot make unnamed ones), flushes it to disk, renames it
// over `path` and flushes the folder, so that after a crash the file is either the old one or the
// new one. On failure the old file is untouched and the temporary file is removed. On success
// returns the new file, still open for reading, and removes temporary siblings that earlier saves
// killed mid-way left behind (older than StaleTemporaryAge, so a save in progress keeps its own).
std::optional<UniqueFd> replaceFile(const std::filesystem::path& path, std::string_view text,
                                    mode_t mode);

inline constexpr std::chrono::seconds StaleTemporaryAge{30};

// Removes the temporary siblings of `path` (".<name>.XXXXXX") that are at least `olderThan` old.
// A caller that holds the lock serialising every save of `path` may pass zero.
void removeStaleTemporaries(const std::filesystem::path& path, std::chrono::seconds olderThan);

} // namespace brenvik::platform
