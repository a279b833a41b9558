#pragma once

// Well-known folders of the user and the system, named by the shell's folder identifiers.

#include <string>

namespace brenvik::platform {

// The shell folder identifiers (CSIDL values) the program asks for.
enum class ShellFolder : int {
    Desktop = 0x00,
    Favorites = 0x06,
    Recent = 0x08,
    SendTo = 0x09,
    StartMenu = 0x0B,
    Nethood = 0x13,
    Fonts = 0x14,
    Templates = 0x15,
    AppData = 0x1A,
    InternetCache = 0x20,
    Cookies = 0x21,
    History = 0x22,
};

class SpecialFolders {
public:
    virtual ~SpecialFolders() = default;

    // The folder's path; empty when the system has no such folder.
    virtual std::string shellFolder(ShellFolder folder) = 0;
    // Where programs are installed, when the registry does not say.
    virtual std::string programFilesDirectory() = 0;
    virtual std::string systemDirectory() = 0;
    virtual std::string windowsDirectory() = 0;
    // The temporary-files folder when neither TMP nor TEMP names one.
    virtual std::string defaultTempDirectory() = 0;
    // The long form of a path (links and short names resolved); empty when it cannot be had.
    virtual std::string longPathName(const std::string& path) = 0;
};

} // namespace brenvik::platform
