#pragma once

// Where sixteen well-known folders of the system and the current user lie. Nothing is cached.

#include <array>
#include <string>

namespace brenvik {

class TSystemFolders {
public:
    // Off: every path comes without a trailing separator (the root stays "/"). On: with one.
    bool TrailingPathDelimiter() const { return trailingPathDelimiter_; }
    void SetTrailingPathDelimiter(bool on) { trailingPathDelimiter_ = on; }

    std::string AppData() const;
    std::string Cookies() const;
    std::string Desktop() const;
    std::string Favorites() const;
    std::string Fonts() const;
    std::string History() const;
    std::string InternetCache() const;
    std::string Nethood() const;
    std::string ProgramFiles() const;
    std::string Recent() const;
    std::string SendTo() const;
    std::string StartMenu() const;
    std::string System() const;
    std::string Temp() const;
    std::string Templates() const;
    std::string Windows() const;

private:
    std::string finished(std::string path) const;

    bool trailingPathDelimiter_ = false;
};

// One row of the "Special Folders Locations" box: its caption and the property it shows.
struct FolderRow {
    const char* caption;
    std::string (*read)(const TSystemFolders& folders);
};

// The sixteen rows, top to bottom.
const std::array<FolderRow, 16>& FolderRows();

} // namespace brenvik
