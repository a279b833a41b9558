#include "sysinfo/CPUTables.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace brenvik {

namespace {

struct DescriptorEntry {
    std::uint8_t descriptor;
    int level; // 1 for both first-level caches; only levels 2 and 3 are summed
    std::uint32_t kilobytes;
};

// Cache descriptors of CPUID leaf 2 (Intel's instruction-set reference, "Encoding of CPUID leaf 2
// descriptors"); TLB and prefetch descriptors are left out: they describe no cache size.
constexpr DescriptorEntry Descriptors[] = {
    {0x06, 1, 8},    {0x08, 1, 16},    {0x09, 1, 32},    {0x0A, 1, 8},     {0x0C, 1, 16},
    {0x0D, 1, 16},   {0x0E, 1, 24},    {0x1D, 2, 128},   {0x21, 2, 256},   {0x22, 3, 512},
    {0x23, 3, 1024}, {0x24, 2, 1024},  {0x25, 3, 2048},  {0x29, 3, 4096},  {0x2C, 1, 32},
    {0x30, 1, 32},   {0x39, 2, 128},   {0x3A, 2, 192},   {0x3B, 2, 128},   {0x3C, 2, 256},
    {0x3D, 2, 384},  {0x3E, 2, 512},   {0x41, 2, 128},   {0x42, 2, 256},   {0x43, 2, 512},
    {0x44, 2, 1024}, {0x45, 2, 2048},  {0x46, 3, 4096},  {0x47, 3, 8192},  {0x48, 2, 3072},
    {0x49, 2, 4096}, {0x4A, 3, 6144},  {0x4B, 3, 8192},  {0x4C, 3, 12288}, {0x4D, 3, 16384},
    {0x4E, 2, 6144}, {0x60, 1, 16},    {0x66, 1, 8},     {0x67, 1, 16},    {0x68, 1, 32},
    {0x78, 2, 1024}, {0x79, 2, 128},   {0x7A, 2, 256},   {0x7B, 2, 512},   {0x7C, 2, 1024},
    {0x7D, 2, 2048}, {0x7F, 2, 512},   {0x80, 2, 512},   {0x82, 2, 256},   {0x83, 2, 512},
    {0x84, 2, 1024}, {0x85, 2, 2048},  {0x86, 2, 512},   {0x87, 2, 1024},  {0xD0, 3, 512},
    {0xD1, 3, 1024}, {0xD2, 3, 2048},  {0xD6, 3, 1024},  {0xD7, 3, 2048},  {0xD8, 3, 4096},
    {0xDC, 3, 1536}, {0xDD, 3, 3072},  {0xDE, 3, 6144},  {0xE2, 3, 2048},  {0xE3, 3, 4096},
    {0xE4, 3, 8192}, {0xEA, 3, 12288}, {0xEB, 3, 18432}, {0xEC, 3, 24576},
};

struct NameEntry {
    CpuVendor vendor;
    unsigned family;
    int model; // -1: any model of the family
    const char* name;
};

// Processors from before brand strings, by the makers' processor-recognition notes. The first
// matching row wins, so a family's catch-all row comes after its models.
constexpr NameEntry Names[] = {
    {CpuVendor::Intel, 4, 0, "Intel 486 DX"},
    {CpuVendor::Intel, 4, 1, "Intel 486 DX"},
    {CpuVendor::Intel, 4, 2, "Intel 486 SX"},
    {CpuVendor::Intel, 4, 3, "Intel 486 DX2"},
    {CpuVendor::Intel, 4, 4, "Intel 486 SL"},
    {CpuVendor::Intel, 4, 5, "Intel 486 SX2"},
    {CpuVendor::Intel, 4, 7, "Intel 486 DX2 Write-Back"},
    {CpuVendor::Intel, 4, 8, "Intel 486 DX4"},
    {CpuVendor::Intel, 4, 9, "Intel 486 DX4 Write-Back"},
    {CpuVendor::Intel, 4, -1, "Intel 486"},
    {CpuVendor::Intel, 5, 3, "Intel Pentium OverDrive"},
    {CpuVendor::Intel, 5, 4, "Intel Pentium MMX"},
    {CpuVendor::Intel, 5, 8, "Intel Pentium MMX"},
    {CpuVendor::Intel, 5, -1, "Intel Pentium"},
    {CpuVendor::Intel, 6, 1, "Intel Pentium Pro"},
    {CpuVendor::Intel, 6, 3, "Intel Pentium II"},
    {CpuVendor::Intel, 6, 5, "Intel Pentium II"},
    {CpuVendor::Intel, 6, 6, "Intel Celeron"},
    {CpuVendor::Intel, 6, 7, "Intel Pentium III"},
    {CpuVendor::Intel, 6, 8, "Intel Pentium III"},
    {CpuVendor::Intel, 6, 9, "Intel Pentium M"},
    {CpuVendor::Intel, 6, 10, "Intel Pentium III Xeon"},
    {CpuVendor::Intel, 6, 11, "Intel Pentium III"},
    {CpuVendor::Intel, 6, 13, "Intel Pentium M"},
    {CpuVendor::Intel, 6, 14, "Intel Core"},
    {CpuVendor::Intel, 6, 15, "Intel Core 2"},
    {CpuVendor::Intel, 6, -1, "Intel P6 family"},
    {CpuVendor::Intel, 15, -1, "Intel Pentium 4"},
    {CpuVendor::AMD, 4, 3, "AMD 486 DX2"},
    {CpuVendor::AMD, 4, 7, "AMD 486 DX2 Write-Back"},
    {CpuVendor::AMD, 4, 8, "AMD 486 DX4"},
    {CpuVendor::AMD, 4, 9, "AMD 486 DX4 Write-Back"},
    {CpuVendor::AMD, 4, 14, "AMD 5x86"},
    {CpuVendor::AMD, 4, 15, "AMD 5x86 Write-Back"},
    {CpuVendor::AMD, 4, -1, "AMD 486"},
    {CpuVendor::AMD, 5, 0, "AMD K5"},
    {CpuVendor::AMD, 5, 1, "AMD K5"},
    {CpuVendor::AMD, 5, 2, "AMD K5"},
    {CpuVendor::AMD, 5, 3, "AMD K5"},
    {CpuVendor::AMD, 5, 6, "AMD K6"},
    {CpuVendor::AMD, 5, 7, "AMD K6"},
    {CpuVendor::AMD, 5, 8, "AMD K6-2"},
    {CpuVendor::AMD, 5, 9, "AMD K6-III"},
    {CpuVendor::AMD, 5, 13, "AMD K6-2+"},
    {CpuVendor::AMD, 5, -1, "AMD K5/K6 family"},
    {CpuVendor::AMD, 6, 3, "AMD Duron"},
    {CpuVendor::AMD, 6, 7, "AMD Duron"},
    {CpuVendor::AMD, 6, 6, "AMD Athlon XP"},
    {CpuVendor::AMD, 6, 8, "AMD Athlon XP"},
    {CpuVendor::AMD, 6, 10, "AMD Athlon XP"},
    {CpuVendor::AMD, 6, -1, "AMD Athlon"},
    {CpuVendor::AMD, 15, -1, "AMD Athlon 64"},
    {CpuVendor::Cyrix, 4, 4, "Cyrix MediaGX"},
    {CpuVendor::Cyrix, 4, -1, "Cyrix 5x86"},
    {CpuVendor::Cyrix, 5, 2, "Cyrix 6x86"},
    {CpuVendor::Cyrix, 5, 4, "Cyrix MediaGX MMX"},
    {CpuVendor::Cyrix, 5, -1, "Cyrix 6x86"},
    {CpuVendor::Cyrix, 6, 0, "Cyrix 6x86MX"},
    {CpuVendor::Cyrix, 6, 5, "VIA Cyrix III"},
    {CpuVendor::Cyrix, 6, -1, "Cyrix M II"},
    {CpuVendor::Centaur, 5, 4, "IDT WinChip C6"},
    {CpuVendor::Centaur, 5, 8, "IDT WinChip 2"},
    {CpuVendor::Centaur, 5, 9, "IDT WinChip 3"},
    {CpuVendor::Centaur, 5, -1, "IDT WinChip"},
    {CpuVendor::Centaur, 6, 6, "VIA Cyrix III"},
    {CpuVendor::Centaur, 6, 10, "VIA C7"},
    {CpuVendor::Centaur, 6, -1, "VIA C3"},
    {CpuVendor::Transmeta, 5, -1, "Transmeta Crusoe"},
    {CpuVendor::Transmeta, 15, -1, "Transmeta Efficeon"},
};

const char* vendorFallbackName(CpuVendor vendor) {
    switch (vendor) {
    case CpuVendor::Intel:
        return "Intel processor";
    case CpuVendor::AMD:
        return "AMD processor";
    case CpuVendor::Cyrix:
        return "Cyrix processor";
    case CpuVendor::Centaur:
        return "Centaur processor";
    case CpuVendor::Transmeta:
        return "Transmeta processor";
    case CpuVendor::Other:
        break;
    }
    return "Unknown";
}

} // namespace

