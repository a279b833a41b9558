// Real processors' CPUID dumps, each with an independent decoding written under it, fed through
// the processor facts. More dumps in the same format can be added without a code change by naming
// their folder in BRENVIK_CPUID_DUMPS.

#include "fakes/FakePlatform.h"
#include "sysinfo/CPUInfo.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace brenvik {
namespace {

namespace fs = std::filesystem;
using platform::CpuidRegisters;

// One dump: the registers of its first logical processor, the reading aids the dumping tool
// wrote beside them, and the first block of the expected decoding (one value a line).
struct Dump {
    fs::path file;
    std::map<std::pair<std::uint32_t, std::uint32_t>, CpuidRegisters> leaves;
    std::optional<std::string> vendorAid;
    std::string brandAid;
    int brandAidParts = 0;
    std::vector<std::string> expected;
};

std::uint32_t hex(const std::string& text) {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
}

// The text of a register group's reading aid: what lies between its first '[' and the next ']'.
std::optional<std::string> readingAid(const std::string& line) {
    const auto open = line.find('[');
    const auto close = line.find(']', open);
    if (open == std::string::npos || close == std::string::npos)
        return std::nullopt;
    return line.substr(open + 1, close - open - 1);
}

Dump readDump(const fs::path& file) {
    // "CPUID 00000004: EAX-EBX-ECX-EDX", the colon or the blanks varying between dumping tools.
    static const std::regex cpuidLine(
        R"(^CPUID ([0-9A-Fa-f]{1,8}):?[ \t]+([0-9A-Fa-f]{8})-([0-9A-Fa-f]{8})-([0-9A-Fa-f]{8})-([0-9A-Fa-f]{8}))");
    // A block of one logical processor begins: "Logical CPU #1", "(CPU #1)", "CPU#001 AffMask".
    static const std::regex blockHeader(R"(CPU ?#[0-9]+)");
    static const std::regex rawLine(
        R"(^([a-z_0-9]+)\[(\d+)\]=([0-9a-fA-F]{8}) ([0-9a-fA-F]{8}) ([0-9a-fA-F]{8}) ([0-9a-fA-F]{8}))");
    // libcpuid's raw format names its register groups; the numbers are leaves or sub-leaves.
    static const std::map<std::string,
                          std::function<std::pair<std::uint32_t, std::uint32_t>(std::uint32_t)>>
        rawGroups{
            {"basic_cpuid",
             [](std::uint32_t n) {
                 return std::pair{n, 0u};
             }},
            {"ext_cpuid",
             [](std::uint32_t n) {
                 return std::pair{0x80000000u + n, 0u};
             }},
            {"intel_fn4",
             [](std::uint32_t n) {
                 return std::pair{4u, n};
             }},
            {"intel_fn11",
             [](std::uint32_t n) {
                 return std::pair{0xBu, n};
             }},
            {"amd_fn8000001dh",
             [](std::uint32_t n) {
                 return std::pair{0x8000001Du, n};
             }},
        };
    Dump dump;
    dump.file = file;
    std::ifstream in(file);
    std::map<std::uint32_t, std::uint32_t> subleaves; // the next sub-leaf of each leaf
    int blocks = 0;
    bool decoding = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (decoding) {
            if (line == std::string(80, '-') || (line == "x86" && !dump.expected.empty()))
                break; // the next core type's block
            dump.expected.push_back(line);
            continue;
        }
        if (line == std::string(80, '-')) {
            decoding = true;
            continue;
        }
        const bool registerLine = line.starts_with("CPUID ") && !line.starts_with("CPUID Reg");
        if (!registerLine && std::regex_search(line, blockHeader)) {
            ++blocks;
            continue;
        }
        if (blocks > 1)
            continue;
        std::smatch match;
        if (std::regex_search(line, match, cpuidLine)) {
            const std::uint32_t leaf = hex(match[1]);
            const CpuidRegisters registers{hex(match[2]), hex(match[3]), hex(match[4]),
                                           hex(match[5])};
            dump.leaves[{leaf, subleaves[leaf]++}] = registers;
            const auto aid = readingAid(line.substr(match.length(0)));
            if (leaf == 0 && aid)
                dump.vendorAid = *aid;
            if (leaf >= 0x80000002 && leaf <= 0x80000004 && aid && subleaves[leaf] == 1) {
                dump.brandAid += *aid;
                ++dump.brandAidParts;
            }
        } else if (std::regex_search(line, match, rawLine)) {
            const auto group = rawGroups.find(match[1]);
            if (group == rawGroups.end())
                continue;
            dump.leaves[group->second(static_cast<std::uint32_t>(std::stoul(match[2])))] = {
                hex(match[3]), hex(match[4]), hex(match[5]), hex(match[6])};
        }
    }
    return dump;
}

