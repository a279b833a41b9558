#pragma once

// The operating system's facts under HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion:
// ProductName from os-release (PRETTY_NAME, else NAME) and ProductID, both REG_SZ. The machine id
// is confidential (machine-id(5)), so ProductID is an identifier derived from it for this program
// alone, as systemd derives one for any application. Every other value of that key has no Linux
// counterpart and is absent.

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

// The application-specific identifier of a machine (systemd's sd_id128_get_machine_app_specific):
// HMAC-SHA256 keyed with the machine id over the application id, both as 16 raw bytes, cut to 16
// bytes and marked as a version-4 UUID, in 32 lower-case hex digits. Empty when `machineId` is not
// 32 hex digits.
std::string appSpecificId(std::string_view machineId, std::string_view appId);

// This program's application id.
inline constexpr std::string_view BrenvikAppId = "17fc16fb1fcb4087a3cc4decfa144918";

class OsReleaseKey : public KeyProvider {
public:
    struct Files {
        // The first is used when it exists, the second only when it does not.
        std::filesystem::path osRelease = "/etc/os-release";
        std::filesystem::path osReleaseFallback = "/usr/lib/os-release";
        std::filesystem::path machineId = "/etc/machine-id";
    };
    // The system's files; BRENVIK_MACHINE_ID_FILE names another machine-id file, so that pictures
    // and tests can show the id of a made-up machine.
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
