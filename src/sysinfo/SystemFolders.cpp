#include "sysinfo/SystemFolders.h"

#include "platform/Platform.h"
#include "platform/SpecialFolders.h"
#include "platform/TRegistry.h"

#include <cstdlib>

namespace brenvik {

using platform::ShellFolder;

namespace {

std::string shellFolder(ShellFolder folder) {
    return platform::current().folders->shellFolder(folder);
}

// An environment variable's value as it stands; empty when it is not set or set to nothing.
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

std::string TSystemFolders::finished(std::string path) const {
    if (path.empty())
        return path;
    if (trailingPathDelimiter_) {
        if (path.back() != '/')
            path += '/';
        return path;
    }
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string TSystemFolders::AppData() const {
    return finished(shellFolder(ShellFolder::AppData));
}
std::string TSystemFolders::Cookies() const {
    return finished(shellFolder(ShellFolder::Cookies));
}
std::string TSystemFolders::Desktop() const {
    return finished(shellFolder(ShellFolder::Desktop));
}
std::string TSystemFolders::Favorites() const {
    return finished(shellFolder(ShellFolder::Favorites));
}
std::string TSystemFolders::Fonts() const {
    return finished(shellFolder(ShellFolder::Fonts));
}
std::string TSystemFolders::History() const {
    return finished(shellFolder(ShellFolder::History));
}
std::string TSystemFolders::InternetCache() const {
    return finished(shellFolder(ShellFolder::InternetCache));
}
std::string TSystemFolders::Nethood() const {
    return finished(shellFolder(ShellFolder::Nethood));
}

std::string TSystemFolders::ProgramFiles() const {
    std::string path;
    try {
        platform::TRegistry registry(platform::HKEY_LOCAL_MACHINE);
        if (registry.OpenKeyReadOnly("SOFTWARE\\Microsoft\\Windows\\CurrentVersion"))
            path = registry.ReadString("ProgramFilesDir");
    } catch (const platform::ERegistryException&) {
    }
    // A system whose registry does not name it has its own place for programs.
    if (path.empty())
        path = platform::current().folders->programFilesDirectory();
    return finished(path);
}

std::string TSystemFolders::Recent() const {
    return finished(shellFolder(ShellFolder::Recent));
}
std::string TSystemFolders::SendTo() const {
    return finished(shellFolder(ShellFolder::SendTo));
}
std::string TSystemFolders::StartMenu() const {
    return finished(shellFolder(ShellFolder::StartMenu));
}
std::string TSystemFolders::System() const {
    return finished(platform::current().folders->systemDirectory());
}

std::string TSystemFolders::Temp() const {
    auto& folders = *platform::current().folders;
    std::string path = environment("TMP");
    if (path.empty())
        path = environment("TEMP");
    if (path.empty())
        path = folders.defaultTempDirectory();
    if (!path.empty()) {
        std::string longForm = folders.longPathName(path);
        if (!longForm.empty())
            path = std::move(longForm);
    }
    return finished(path);
}

std::string TSystemFolders::Templates() const {
    return finished(shellFolder(ShellFolder::Templates));
}
std::string TSystemFolders::Windows() const {
    return finished(platform::current().folders->windowsDirectory());
}

const std::array<FolderRow, 16>& FolderRows() {
    static const std::array<FolderRow, 16> rows{{
        {"App Data", [](const TSystemFolders& f) { return f.AppData(); }},
        {"Cookies", [](const TSystemFolders& f) { return f.Cookies(); }},
        {"Desktop", [](const TSystemFolders& f) { return f.Desktop(); }},
        {"Favorites", [](const TSystemFolders& f) { return f.Favorites(); }},
        {"Fonts", [](const TSystemFolders& f) { return f.Fonts(); }},
        {"History", [](const TSystemFolders& f) { return f.History(); }},
        {"Cache", [](const TSystemFolders& f) { return f.InternetCache(); }},
        {"Net Places", [](const TSystemFolders& f) { return f.Nethood(); }},
        {"Program Files", [](const TSystemFolders& f) { return f.ProgramFiles(); }},
        {"Recent", [](const TSystemFolders& f) { return f.Recent(); }},
        {"Send To", [](const TSystemFolders& f) { return f.SendTo(); }},
        {"Start menu", [](const TSystemFolders& f) { return f.StartMenu(); }},
        {"System", [](const TSystemFolders& f) { return f.System(); }},
        {"Temp", [](const TSystemFolders& f) { return f.Temp(); }},
        {"Templates", [](const TSystemFolders& f) { return f.Templates(); }},
        {"Windows", [](const TSystemFolders& f) { return f.Windows(); }},
    }};
    return rows;
}

} // namespace brenvik
