#include "sysinfo/Launchers.h"

#include "platform/Platform.h"
#include "platform/Shell.h"
#include "platform/SystemStatus.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace brenvik {

namespace {

std::string folded(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

} // namespace

std::filesystem::path ResolveHelpFile(const std::filesystem::path& helpFolder,
                                      const std::string& name) {
    // Every file whose name matches without regard to case, so that names differing only in case
    // find the same file; sorted, so that it is the same file every time.
    std::vector<std::filesystem::path> matches;
    std::error_code error;
    for (std::filesystem::directory_iterator entries(helpFolder, error);
         !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (folded(entries->path().filename().string()) == folded(name) && isFile(entries->path()))
            matches.push_back(entries->path());
    }
    if (matches.empty())
        return helpFolder / name;
    return *std::min_element(matches.begin(), matches.end());
}

void OpenHelp(const std::string& name) {
    auto& platform = platform::current();
    const auto helpFolder = platform.system->programFolder() / "Help";
    const auto helpFile = ResolveHelpFile(helpFolder, name);
    const bool chmViewer = platform.shell->hasHandlerFor("application/vnd.ms-htmlhelp") ||
                           platform.shell->hasHandlerFor("application/x-chm");
    const auto pages = helpFolder / "index.html";
    if (!chmViewer && isFile(pages)) {
        platform.shell->execute("Open", pages.string());
        return;
    }
    platform.shell->execute("Open", helpFile.string());
}

void StartSystemRestore() {
    auto& shell = *platform::current().shell;
    for (const char* launcher : {"timeshift-launcher", "timeshift-gtk"}) {
        const auto program = shell.findProgram(launcher);
        if (!program.empty()) {
            shell.execute("open", program.string());
            return;
        }
    }
}

} // namespace brenvik
