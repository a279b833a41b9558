#pragma once

// The stored keys of one root, kept in a text file that a person can read and edit:
//
//   Brenvik Registry Hive Version 1
//
//   [HKEY_LOCAL_MACHINE\Software\Orlevo\Brenvik\Settings]
//   "LoadBVSystemTray"=dword:00000001
//   "Path"="text with \" and \\ escapes"
//   "Search"=expand:"%HOME%\\bin"
//   "Blob"=hex:00,ff,10
//   "Other"=hex(b):01,00,00,00,00,00,00,00
//   @="the key's default (unnamed) value"
//
// One section per key, parents included; values in the order they were first written. Strings
// escape \\, \" and control characters (\n, \r, \t, \xHH); REG_SZ is a quoted string,
// REG_EXPAND_SZ the same after "expand:", REG_DWORD eight hex digits after "dword:", REG_BINARY
// "hex:" and every other type "hex(type):" followed by its bytes. Blank lines and lines that
// begin with ';' are ignored.
//
// Every change is a locked read-modify-write: the hive takes an advisory lock (flock on
// "<file>.lock"), reloads the file when it changed since it was last read, applies the change
// and replaces the file atomically. A file that does not parse is renamed aside to "<file>.bad"
// (".bad.1", ".bad.2"... when that exists) and the hive starts empty.

#include "platform/AtomicFile.h"
#include "platform/Registry.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace brenvik::platform {

class HiveFile : public Hive {
public:
    static constexpr std::string_view Header = "Brenvik Registry Hive Version 1";
    // The largest file read; anything bigger is no hive of ours.
    static constexpr std::size_t MaxFileSize = 64u << 20;

    // `rootName` is the root's name as the sections spell it ("HKEY_LOCAL_MACHINE").
    HiveFile(std::filesystem::path file, std::string rootName);

    void read(const std::function<void(const Keys&)>& read) override;
    LONG modify(const std::function<bool(Keys&)>& change) override;

    const std::filesystem::path& file() const { return file_; }

    static std::string format(std::string_view rootName, const Keys& keys);
    // Nullopt when the text is not a hive of `rootName`.
    static std::optional<Keys> parse(std::string_view rootName, std::string_view text);

private:
    struct Stamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        static Stamp of(const struct stat& info);
        bool operator==(const Stamp& other) const;
    };
    class Lock;

    // Loads the file when it differs from the one last read. A damaged file is set aside, which
    // needs the lock: without it the hive takes the lock for that (when it can).
    void refresh(bool locked);
    void setAside();
    void hold(UniqueFd fd);

    std::filesystem::path file_;
    std::string rootName_;
    // The file last read or written, held open: while it is, its inode cannot be reused, so a
    // different file never shows the same stamp.
    UniqueFd held_;
    std::optional<Stamp> stamp_;
};

} // namespace brenvik::platform
