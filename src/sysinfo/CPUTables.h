#pragma once

// Tables from the processor makers' public manuals: the cache descriptors of CPUID leaf 2 and the
// names of processors that carry no brand string.

#include <cstdint>
#include <string>

namespace brenvik {

enum class CpuVendor { Intel, AMD, Cyrix, Centaur, Transmeta, Other };

CpuVendor VendorFromId(const std::string& vendorId);

struct CacheDescriptor {
    int level = 0; // 0: the byte describes no cache (a TLB, a prefetch, nothing)
    std::uint32_t kilobytes = 0;
};

// One descriptor byte of leaf 2; family and model settle the one descriptor whose meaning
// depends on the processor.
CacheDescriptor DecodeCacheDescriptor(std::uint8_t descriptor, unsigned family, unsigned model);

// The name of a processor without a brand string, from its maker's family and model tables.
std::string ProcessorNameFromTables(CpuVendor vendor, unsigned family, unsigned model);

} // namespace brenvik
