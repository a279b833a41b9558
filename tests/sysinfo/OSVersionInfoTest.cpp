#include "fakes/FakePlatform.h"
#include "platform/TRegistry.h"
#include "sysinfo/ComputerInfo.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace brenvik {
namespace {

using namespace platform;

constexpr std::uint32_t Win9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr std::uint32_t NT = VER_PLATFORM_WIN32_NT;
constexpr std::uint8_t Workstation = 1;
constexpr std::uint8_t DomainController = 2;
constexpr std::uint8_t Server = 3;

void writeMachineString(const std::string& key, const std::string& name, const std::string& value) {
    TRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey(key, true));
    registry.WriteString(name, value);
}

void writeMachineInteger(const std::string& key, const std::string& name, std::int32_t value) {
    TRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey(key, true));
    registry.WriteInteger(name, value);
}

// One machine: its version record, what its registry holds, and what the " Windows " box shows.
struct VersionCase {
    const char* what;
    std::uint32_t platformId;
    std::uint32_t major, minor, build;
    const char* csd;
    bool extended;            // GetVersionEx with the extended record succeeds
    std::uint8_t productType; // wProductType
    std::uint16_t suiteMask;
    std::uint16_t servicePack;
    std::uint32_t kernelVersion;
    std::int32_t serverR2;
    std::uint16_t architecture;
    const char* registryProductType; // ProductOptions\ProductType, nullptr: missing
    TWindowsVersion version;
    const char* name; // "Version:"; the product name is "Registry Product"
    const char* typeText;
    int servicePackShown;
    std::uint32_t registryCSDVersion = 0x0600; // read by the systems before Windows 2000
};

class Classification : public ::testing::TestWithParam<VersionCase> {};

TEST_P(Classification, ShowsTheVersionNameProductTypeAndServicePack) {
    const VersionCase& c = GetParam();
    test::FakePlatformScope fake;
    OsVersionRecord& record = fake->fakeSystem().version;
    record = {};
    record.platformId = c.platformId;
    record.majorVersion = c.major;
    record.minorVersion = c.minor;
    record.buildNumber = c.build;
    record.csdVersion = c.csd;
    record.extended = c.extended;
    record.productType = c.productType;
    record.suiteMask = c.suiteMask;
    record.servicePackMajor = c.servicePack;
    record.kernelVersion = c.kernelVersion;
    record.serverR2 = c.serverR2;
    record.nativeArchitecture = c.architecture;
    const std::string productKey = c.platformId == NT
                                       ? "Software\\Microsoft\\Windows NT\\CurrentVersion"
                                       : "Software\\Microsoft\\Windows\\CurrentVersion";
    writeMachineString(productKey, "ProductName", "Registry Product");
    if (c.registryProductType != nullptr)
        writeMachineString("SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType",
                           c.registryProductType);
    writeMachineInteger("SYSTEM\\CurrentControlSet\\Control\\Windows", "CSDVersion",
                        c.registryCSDVersion);

    const TComputerInfo info;
    EXPECT_EQ(info.OS().OSVersion(), c.version);
    const auto rows = WindowsRows(info.OS());
    EXPECT_EQ(rows[0], InfoRow("Version:", c.name));
    EXPECT_EQ(rows[3], InfoRow("Product Type:", c.typeText));
    EXPECT_EQ(rows[4], InfoRow("SP Version:", std::to_string(c.servicePackShown)));
    EXPECT_EQ(OperatingSystemName(), c.name);
}

constexpr std::uint16_t Enterprise = 0x0002;
constexpr std::uint16_t Datacenter = 0x0080;
constexpr std::uint16_t Personal = 0x0200;
constexpr std::uint16_t Blade = 0x0400;
constexpr std::uint32_t Me = 0x0004005A;
constexpr std::uint16_t X64 = PROCESSOR_ARCHITECTURE_AMD64;

