#include "sysinfo/CPUInfo.h"

#include "platform/Platform.h"
#include "platform/SystemStatus.h"
#include "sysinfo/CPUTables.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace brenvik {

using platform::CpuidRegisters;
using platform::Processor;

namespace {

constexpr std::uint32_t ExtendedBase = 0x80000000;
constexpr std::uint32_t BitMMX = 1u << 23;
constexpr std::uint32_t BitTimeStampCounter = 1u << 4;
constexpr std::uint32_t BitLongMode = 1u << 29;
constexpr std::uint32_t BitTopologyExtensions = 1u << 22; // ECX of 0x80000001 (AMD)

std::uint32_t bits(std::uint32_t value, int low, int count) {
    return (value >> low) & ((1u << count) - 1);
}

// The size in kilobytes of the data or unified caches of `level` a deterministic cache leaf
// (Intel's leaf 4, AMD's 0x8000001D, the same layout) lists, summed; 0 when it lists none.
std::uint32_t deterministicCacheSize(Processor& processor, std::uint32_t leaf, unsigned level) {
    constexpr unsigned InstructionCache = 2;
    std::uint64_t bytes = 0;
    for (std::uint32_t index = 0; index < 16; ++index) {
        const CpuidRegisters cache = processor.cpuid(leaf, index);
        const unsigned type = bits(cache.eax, 0, 5);
        if (type == 0) // no more caches
            break;
        if (bits(cache.eax, 5, 3) != level || type == InstructionCache)
            continue;
        const std::uint64_t ways = bits(cache.ebx, 22, 10) + 1;
        const std::uint64_t partitions = bits(cache.ebx, 12, 10) + 1;
        const std::uint64_t lineSize = bits(cache.ebx, 0, 12) + 1;
        const std::uint64_t sets = std::uint64_t(cache.ecx) + 1;
        bytes += ways * partitions * lineSize * sets;
    }
    return static_cast<std::uint32_t>(bytes / 1024);
}

// Level-2 and level-3 cache sizes in kilobytes; 0 where a source reports none.
struct Caches {
    std::uint32_t level2 = 0;
    std::uint32_t level3 = 0;
};

Caches deterministicCaches(Processor& processor, std::uint32_t leaf) {
    return {deterministicCacheSize(processor, leaf, 2), deterministicCacheSize(processor, leaf, 3)};
}

// The sizes the cache descriptors of leaf 2 give.

Caches leaf2Caches(Processor& processor, unsigned family, unsigned model) {
    Caches sums;
    // The low byte of EAX tells how often the leaf must be read to get every descriptor.
    CpuidRegisters registers = processor.cpuid(2);
    const unsigned reads = std::max(1u, std::min(bits(registers.eax, 0, 8), 16u));
    for (unsigned read = 0; read < reads; ++read) {
        if (read > 0)
            registers = processor.cpuid(2);
        const std::array<std::uint32_t, 4> values{registers.eax, registers.ebx, registers.ecx,
                                                  registers.edx};
        for (std::size_t r = 0; r < values.size(); ++r) {
            if ((values[r] & 0x80000000u) != 0) // bit 31 set: the register holds no descriptors
                continue;
            for (int byte = r == 0 ? 1 : 0; byte < 4; ++byte) {
                const auto descriptor = static_cast<std::uint8_t>(bits(values[r], 8 * byte, 8));
                const CacheDescriptor cache = DecodeCacheDescriptor(descriptor, family, model);
                if (cache.level == 2)
                    sums.level2 += cache.kilobytes;
                else if (cache.level == 3)
                    sums.level3 += cache.kilobytes;
            }
        }
    }
    return sums;
}

// The second-level size in kilobytes leaf 0x80000006 gives, with VIA's known slips mended as the
// kernel mends them: the C3 (family 6, models 7 and 8) puts the size in the top byte, and the
// first Nehemiah (model 9, stepping 1) says 65 for 64.
std::uint32_t summaryLevel2(const CpuidRegisters& extended6, CpuVendor vendor, unsigned family,
                            unsigned model, unsigned stepping) {
    std::uint32_t kilobytes = bits(extended6.ecx, 16, 16);
    if (vendor == CpuVendor::Centaur && family == 6) {
        if (model == 7 || model == 8)
            kilobytes >>= 8;
        else if (model == 9 && stepping == 1 && kilobytes == 65)
            kilobytes = 64;
    }
    return kilobytes;
}

std::string vendorString(const CpuidRegisters& leaf0) {
    char text[12];
    std::memcpy(text, &leaf0.ebx, 4);
    std::memcpy(text + 4, &leaf0.edx, 4);
    std::memcpy(text + 8, &leaf0.ecx, 4);
    return std::string(text, 12);
}

std::string brandString(Processor& processor) {
    char text[49] = {};
    for (std::uint32_t part = 0; part < 3; ++part) {
        const CpuidRegisters registers = processor.cpuid(ExtendedBase + 2 + part);
        std::memcpy(text + 16 * part, &registers, 16);
    }
    return std::string(text); // cut at the first NUL; leading blanks stay
}

// Polls the performance counter, reading the time-stamp counter after each poll, until the counter
// is `ticks` past `from`. False when the counter does not get there (a counter that stands still).
bool pollUntil(Processor& processor, std::int64_t from, std::int64_t ticks, std::int64_t& counter,
               std::uint64_t& timeStamp) {
    constexpr long MaxPolls = 10'000'000;
    for (long poll = 0; poll < MaxPolls; ++poll) {
        counter = processor.performanceCounter();
        timeStamp = processor.timeStampCounter();
        if (counter - from >= ticks)
            return true;
    }
    return false;
}

// Raises the calling thread to the most urgent priority for one measuring pass and puts the
// previous priority back however the pass ends. A priority that cannot be read, or a raise the
// system refuses, leaves the thread as it was.
class UrgentPriority {
public:
    explicit UrgentPriority(Processor& processor) : processor_(processor) {
        previous_ = processor_.threadPriority();
        raised_ = previous_ && processor_.setThreadPriority(processor_.timeCriticalPriority());
    }
    ~UrgentPriority() {
        if (raised_)
            processor_.setThreadPriority(*previous_);
    }
    UrgentPriority(const UrgentPriority&) = delete;
    UrgentPriority& operator=(const UrgentPriority&) = delete;

private:
    Processor& processor_;
    std::optional<int> previous_;
    bool raised_ = false;
};

// Each of the last three estimates lies within one MHz of their mean.
bool settled(const std::vector<long long>& estimates) {
    if (estimates.size() < 3)
        return false;
    const auto last = estimates.end();
    const long long sum = *(last - 1) + *(last - 2) + *(last - 3);
    return std::llabs(3 * *(last - 1) - sum) <= 3 && std::llabs(3 * *(last - 2) - sum) <= 3 &&
           std::llabs(3 * *(last - 3) - sum) <= 3;
}

} // namespace

