#pragma once

// Special folders for tests: every location is a field the test sets.

#include "platform/SpecialFolders.h"

#include <map>

namespace brenvik::test {

class FakeSpecialFolders : public platform::SpecialFolders {
public:
    std::map<platform::ShellFolder, std::string> shellFolders;
    std::string programFiles;
    std::string system;
    std::string windows;
    std::string defaultTemp = "/tmp";
    // Long forms by path; a path not listed is its own long form.
    std::map<std::string, std::string> longNames;

    std::string shellFolder(platform::ShellFolder folder) override {
        const auto found = shellFolders.find(folder);
        return found == shellFolders.end() ? std::string() : found->second;
    }
    std::string programFilesDirectory() override { return programFiles; }
    std::string systemDirectory() override { return system; }
    std::string windowsDirectory() override { return windows; }
    std::string defaultTempDirectory() override { return defaultTemp; }
    std::string longPathName(const std::string& path) override {
        const auto found = longNames.find(path);
        return found == longNames.end() ? path : found->second;
    }
};

} // namespace brenvik::test