std::vector<fs::path> dumpFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file() && it->path().extension() == ".test")
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Registers as text, the way the vendor and brand strings are stored in them.
std::string registerText(const CpuidRegisters& registers, std::initializer_list<int> order) {
    const std::uint32_t values[] = {registers.eax, registers.ebx, registers.ecx, registers.edx};
    std::string text;
    for (const int index : order)
        text.append(reinterpret_cast<const char*>(&values[index]), 4);
    return text;
}

CpuidRegisters leafOf(const Dump& dump, std::uint32_t leaf) {
    const auto found = dump.leaves.find({leaf, 0});
    return found == dump.leaves.end() ? CpuidRegisters{} : found->second;
}

// What the dump says, read without the code under test: the vendor and brand strings as the
// registers hold them, the rest from the independent decoding.
struct Facts {
    std::string vendor;
    std::string name; // empty: the processor has no brand string
    int family = 0, model = 0, stepping = 0;
    long l1d = 0, l2 = 0, l3 = 0; // kilobytes, -1 where the decoding has none
};

Facts expectedFacts(const Dump& dump) {
    Facts facts;
    facts.vendor = registerText(leafOf(dump, 0), {1, 3, 2});
    const std::uint32_t maxExtended = leafOf(dump, 0x80000000).eax;
    if (maxExtended >= 0x80000004 && maxExtended < 0x8000FFFF) {
        std::string brand;
        for (std::uint32_t leaf = 0x80000002; leaf <= 0x80000004; ++leaf)
            brand += registerText(leafOf(dump, leaf), {0, 1, 2, 3});
        facts.name = brand.substr(0, brand.find('\0'));
    }
    // The decoding's lines: family, model, stepping, extfamily, extmodel from the fourth on; the
    // cache sizes (L1 data, L1 instruction, L2, L3) from the eleventh.
    const auto& e = dump.expected;
    facts.family = std::stoi(e.at(6));
    facts.model = std::stoi(e.at(7));
    facts.stepping = std::stoi(e.at(5));
    facts.l1d = std::stol(e.at(10));
    facts.l2 = std::stol(e.at(12));
    facts.l3 = std::stol(e.at(13));
    return facts;
}

// Blanks trimmed and runs of blanks made one, as the dumping tool writes its reading aids.
std::string squeezed(const std::string& text) {
    std::istringstream words(text);
    std::string result;
    for (std::string word; words >> word;)
        result += (result.empty() ? "" : " ") + word;
    return result;
}

enum class Field { Vendor, Name, Family, Model, Stepping, L2, L3 };
constexpr const char* FieldNames[] = {"vendor", "name", "family", "model", "stepping", "L2", "L3"};

std::string shown(const TCPUInfo& cpu, Field field) {
    switch (field) {
    case Field::Vendor:
        return cpu.VendorIDString();
    case Field::Name:
        return cpu.Name();
    case Field::Family:
        return std::to_string(cpu.Family());
    case Field::Model:
        return std::to_string(cpu.Model());
    case Field::Stepping:
        return std::to_string(cpu.Stepping());
    case Field::L2:
        return std::to_string(cpu.L2Cache());
    case Field::L3:
        return std::to_string(cpu.L3Cache());
    }
    return {};
}

bool isVendor(const Facts& facts, std::initializer_list<const char*> vendors) {
    return std::any_of(vendors.begin(), vendors.end(),
                       [&](const char* vendor) { return facts.vendor == vendor; });
}

bool outsideTheFive(const Facts& facts) {
    return !isVendor(
        facts, {"GenuineIntel", "AuthenticAMD", "CyrixInstead", "CentaurHauls", "GenuineTMx86"});
}

std::uint32_t bits(std::uint32_t value, int low, int count) {
    return (value >> low) & ((1u << count) - 1);
}

