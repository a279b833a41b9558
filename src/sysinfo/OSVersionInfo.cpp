#include "sysinfo/OSVersionInfo.h"

#include "platform/Platform.h"
#include "platform/TRegistry.h"

#include <cctype>
#include <cstdio>
#include <string_view>

namespace brenvik {

using namespace platform;

namespace {

constexpr std::uint8_t VER_NT_WORKSTATION = 1;
constexpr std::uint8_t VER_NT_DOMAIN_CONTROLLER = 2;
constexpr std::uint8_t VER_NT_SERVER = 3;
constexpr std::uint16_t VER_SUITE_ENTERPRISE = 0x0002;
constexpr std::uint16_t VER_SUITE_DATACENTER = 0x0080;
constexpr std::uint16_t VER_SUITE_PERSONAL = 0x0200;
constexpr std::uint16_t VER_SUITE_BLADE = 0x0400;
constexpr std::uint32_t WindowsMeKernel = 0x0004005A; // kernel32 4.90

// Blanks and control characters at either end removed.
std::string_view trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// A string value under HKEY_LOCAL_MACHINE; empty when the key or value is missing or unreadable.
std::string machineString(const std::string& key, const std::string& name) {
    try {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly(key))
            return {};
        return registry.ReadString(name);
    } catch (const ERegistryException&) {
        return {};
    }
}

std::uint32_t machineInteger(const std::string& key, const std::string& name) {
    try {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly(key))
            return 0;
        return static_cast<std::uint32_t>(registry.ReadInteger(name));
    } catch (const ERegistryException&) {
        return 0;
    }
}

std::string productKey(const OsVersionRecord& record) {
    return record.platformId == VER_PLATFORM_WIN32_NT
               ? "Software\\Microsoft\\Windows NT\\CurrentVersion"
               : "Software\\Microsoft\\Windows\\CurrentVersion";
}

OsVersionRecord versionRecord() {
    return current().system->versionRecord();
}

TWindowsVersion classifyWindows9x(const OsVersionRecord& record) {
    const std::string_view csd = trimmed(record.csdVersion);
    const std::uint32_t minor = record.minorVersion;
    if (minor < 10)
        return csd == "B" || csd == "C" ? wvWin95OSR2 : wvWin95;
    if (minor < 90) {
        if (record.kernelVersion == WindowsMeKernel)
            return wvWinME;
        return csd == "A" || csd == "B" ? wvWin98SE : wvWin98;
    }
    return minor == 90 ? wvWinME : wvUnknown;
}

bool isWorkstation(const OsVersionRecord& record) {
    return record.extended && record.productType == VER_NT_WORKSTATION;
}

TWindowsVersion classifyWindowsNt(const OsVersionRecord& record) {
    const std::uint32_t minor = record.minorVersion;
    switch (record.majorVersion) {
    case 3:
        if (minor == 10)
            return wvWinNT31;
        if (minor == 50)
            return wvWinNT35;
        return minor == 51 ? wvWinNT351 : wvUnknown;
    case 4:
        return wvWinNT4;
    case 5:
        if (minor == 0)
            return wvWin2000;
        if (minor == 1)
            return wvWinXP;
        if (minor == 2) {
            if (record.serverR2 != 0)
                return wvWin2003R2;
            if (record.nativeArchitecture != PROCESSOR_ARCHITECTURE_INTEL && isWorkstation(record))
                return wvWinXP64;
            return wvWin2003;
        }
        return wvUnknown;
    case 6:
        if (minor == 0)
            return isWorkstation(record) ? wvWinVista : wvWinServer2008;
        return wvUnknown;
    default:
        return wvUnknown;
    }
}

TNtProductType productTypeFromVersion(TWindowsVersion version, const OsVersionRecord& record,
                                      int servicePack) {
    const bool server =
        record.productType == VER_NT_DOMAIN_CONTROLLER || record.productType == VER_NT_SERVER;
    const std::uint16_t suite = record.suiteMask;
    switch (version) {
    case wvWinNT4:
        if (servicePack < 6 || !record.extended)
            return ptUnknown;
        if (record.productType == VER_NT_WORKSTATION)
            return ptWorkStation;
        return (suite & VER_SUITE_ENTERPRISE) != 0 ? ptEnterprise : ptServer;
    case wvWin2000:
        if (!record.extended)
            return ptUnknown;
        if (!server)
            return ptProfessional;
        if ((suite & VER_SUITE_DATACENTER) != 0)
            return ptDatacenterServer;
        return (suite & VER_SUITE_ENTERPRISE) != 0 ? ptAdvancedServer : ptServer;
    case wvWin2003:
    case wvWinXP64:
    case wvWin2003R2:
        if (!record.extended)
            return ptUnknown;
        if (server) {
            if ((suite & VER_SUITE_DATACENTER) != 0)
                return ptDatacenterServer;
            if ((suite & VER_SUITE_ENTERPRISE) != 0)
                return ptEnterprise;
            return suite == VER_SUITE_BLADE ? ptWebEdition : ptServer;
        }
        return record.productType == VER_NT_WORKSTATION ? ptProfessional : ptUnknown;
    case wvWinXP:
    case wvWinVista:
    case wvWinServer2008:
        if (!isWorkstation(record))
            return ptUnknown;
        return (suite & VER_SUITE_PERSONAL) != 0 ? ptPersonal : ptProfessional;
    default:
        return ptUnknown;
    }
}