CpuIdentity IdentifyProcessor(Processor& processor) {
    CpuIdentity identity;
    if (!processor.hasCpuid())
        return identity;
    const CpuidRegisters leaf0 = processor.cpuid(0);
    const std::uint32_t maxLeaf = leaf0.eax;
    identity.vendorId = vendorString(leaf0);
    const CpuVendor vendor = VendorFromId(identity.vendorId);

    CpuidRegisters leaf1;
    if (maxLeaf >= 1)
        leaf1 = processor.cpuid(1);
    identity.mmx = (leaf1.edx & BitMMX) != 0;
    identity.timeStampCounter = (leaf1.edx & BitTimeStampCounter) != 0;

    // Every maker's 64-bit processors report long mode in the same bit, so the extended leaves are
    // read whoever made the processor.
    std::uint32_t maxExtended = processor.cpuid(ExtendedBase).eax;
    // Processors without extended leaves may echo anything here.
    if ((maxExtended & 0xFFFF0000u) != ExtendedBase)
        maxExtended = 0;
    const bool extended = maxExtended >= ExtendedBase + 1;
    const CpuidRegisters extended1 =
        extended ? processor.cpuid(ExtendedBase + 1) : CpuidRegisters{};
    identity.is64Bits = extended && (extended1.edx & BitLongMode) != 0;

    const std::uint32_t signature =
        vendor == CpuVendor::AMD && extended ? extended1.eax : leaf1.eax;
    // The family and model as the makers count them: the extended fields add to the base ones.
    unsigned family = bits(signature, 8, 4);
    unsigned model = bits(signature, 4, 4);
    if (family >= 6)
        model += bits(signature, 16, 4) << 4;
    if (family == 15)
        family += bits(signature, 20, 8);
    identity.family = static_cast<std::uint8_t>(family);
    identity.model = static_cast<std::uint8_t>(model);
    identity.stepping = static_cast<std::uint8_t>(bits(signature, 0, 4));

    if (vendor == CpuVendor::Other)
        return identity; // only the generic decoding of leaf 1

    const std::string brand =
        maxExtended >= ExtendedBase + 4 ? brandString(processor) : std::string();
    identity.name = brand.empty() ? ProcessorNameFromTables(vendor, family, model) : brand;

    const CpuidRegisters extended6 =
        maxExtended >= ExtendedBase + 6 ? processor.cpuid(ExtendedBase + 6) : CpuidRegisters{};
    // Where the processor lists its caches one by one, that list gives the sizes of one cache as
    // the kernel shows them; the older summary leaves may give another figure (a hypervisor's, or
    // the whole package's third level).
    Caches listed;
    if (vendor == CpuVendor::Intel && maxLeaf >= 4)
        listed = deterministicCaches(processor, 4);
    else if (vendor == CpuVendor::AMD && (extended1.ecx & BitTopologyExtensions) != 0 &&
             maxExtended >= ExtendedBase + 0x1D)
        listed = deterministicCaches(processor, ExtendedBase + 0x1D);

    // Leaf 2 descriptors are Intel's encoding; other makers leave the leaf empty or mean other
    // things by the same bytes.
    const Caches descriptors = vendor == CpuVendor::Intel && maxLeaf >= 2
                                   ? leaf2Caches(processor, family, model)
                                   : Caches{};
    identity.l2Cache = listed.level2;
    if (identity.l2Cache == 0)
        identity.l2Cache = summaryLevel2(extended6, vendor, family, model, identity.stepping);
    if (identity.l2Cache == 0)
        identity.l2Cache = descriptors.level2;

    if (vendor == CpuVendor::Intel)
        identity.l3Cache = listed.level3 != 0 ? listed.level3 : descriptors.level3;
    else if (vendor == CpuVendor::AMD) // in megabytes
        identity.l3Cache = listed.level3 != 0 ? listed.level3 / 1024 : extended6.edx >> 19;
    return identity;
}

