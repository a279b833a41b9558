#pragma once

// The last washes, one JSON line each, in $XDG_STATE_HOME/brenvik/washes.jsonl. Lines are only
// ever appended (with O_APPEND, then fsync), so a crash mid-write can at worst leave one torn last
// line, which readers skip and the next append closes off. When the file holds twice the kept
// number of lines it is cut back to the newest ones by writing a temporary file and renaming it
// over the old one. A lock file serialises two running copies.

#include <filesystem>
#include <string>
#include <vector>

namespace brenvik {

struct WashReport;

class WashLog {
public:
    static constexpr std::size_t Kept = 100;

    // The log in the program's state folder.
    WashLog();
    explicit WashLog(std::filesystem::path file);

    // False when the log cannot be written; a wash never fails for it.
    bool append(const WashReport& report);
    bool appendLine(const std::string& jsonLine);
    // The newest complete lines, oldest first, at most Kept of them.
    std::vector<std::string> lines() const;

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

} // namespace brenvik
