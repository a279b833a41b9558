#pragma once

// Hands files, folders and addresses to the desktop: the "open", "Open" and "explore" verbs.

#include <filesystem>
#include <string>
#include <string_view>

namespace brenvik::platform {

class Shell {
public:
    virtual ~Shell() = default;

    // "open"/"Open": a program (an executable ELF file or "#!" script: a path, or a bare name found
    // on the PATH) starts directly, in
    // `directory` when given, with `parameters` split into words as a command line is; anything
    // else (a document, a folder, a web address) goes to the desktop's default handler.
    // "explore": the folder opens in the desktop's file manager. True when the start succeeded;
    // the started program is never waited for.
    virtual bool execute(std::string_view verb, const std::string& file,
                         const std::string& parameters = {},
                         const std::filesystem::path& directory = {}) = 0;
    // The full path of an executable named `name` on the PATH; empty when there is none.
    virtual std::filesystem::path findProgram(std::string_view name) = 0;
    // True when the desktop has an application for files of the MIME type.
    virtual bool hasHandlerFor(std::string_view mimeType) = 0;
};

} // namespace brenvik::platform
