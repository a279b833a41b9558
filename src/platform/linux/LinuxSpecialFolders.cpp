#include "platform/SpecialFolders.h"
#include "platform/linux/LinuxServices.h"

namespace brenvik::platform {

std::unique_ptr<SpecialFolders> makeLinuxSpecialFolders() { return std::make_unique<SpecialFolders>(); }

} // namespace brenvik::platform
