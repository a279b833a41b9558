#include "platform/Registry.h"
#include "platform/linux/LinuxServices.h"

namespace brenvik::platform {

std::unique_ptr<Registry> makeLinuxRegistry() {
    auto registry = std::make_unique<Registry>();
    registry->setHive(HKEY_CURRENT_USER, std::make_shared<Hive>());
    registry->setHive(HKEY_LOCAL_MACHINE, std::make_shared<Hive>());
    return registry;
}

} // namespace brenvik::platform
