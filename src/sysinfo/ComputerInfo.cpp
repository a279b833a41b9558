#include "sysinfo/ComputerInfo.h"

#include "sysinfo/BooleanWords.h"

namespace brenvik {

std::vector<InfoRow> WindowsRows(const TOSVersionInfo& os) {
    const std::string productName = os.ProductName();
    return {
        {"Version:", WindowsVersionName(os.OSVersion(), productName)},
        {"Product ID:", os.ProductID()},
        {"Product Name:", productName},
        {"Product Type:", ProductTypeText(os.ProductType())},
        {"SP Version:", std::to_string(os.ServicePackVersion())},
        {"Version Build:", std::to_string(os.VersionBuild())},
        {"Major:", std::to_string(os.VersionMajor())},
        {"Minor:", std::to_string(os.VersionMinor())},
    };
}

std::vector<InfoRow> CpuIdentityRows(const TCPUInfo& cpu) {
    return {
        {"Processor:", cpu.Name()},
        {"No of Pro.:", std::to_string(cpu.ProcessorCount())},
        {"Vendor:", cpu.VendorIDString()},
        {"Family:", std::to_string(cpu.Family())},
        {"Model:", std::to_string(cpu.Model())},
        {"Stepping:", std::to_string(cpu.Stepping())},
    };
}

std::vector<InfoRow> CpuCapabilityRows(const TCPUInfo& cpu) {
    return {
        {"IA64:", BoolToStr(cpu.Is64Bits())},
        {"MMX Support:", BoolToStr(cpu.MMX())},
        {"Norm Frequency:", std::to_string(cpu.NormFreq())},
        {"L2 Cache:", std::to_string(cpu.L2Cache())},
        {"L3 Cache:", std::to_string(cpu.L3Cache())},
    };
}

} // namespace brenvik