CpuVendor VendorFromId(const std::string& vendorId) {
    if (vendorId == "GenuineIntel")
        return CpuVendor::Intel;
    if (vendorId == "AuthenticAMD")
        return CpuVendor::AMD;
    if (vendorId == "CyrixInstead")
        return CpuVendor::Cyrix;
    if (vendorId == "CentaurHauls")
        return CpuVendor::Centaur;
    if (vendorId == "GenuineTMx86")
        return CpuVendor::Transmeta;
    return CpuVendor::Other;
}

CacheDescriptor DecodeCacheDescriptor(std::uint8_t descriptor, unsigned family, unsigned model) {
    // 0x49 is a third-level cache only on the Xeon MP of family 15, model 6.
    if (descriptor == 0x49 && family == 15 && model == 6)
        return {3, 4096};
    const auto found =
        std::find_if(std::begin(Descriptors), std::end(Descriptors),
                     [&](const DescriptorEntry& entry) { return entry.descriptor == descriptor; });
    if (found == std::end(Descriptors))
        return {};
    return {found->level, found->kilobytes};
}

std::string ProcessorNameFromTables(CpuVendor vendor, unsigned family, unsigned model) {
    for (const NameEntry& entry : Names) {
        if (entry.vendor == vendor && entry.family == family &&
            (entry.model < 0 || static_cast<unsigned>(entry.model) == model))
            return entry.name;
    }
    return vendorFallbackName(vendor);
}

} // namespace brenvik
