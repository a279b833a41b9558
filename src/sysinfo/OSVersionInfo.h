#pragma once

// Facts about the Windows installation: the classified version, the product type, the product's
// registry identity and the version numbers. Every read asks the platform again.

#include "platform/SystemStatus.h"
#include "sysinfo/WindowsVersion.h"

#include <cstdint>
#include <string>

namespace brenvik {

// The classification of a version record (kernel version, SM_SERVERR2, architecture included).
TWindowsVersion ClassifyWindowsVersion(const platform::OsVersionRecord& record);
// The name shown for a version; the versions without a fixed name show `productName`.
std::string WindowsVersionName(TWindowsVersion version, const std::string& productName);
// The "Product Type:" text.
std::string ProductTypeText(TNtProductType type);
// The service-pack number a "CSDVersion" registry value encodes (0x0600 is service pack 6).
int ServicePackFromCSDVersion(std::uint32_t value);

class TOSVersionInfo {
public:
    TWindowsVersion OSVersion() const;
    TNtProductType ProductType() const;
    std::string ProductID() const;
    std::string ProductName() const;
    int ServicePackVersion() const;
    std::uint32_t VersionBuild() const;
    std::uint32_t VersionMajor() const;
    std::uint32_t VersionMinor() const;
};

// The operating-system name of this machine, as "Version:" and the Memory page's "Windows:" show
// it.
std::string OperatingSystemName();

} // namespace brenvik