// The full family, model or stepping of a processor signature.
int signatureField(std::uint32_t signature, Field field) {
    const unsigned family = bits(signature, 8, 4);
    switch (field) {
    case Field::Family:
        return static_cast<int>(family + (family == 15 ? bits(signature, 20, 8) : 0));
    case Field::Model:
        return static_cast<int>(bits(signature, 4, 4) +
                                (family >= 6 ? bits(signature, 16, 4) << 4 : 0));
    default:
        return static_cast<int>(bits(signature, 0, 4));
    }
}

// The size of the first data or unified cache of `level` a deterministic cache leaf lists.
std::uint64_t listedKilobytes(const Dump& dump, std::uint32_t leaf, unsigned level) {
    for (std::uint32_t index = 0;; ++index) {
        const auto found = dump.leaves.find({leaf, index});
        if (found == dump.leaves.end() || bits(found->second.eax, 0, 5) == 0)
            return 0;
        const CpuidRegisters& c = found->second;
        if (bits(c.eax, 5, 3) == level && bits(c.eax, 0, 5) != 2)
            return std::uint64_t(bits(c.ebx, 22, 10) + 1) * (bits(c.ebx, 12, 10) + 1) *
                   (bits(c.ebx, 0, 12) + 1) * (std::uint64_t(c.ecx) + 1) / 1024;
    }
}

using Expected = std::optional<std::string>; // empty: not compared

// Where the program's rules give another figure than the independent decoding, and why. A rule
// names the processors it covers by what they report, never by file; the first that applies wins.
struct Rule {
    const char* why;
    std::initializer_list<Field> fields;
    bool (*applies)(const Facts& facts, const Dump& dump);
    Expected (*expected)(const Facts& facts, const Dump& dump, Field field);
};

const Rule Rules[] = {
    {"vendors outside the five known ones get only leaf 1: no name, no caches",
     {Field::Name, Field::L2, Field::L3},
     [](const Facts& f, const Dump&) { return outsideTheFive(f); },
     [](const Facts&, const Dump&, Field field) -> Expected {
         return field == Field::Name ? "Unknown" : "0";
     }},
    {"AMD processors with extended leaves are identified by the signature of 0x80000001, which "
     "the K6 and K7 report one family higher than leaf 1",
     {Field::Family, Field::Model, Field::Stepping},
     [](const Facts& f, const Dump& d) {
         return isVendor(f, {"AuthenticAMD"}) && leafOf(d, 0x80000000).eax >= 0x80000001 &&
                leafOf(d, 0x80000000).eax < 0x8000FFFF;
     },
     [](const Facts&, const Dump& d, Field field) -> Expected {
         return std::to_string(signatureField(leafOf(d, 0x80000001).eax, field));
     }},
    {"the decoding reads no second-level cache of VIA processors; the program reads "
     "0x80000006, with the C3's (family 6, models 7 and 8) size in its top byte",
     {Field::L2},
     [](const Facts& f, const Dump&) { return isVendor(f, {"CentaurHauls"}); },
     [](const Facts&, const Dump& d, Field) -> Expected {
         const std::uint32_t signature = leafOf(d, 1).eax;
         std::uint32_t kilobytes = leafOf(d, 0x80000006).ecx >> 16;
         if (signatureField(signature, Field::Family) == 6 &&
             (signatureField(signature, Field::Model) == 7 ||
              signatureField(signature, Field::Model) == 8))
             kilobytes >>= 8;
         return std::to_string(kilobytes);
     }},
    {"the decoding found no caches at all (no first-level figure either): nothing to compare",
     {Field::L2, Field::L3},
     [](const Facts& f, const Dump&) { return f.l1d < 0; },
     [](const Facts&, const Dump&, Field) -> Expected { return std::nullopt; }},
    {"AMD processors that list their caches one by one (topology extensions, 0x8000001D) show "
     "the third-level cache a core sees, as the kernel does; the decoding gives the package's "
     "total on processors of two dies",
     {Field::L3},
     [](const Facts& f, const Dump& d) {
         return isVendor(f, {"AuthenticAMD"}) && (leafOf(d, 0x80000001).ecx & (1u << 22)) != 0 &&
                listedKilobytes(d, 0x8000001D, 3) > 0;
     },
     [](const Facts&, const Dump& d, Field) -> Expected {
         return std::to_string(listedKilobytes(d, 0x8000001D, 3) / 1024);
     }},
    {"the third-level cache is read for Intel and AMD only",
     {Field::L3},
     [](const Facts& f, const Dump&) {
         return !isVendor(f, {"GenuineIntel", "AuthenticAMD"});
     },
     [](const Facts&, const Dump&, Field) -> Expected { return "0"; }},
};

