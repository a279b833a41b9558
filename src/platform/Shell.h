#pragma once

// Hands files, folders and addresses to the desktop: the "open", "Open" and "explore" verbs.

#include <filesystem>
#include <string>
#include <string_view>

namespace brenvik::platform {

class Shell {
public:
    virtual ~Shell() = default;

    // "open"/"Open": an executable starts directly, in `directory` when given; anything else
    // (a document, a folder, a web address) goes to the desktop's default handler. "explore":
    // the folder opens in the desktop's file manager. True when the start succeeded; the started
    // program is never waited for.
    virtual bool execute(std::string_view verb, const std::string& file,
                         const std::string& parameters = {},
                         const std::filesystem::path& directory = {}) = 0;
};

} // namespace brenvik::platform
