#pragma once

// The commands that hand work to programs outside: the help file and the system snapshot tool.
// None waits for what it starts, none reports a failure.

#include <filesystem>
#include <string>

namespace brenvik {

// The help file `name` in `helpFolder`. The callers' names differ only in letter case, as they may
// on a case-insensitive file system: the file whose name matches without regard to case (the
// first in order when several do), else the name as given.
std::filesystem::path ResolveHelpFile(const std::filesystem::path& helpFolder,
                                      const std::string& name);

// Opens the help file `name` of the "Help" folder beside the program. Without an application for
// compiled help on this desktop, the same guide's HTML pages in that folder open instead.
void OpenHelp(const std::string& name);

// Starts the system snapshot tool: the first of its launchers found on the PATH; nothing when none
// is installed.
void StartSystemRestore();

} // namespace brenvik