// The rule that covers a field of a processor; nullptr when the decoding stands.
const Rule* ruleFor(const Facts& facts, const Dump& dump, Field field) {
    for (const Rule& rule : Rules) {
        const bool covers =
            std::find(rule.fields.begin(), rule.fields.end(), field) != rule.fields.end();
        if (covers && rule.applies(facts, dump))
            return &rule;
    }
    return nullptr;
}

std::string decodedValue(const Facts& facts, Field field) {
    switch (field) {
    case Field::Vendor:
        return facts.vendor;
    case Field::Name:
        return facts.name;
    case Field::Family:
        return std::to_string(facts.family);
    case Field::Model:
        return std::to_string(facts.model);
    case Field::Stepping:
        return std::to_string(facts.stepping);
    case Field::L2:
        return std::to_string(std::max(facts.l2, 0L));
    case Field::L3: // AMD's figure is in megabytes
        return std::to_string(std::max(facts.l3, 0L) /
                              (isVendor(facts, {"AuthenticAMD"}) ? 1024 : 1));
    }
    return {};
}

Expected expectedValue(const Facts& facts, const Dump& dump, Field field) {
    const Rule* rule = ruleFor(facts, dump, field);
    return rule != nullptr ? rule->expected(facts, dump, field) : decodedValue(facts, field);
}

TEST(RealProcessors, AgreeWithTheIndependentDecoding) {
    const fs::path source = std::getenv("BRENVIK_SOURCE_DIR");
    std::vector<fs::path> files = dumpFiles(source / "tests/fixtures/cpuid");
    ASSERT_FALSE(files.empty()) << "the processor dumps are missing";
    if (const char* more = std::getenv("BRENVIK_CPUID_DUMPS"); more != nullptr && *more != '\0') {
        const auto extra = dumpFiles(more);
        EXPECT_FALSE(extra.empty()) << "BRENVIK_CPUID_DUMPS names no folder of *.test files";
        files.insert(files.end(), extra.begin(), extra.end());
    }
    int agreeing = 0;
    int throughRules = 0; // agreeing processors whose decoding differs where a rule applies
    for (const fs::path& file : files) {
        const Dump dump = readDump(file);
        if (dump.expected.size() < 14 || dump.leaves.empty()) {
            ADD_FAILURE() << file << ": not a dump in the expected format";
            continue;
        }
        const Facts facts = expectedFacts(dump);
        // The test's own reading of the registers against the dumping tool's, where it wrote one.
        if (dump.vendorAid) {
            EXPECT_EQ(facts.vendor, *dump.vendorAid) << file;
        }
        if (dump.brandAidParts == 3) {
            // The aid shows what follows the terminating NUL too.
            EXPECT_TRUE(squeezed(dump.brandAid).starts_with(squeezed(facts.name))) << file;
        }
        test::FakePlatformScope fake;
        fake->fakeProcessor().leaves = dump.leaves;
        const TCPUInfo cpu;
        bool agrees = true;
        for (Field field : {Field::Vendor, Field::Name, Field::Family, Field::Model,
                            Field::Stepping, Field::L2, Field::L3}) {
            if (field == Field::Name && facts.name.empty() && !outsideTheFive(facts))
                continue; // no brand string: the name comes from the program's own tables
            const Expected want = expectedValue(facts, dump, field);
            if (!want)
                continue;
            const std::string got = shown(cpu, field);
            if (got != *want) {
                agrees = false;
                ADD_FAILURE() << file.lexically_relative(source).string() << ": "
                              << FieldNames[static_cast<int>(field)] << " is \"" << got
                              << "\", expected \"" << *want << "\"";
            }
        }
        bool ruled = false;
        for (Field field : {Field::Vendor, Field::Name, Field::Family, Field::Model,
                            Field::Stepping, Field::L2, Field::L3})
            ruled = ruled || (ruleFor(facts, dump, field) != nullptr &&
                              expectedValue(facts, dump, field) != decodedValue(facts, field));
        agreeing += agrees ? 1 : 0;
        throughRules += agrees && ruled ? 1 : 0;
    }
    std::cout << agreeing << " of " << files.size() << " processors agree on every field, "
              << agreeing - throughRules << " of them with no rule needed\n";
}

} // namespace
} // namespace brenvik
