#pragma once

// The operating system's facts under HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion:
// ProductName from os-release (PRETTY_NAME, else NAME) and ProductID from the machine id, both
// REG_SZ. Every other value of that key has no Linux counterpart and is absent.

#include "platform/Registry.h"

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace brenvik::platform {

// The assignments of an os-release file: KEY=value lines with shell-style quoting (double
// quotes with \" \\ \$ \` escapes, single quotes taken literally); comments and malformed lines
// are skipped.
std::map<std::string, std::string> parseOsRelease(std::string_view text);

class OsReleaseKey : public KeyProvider {
public:
    struct Files {
        // The first is used when it exists, the second only when it does not.
        std::filesystem::path osRelease = "/etc/os-release";
        std::filesystem::path osReleaseFallback = "/usr/lib/os-release";
        std::filesystem::path machineId = "/etc/machine-id";
    };
    OsReleaseKey();
    explicit OsReleaseKey(Files files);

    std::vector<std::string> valueNames() override;
    std::optional<RegValue> value(std::string_view name) override;

private:
    std::optional<std::string> productName() const;
    std::optional<std::string> productId() const;

    Files files_;
};

} // namespace brenvik::platform