// clang-format off
const VersionCase Cases[] = {
 // what                         platform maj min build  csd     ext  type  suite  sp kernel R2 arch registry   version          name                   type text            SP
 {"Windows 95",                  Win9x, 4, 0,  950,  "",       false, 0, 0, 0, 0, 0, 0, nullptr,    wvWin95,        "Windows 95",          "N/A",                6},
 {"Windows 95 OSR2 (B)",         Win9x, 4, 0,  1111, " B ",    false, 0, 0, 0, 0, 0, 0, nullptr,    wvWin95OSR2,    "Windows 95",          "N/A",                6},
 {"Windows 95 OSR2.5 (C)",       Win9x, 4, 0,  1212, "C",      false, 0, 0, 0, 0, 0, 0, nullptr,    wvWin95OSR2,    "Windows 95",          "N/A",                6},
 {"Windows 95, lower-case b",    Win9x, 4, 0,  1111, "b",      false, 0, 0, 0, 0, 0, 0, nullptr,    wvWin95,        "Windows 95",          "N/A",                6},
 {"Windows 98",                  Win9x, 4, 10, 1998, "",       false, 0, 0, 0, 0, 0, 0, nullptr,    wvWin98,        "Windows 98",          "N/A",                6},
 {"Windows 98 SE (A)",           Win9x, 4, 10, 2222, " A",     false, 0, 0, 0, 0, 0, 0, nullptr,    wvWin98SE,      "Windows 98SE",        "N/A",                6},
 {"Windows 98 SE (B)",           Win9x, 4, 10, 2222, "B\r\n",  false, 0, 0, 0, 0, 0, 0, nullptr,    wvWin98SE,      "Windows 98SE",        "N/A",                6},
 {"Windows Me with minor 10",    Win9x, 4, 10, 3000, "A",      false, 0, 0, 0, Me, 0, 0, nullptr,   wvWinME,        "Windows Me",          "N/A",                6},
 {"Windows Me",                  Win9x, 4, 90, 3000, "",       false, 0, 0, 0, 0, 0, 0, nullptr,    wvWinME,        "Windows Me",          "N/A",                6},
 {"9x minor above 90",           Win9x, 4, 91, 1,    "",       false, 0, 0, 0, 0, 0, 0, nullptr,    wvUnknown,      "Registry Product",    "N/A",                6},
 {"NT 3.1",                      NT,    3, 10, 528,  "",       false, 0, 0, 0, 0, 0, 0, nullptr,    wvWinNT31,      "Windows NT 3.1",      "N/A",                6},
 {"NT 3.5",                      NT,    3, 50, 807,  "",       false, 0, 0, 0, 0, 0, 0, nullptr,    wvWinNT35,      "Windows NT 3.5",      "N/A",                6},
 {"NT 3.51",                     NT,    3, 51, 1057, "",       false, 0, 0, 0, 0, 0, 0, nullptr,    wvWinNT351,     "Windows NT 3.51",     "N/A",                6},
 {"NT 3.x other",                NT,    3, 20, 1,    "",       false, 0, 0, 0, 0, 0, 0, "WinNT",    wvUnknown,      "Registry Product",    "Workstation",        6},
 {"NT4 SP6 workstation",         NT,    4, 0,  1381, "Service Pack 6", true, Workstation, 0, 6, 0, 0, 0, nullptr, wvWinNT4, "Windows NT4", "Workstation",     6},
 {"NT4 SP6 enterprise server",   NT,    4, 0,  1381, "",       true,  Server, Enterprise, 6, 0, 0, 0, nullptr, wvWinNT4,   "Windows NT4",         "Enterprise",         6},
 {"NT4 SP6 server",              NT,    4, 0,  1381, "",       true,  Server, 0, 6, 0, 0, 0, nullptr, wvWinNT4,           "Windows NT4",         "Server",             6},
 {"NT4 SP6, extended call fails",NT,    4, 0,  1381, "",       false, 0, 0, 0, 0, 0, 0, "LanmanNT", wvWinNT4,       "Windows NT4",         "Server",             6},
 // Below service pack 6 the extended record is not asked: only the registry gives the type.
 {"NT4 SP5, server record",      NT,    4, 0,  1381, "Service Pack 5", true, Server, Enterprise, 5, 0, 0, 0, "WinNT", wvWinNT4, "Windows NT4", "Workstation", 5, 0x0500},
 {"NT4 SP3, no registry type",   NT,    4, 0,  1381, "",       true,  Workstation, 0, 3, 0, 0, 0, nullptr, wvWinNT4,  "Windows NT4",         "N/A",                3, 0x0300},
 {"NT4 SP6a (0x0650)",           NT,    4, 0,  1381, "",       true,  Workstation, 0, 6, 0, 0, 0, nullptr, wvWinNT4,  "Windows NT4",         "Workstation",        6, 0x0650},
 {"Windows 2000 Professional",   NT,    5, 0,  2195, "",       true,  Workstation, 0, 4, 0, 0, 0, nullptr, wvWin2000,   "Windows 2000",        "Professional Edition", 4},
 {"Windows 2000 Datacenter",     NT,    5, 0,  2195, "",       true,  Server, Datacenter, 4, 0, 0, 0, nullptr, wvWin2000, "Windows 2000",      "DC Server",          4},
 {"Windows 2000 Advanced Server",NT,    5, 0,  2195, "",       true,  DomainController, Enterprise, 4, 0, 0, 0, nullptr, wvWin2000, "Windows 2000", "Advanced Server", 4},
 {"Windows 2000 Server",         NT,    5, 0,  2195, "",       true,  Server, 0, 3, 0, 0, 0, nullptr, wvWin2000,          "Windows 2000",        "Server",             3},
 {"Windows 2000, call fails",    NT,    5, 0,  2195, "",       false, 0, 0, 0, 0, 0, 0, "ServerNT", wvWin2000,      "Windows 2000",        "Advanced Server",    0},
 {"Windows XP Professional",     NT,    5, 1,  2600, "",       true,  Workstation, 0, 3, 0, 0, 0, nullptr, wvWinXP,     "Windows XP",          "Professional Edition", 3},
 {"Windows XP Home",             NT,    5, 1,  2600, "",       true,  Workstation, Personal, 2, 0, 0, 0, nullptr, wvWinXP, "Windows XP",      "Personal Edition",   2},
 {"Windows XP, no type",         NT,    5, 1,  2600, "",       false, 0, 0, 0, 0, 0, 0, "WINNT",    wvWinXP,        "Windows XP",          "Workstation",        0},
 {"Windows Server 2003",         NT,    5, 2,  3790, "",       true,  Server, 0, 1, 0, 0, 0, nullptr, wvWin2003,          "Windows 2003",        "Server",             1},
 {"Windows Server 2003 Ent.",    NT,    5, 2,  3790, "",       true,  Server, Enterprise, 1, 0, 0, 0, nullptr, wvWin2003, "Windows 2003",      "Enterprise",         1},
 {"Windows Server 2003 DC",      NT,    5, 2,  3790, "",       true,  DomainController, Datacenter | Enterprise, 2, 0, 0, 0, nullptr, wvWin2003, "Windows 2003", "DC Server", 2},
 {"Windows Server 2003 Web",     NT,    5, 2,  3790, "",       true,  Server, Blade, 0, 0, 0, 0, nullptr, wvWin2003,      "Windows 2003",        "Web Edition",        0},
 {"2003 blade plus other suite", NT,    5, 2,  3790, "",       true,  Server, Blade | 0x0010, 0, 0, 0, 0, nullptr, wvWin2003, "Windows 2003",  "Server",             0},
 {"Windows Server 2003 R2",      NT,    5, 2,  3790, "",       true,  Server, 0, 2, 0, 1, 0, nullptr, wvWin2003R2,        "Registry Product",    "Server",             2},
 {"Windows XP x64",              NT,    5, 2,  3790, "",       true,  Workstation, 0, 2, 0, 0, X64, nullptr, wvWinXP64,   "Registry Product",    "Professional Edition", 2},
 {"5.2 workstation on x86",      NT,    5, 2,  3790, "",       true,  Workstation, 0, 0, 0, 0, 0, nullptr, wvWin2003,     "Windows 2003",        "Professional Edition", 0},
 {"5.2 x64, call fails",         NT,    5, 2,  3790, "",       false, 0, 0, 0, 0, 0, X64, nullptr,  wvWin2003,      "Windows 2003",        "N/A",                0},
 {"5.3",                         NT,    5, 3,  1,    "",       true,  Workstation, 0, 0, 0, 0, 0, nullptr, wvUnknown,     "Registry Product",    "N/A",                6},
 {"Windows Vista",               NT,    6, 0,  6000, "",       true,  Workstation, 0, 1, 0, 0, X64, nullptr, wvWinVista,  "Windows Vista",       "Professional Edition", 1},
 {"Windows Vista Home",          NT,    6, 0,  6000, "",       true,  Workstation, Personal, 1, 0, 0, 0, nullptr, wvWinVista, "Windows Vista", "Personal Edition",   1},
 {"Windows Server 2008",         NT,    6, 0,  6001, "",       true,  Server, 0, 1, 0, 0, X64, nullptr, wvWinServer2008,  "Windows Server 2008", "N/A",                1},
 {"6.0, call fails",             NT,    6, 0,  6001, "",       false, 0, 0, 0, 0, 0, 0, "LANMANNT", wvWinServer2008, "Windows Server 2008", "Server",             0},
 {"Windows 7",                   NT,    6, 1,  7601, "",       true,  Workstation, 0, 1, 0, 0, X64, "WinNT", wvUnknown,   "Registry Product",    "Workstation",        6},
 {"Windows 10",                  NT,    10, 0, 19045, "",      true,  Workstation, 0, 0, 0, 0, X64, "SomethingNT", wvUnknown, "Registry Product", "N/A",              6},
 {"Win32s",                      VER_PLATFORM_WIN32s, 1, 30, 1, "", false, 0, 0, 0, 0, 0, 0, nullptr, wvUnknown,      "Registry Product",    "N/A",                6},
 {"Linux",                       VER_PLATFORM_LINUX, 6, 1, 0, "", false, 0, 0, 0, 0, 0, 0, nullptr,  wvUnknown,      "Registry Product",    "N/A",                6},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Machines, Classification, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                             std::string name;
                             for (const char c : std::string(info.param.what))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(ServicePackFromCSDVersion, ReadsTheHexadecimalFormAsADecimalNumber) {
    struct Case {
        std::uint32_t value;
        int servicePack;
    };
    const Case cases[] = {
        {0x0000, 0},
        {0x0100, 1},
        {0x0300, 3},
        {0x0600, 6},
        {0x0699, 6},
        // A hexadecimal form with a letter is no decimal number: the high byte is the number.
        {0x0A00, 10},
        {0x01FF, 1},
        // More than four digits still read as decimal.
        {0x10600, 106},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ServicePackFromCSDVersion(c.value), c.servicePack) << std::hex << c.value;
}

TEST(OSVersionInfo, EmptyRegistryGivesEmptyTextsAndZero) {
    test::FakePlatformScope fake;
    fake->fakeSystem().version = {};
    fake->fakeSystem().version.platformId = VER_PLATFORM_WIN32_WINDOWS;
    const TOSVersionInfo os;
    EXPECT_EQ(os.ProductName(), "");
    EXPECT_EQ(os.ProductID(), "");
    EXPECT_EQ(os.ServicePackVersion(), 0);
    EXPECT_EQ(os.ProductType(), ptUnknown);
}

TEST(OSVersionInfo, ValuesOfAnotherTypeReadAsMissing) {
    test::FakePlatformScope fake;
    writeMachineInteger("Software\\Microsoft\\Windows\\CurrentVersion", "ProductName", 7);
    writeMachineString("SYSTEM\\CurrentControlSet\\Control\\Windows", "CSDVersion", "0600");
    const TOSVersionInfo os;
    EXPECT_EQ(os.ProductName(), "");
    EXPECT_EQ(os.ServicePackVersion(), 0);
}

TEST(OSVersionInfo, ProductKeyFollowsThePlatform) {
    test::FakePlatformScope fake;
    writeMachineString("Software\\Microsoft\\Windows NT\\CurrentVersion", "ProductID", "nt-id");
    writeMachineString("Software\\Microsoft\\Windows\\CurrentVersion", "ProductID", "9x-id");
    fake->fakeSystem().version.platformId = VER_PLATFORM_WIN32_NT;
    EXPECT_EQ(TOSVersionInfo().ProductID(), "nt-id");
    fake->fakeSystem().version.platformId = VER_PLATFORM_LINUX;
    EXPECT_EQ(TOSVersionInfo().ProductID(), "9x-id");
}

TEST(OSVersionInfo, VersionNumbersComeFromTheRecord) {
    test::FakePlatformScope fake;
    auto& record = fake->fakeSystem().version;
    record.platformId = VER_PLATFORM_LINUX;
    record.majorVersion = 6;
    record.minorVersion = 1;
    record.buildNumber = 76;
    const auto rows = WindowsRows(TOSVersionInfo());
    EXPECT_EQ(rows[5], InfoRow("Version Build:", "76"));
    EXPECT_EQ(rows[6], InfoRow("Major:", "6"));
    EXPECT_EQ(rows[7], InfoRow("Minor:", "1"));
    // The 9x family keeps its version numbers in the build number's high word.
    record.platformId = VER_PLATFORM_WIN32_WINDOWS;
    record.buildNumber = 0x040A08AE;
    EXPECT_EQ(TOSVersionInfo().VersionBuild(), 0x08AEu);
}

// The name the system gives itself, as a shell reads os-release (the format is shell syntax).
std::string osReleaseNameByTheShell() {
    FILE* pipe =
        popen("sh -c 'for f in /etc/os-release /usr/lib/os-release; do "
              "if [ -e \"$f\" ]; then . \"$f\"; printf %s \"${PRETTY_NAME:-${NAME:-Linux}}\"; "
              "exit; fi; done'",
              "r");
    if (pipe == nullptr)
        return {};
    std::string text;
    char buffer[256];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, got);
    pclose(pipe);
    return text;
}

TEST(OSVersionInfo, ThisMachineShowsTheSystemsOwnName) {
    // The real platform: its own identifier classifies as unknown and the name comes from the
    // registry's product name (os-release on Linux).
    const TOSVersionInfo os;
    EXPECT_EQ(os.OSVersion(), wvUnknown);
    EXPECT_EQ(OperatingSystemName(), os.ProductName());
    const std::string name = osReleaseNameByTheShell();
    if (name.empty())
        GTEST_SKIP() << "this system has no os-release file";
    EXPECT_EQ(os.ProductName(), name);
}

} // namespace
} // namespace brenvik