TNtProductType productTypeFromRegistry() {
    const std::string type =
        machineString("SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType");
    if (iequals(type, "WINNT"))
        return ptWorkStation;
    if (iequals(type, "SERVERNT"))
        return ptAdvancedServer;
    if (iequals(type, "LANMANNT"))
        return ptServer;
    return ptUnknown;
}

int servicePackVersion(TWindowsVersion version, const OsVersionRecord& record) {
    if (version >= wvWin2000 && version <= wvWinServer2008)
        return record.extended ? record.servicePackMajor : 0;
    return ServicePackFromCSDVersion(
        machineInteger("SYSTEM\\CurrentControlSet\\Control\\Windows", "CSDVersion"));
}

} // namespace

TWindowsVersion ClassifyWindowsVersion(const OsVersionRecord& record) {
    if (record.platformId == VER_PLATFORM_WIN32_WINDOWS)
        return classifyWindows9x(record);
    if (record.platformId == VER_PLATFORM_WIN32_NT)
        return classifyWindowsNt(record);
    return wvUnknown;
}

std::string WindowsVersionName(TWindowsVersion version, const std::string& productName) {
    switch (version) {
    case wvWin95:
    case wvWin95OSR2:
        return "Windows 95";
    case wvWin98:
        return "Windows 98";
    case wvWin98SE:
        return "Windows 98SE";
    case wvWinME:
        return "Windows Me";
    case wvWinNT31:
        return "Windows NT 3.1";
    case wvWinNT35:
        return "Windows NT 3.5";
    case wvWinNT351:
        return "Windows NT 3.51";
    case wvWinNT4:
        return "Windows NT4";
    case wvWin2000:
        return "Windows 2000";
    case wvWinXP:
        return "Windows XP";
    case wvWin2003:
        return "Windows 2003";
    case wvWinVista:
        return "Windows Vista";
    case wvWinServer2008:
        return "Windows Server 2008";
    case wvUnknown:
    case wvWinXP64:
    case wvWin2003R2:
        break;
    }
    return productName;
}

std::string ProductTypeText(TNtProductType type) {
    switch (type) {
    case ptWorkStation:
        return "Workstation";
    case ptServer:
        return "Server";
    case ptAdvancedServer:
        return "Advanced Server";
    case ptPersonal:
        return "Personal Edition";
    case ptProfessional:
        return "Professional Edition";
    case ptDatacenterServer:
        return "DC Server";
    case ptEnterprise:
        return "Enterprise";
    case ptWebEdition:
        return "Web Edition";
    case ptUnknown:
        break;
    }
    return "N/A";
}

int ServicePackFromCSDVersion(std::uint32_t value) {
    // The hexadecimal digits read as a decimal number: 0x0600 is "0600", 600, service pack 6.
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04X", value);
    const std::string_view text(digits);
    if (text.find_first_not_of("0123456789") != std::string_view::npos)
        return static_cast<int>((value >> 8) & 0xFF); // a letter: the high byte is the number
    return static_cast<int>(std::stoul(digits) / 100);
}

TWindowsVersion TOSVersionInfo::OSVersion() const {
    return ClassifyWindowsVersion(versionRecord());
}

TNtProductType TOSVersionInfo::ProductType() const {
    const OsVersionRecord record = versionRecord();
    const TWindowsVersion version = ClassifyWindowsVersion(record);
    const TNtProductType type =
        productTypeFromVersion(version, record, servicePackVersion(version, record));
    return type != ptUnknown ? type : productTypeFromRegistry();
}

std::string TOSVersionInfo::ProductID() const {
    return machineString(productKey(versionRecord()), "ProductID");
}

std::string TOSVersionInfo::ProductName() const {
    return machineString(productKey(versionRecord()), "ProductName");
}

int TOSVersionInfo::ServicePackVersion() const {
    const OsVersionRecord record = versionRecord();
    return servicePackVersion(ClassifyWindowsVersion(record), record);
}

std::uint32_t TOSVersionInfo::VersionBuild() const {
    const OsVersionRecord record = versionRecord();
    // The 9x family keeps its version in the high word of the build number.
    return record.platformId == VER_PLATFORM_WIN32_WINDOWS ? record.buildNumber & 0xFFFF
                                                           : record.buildNumber;
}
std::uint32_t TOSVersionInfo::VersionMajor() const {
    return versionRecord().majorVersion;
}
std::uint32_t TOSVersionInfo::VersionMinor() const {
    return versionRecord().minorVersion;
}

std::string OperatingSystemName() {
    const TOSVersionInfo os;
    return WindowsVersionName(os.OSVersion(), os.ProductName());
}

} // namespace brenvik
