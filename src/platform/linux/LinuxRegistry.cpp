#include "platform/Registry.h"
#include "platform/linux/CpuUsageProvider.h"
#include "platform/linux/LinuxServices.h"

namespace brenvik::platform {

std::unique_ptr<Registry> makeLinuxRegistry() {
    auto registry = std::make_unique<Registry>();
    registry->setHive(HKEY_CURRENT_USER, std::make_shared<Hive>());
    registry->setHive(HKEY_LOCAL_MACHINE, std::make_shared<Hive>());
    registry->mount(HKEY_DYN_DATA, CpuUsageKeyPath, std::make_shared<CpuUsageProvider>());
    return registry;
}

} // namespace brenvik::platform