ClockMeasurement MeasureClock(Processor& processor, bool hasTimeStampCounter) {
    ClockMeasurement result;
    const std::int64_t frequency = processor.performanceFrequency();
    if (!hasTimeStampCounter || frequency <= 0)
        return result;
    constexpr int MaxPasses = 20;
    constexpr std::int64_t LeadTicks = 50;
    constexpr std::int64_t PassTicks = 1000;
    std::uint64_t totalCycles = 0;
    double totalMicroseconds = 0;
    std::vector<long long> estimates;
    while (result.passes < MaxPasses) {
        std::int64_t startCounter = 0, endCounter = 0;
        std::uint64_t startStamp = 0, endStamp = 0;
        {
            const std::int64_t origin = processor.performanceCounter();
            const UrgentPriority urgent(processor);
            if (!pollUntil(processor, origin, LeadTicks, startCounter, startStamp) ||
                !pollUntil(processor, startCounter, PassTicks, endCounter, endStamp))
                break;
        }
        const std::uint64_t cycles = endStamp - startStamp;
        const double microseconds = static_cast<double>(endCounter - startCounter) * 100000.0 /
                                    (static_cast<double>(frequency) / 10.0);
        ++result.passes;
        totalCycles += cycles;
        totalMicroseconds += microseconds;
        estimates.push_back(std::llround(static_cast<double>(cycles) / microseconds));
        if (result.passes >= 3 && settled(estimates))
            break;
    }
    if (totalMicroseconds <= 0)
        return result;
    const double megahertz = static_cast<double>(totalCycles) / totalMicroseconds;
    result.rawFreq = static_cast<int>(std::llround(megahertz));
    long long tenths = std::llround(10 * megahertz);
    if (std::llround(100 * megahertz) - 10 * tenths >= 6)
        ++tenths;
    int normalised = result.rawFreq;
    if (tenths - 10LL * result.rawFreq >= 6)
        ++normalised;
    result.normFreq = NormaliseFrequency(normalised);
    return result;
}

int NormaliseFrequency(int megahertz) {
    static constexpr int Endings[] = {0, 20, 33, 50, 60, 66, 80, 90, 100};
    const int rest = megahertz % 100;
    std::size_t upper = 1;
    while (upper < std::size(Endings) - 1 && Endings[upper] <= rest)
        ++upper;
    const int low = Endings[upper - 1];
    const int high = Endings[upper];
    return megahertz - rest + (rest - low < high - rest ? low : high);
}

namespace {

CpuIdentity identify() {
    return IdentifyProcessor(*platform::current().processor);
}

ClockMeasurement measure() {
    Processor& processor = *platform::current().processor;
    return MeasureClock(processor, IdentifyProcessor(processor).timeStampCounter);
}

} // namespace

std::string TCPUInfo::Name() const {
    return identify().name;
}
std::uint32_t TCPUInfo::ProcessorCount() const {
    return platform::current().system->processorCount();
}
std::string TCPUInfo::VendorIDString() const {
    return identify().vendorId;
}
std::uint8_t TCPUInfo::Family() const {
    return identify().family;
}
std::uint8_t TCPUInfo::Model() const {
    return identify().model;
}
std::uint8_t TCPUInfo::Stepping() const {
    return identify().stepping;
}
bool TCPUInfo::Is64Bits() const {
    return identify().is64Bits;
}
bool TCPUInfo::MMX() const {
    return identify().mmx;
}
int TCPUInfo::RawFreq() const {
    return measure().rawFreq;
}
int TCPUInfo::NormFreq() const {
    return measure().normFreq;
}
std::uint32_t TCPUInfo::L2Cache() const {
    return identify().l2Cache;
}
std::uint32_t TCPUInfo::L3Cache() const {
    return identify().l3Cache;
}

} // namespace brenvik
